// The relay: hop limit, field counts, owners' checks, forwarding to the
// other complete links only, and the peer echo.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "peer_harness.h"

namespace orva::test {
namespace {

// A node with two complete scripted children (IDs 41, 42) and one that
// never finished its handshake.
struct RelayFixture : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(signer.Ok());
    ASSERT_TRUE(a.Connect(QStringLiteral("127.0.0.51"), node.address, node.port));
    ASSERT_TRUE(a.CompleteAsChild(41));
    ASSERT_TRUE(b.Connect(QStringLiteral("127.0.0.52"), node.address, node.port));
    ASSERT_TRUE(b.CompleteAsChild(42));
    ASSERT_TRUE(incomplete.Connect(QStringLiteral("127.0.0.53"), node.address, node.port));
    ASSERT_TRUE(incomplete.Line());
    ASSERT_EQ(node.CompleteLinks(), 2);
  }
  TestPeer node{QStringLiteral("127.0.0.2"), 11};
  ItemSigner signer;
  ScriptedPeer a, b, incomplete;
};

TEST_F(RelayFixture, HopLimitBoundary) {
  node.ctx.net.totalPeers = 40;  // limit 7
  a.Send(QStringLiteral("556 6 first:b:c:d:e:f"));
  EXPECT_EQ(b.Line().value_or("<none>"), QStringLiteral("556 7 first:b:c:d:e:f"));
  const int logged = static_cast<int>(node.log.size());
  a.Send(QStringLiteral("556 7 second:b:c:d:e:f"));
  EXPECT_TRUE(b.Drain(200).isEmpty());
  EXPECT_EQ(node.accepted.size(), 1u);
  // Dropped without a word: only the data-arrival line.
  EXPECT_EQ(node.log.mid(logged).filter(QStringLiteral("からデータ受信")).size(), node.log.size() - logged);
}

TEST_F(RelayFixture, QuakeForwardedToOtherCompleteLinksOnly) {
  const QString line = signer.Quake(QStringLiteral("12日05時17分,6強,1,4,宮城県沖,40km,7.4,0,N38.3,E141.9,気象庁"),
                                    QStringLiteral("-宮城県,+6強,*栗原市築館"));
  a.Send(line);
  const QString forwarded = b.Line().value_or("<none>");
  EXPECT_EQ(forwarded, QStringLiteral("551 2 ") + line.mid(6));
  EXPECT_TRUE(a.Drain().isEmpty());           // not back on its arrival link
  EXPECT_TRUE(incomplete.Drain(0).isEmpty()); // nor to an incomplete link
  ASSERT_EQ(node.quakes.size(), 1);
  EXPECT_TRUE(node.quakes[0].endsWith(QStringLiteral("|-宮城県,+6強,*栗原市築館")));
  // The copy coming back from the other side is a duplicate.
  b.Send(forwarded);
  EXPECT_TRUE(a.Drain().isEmpty());
  EXPECT_EQ(node.quakes.size(), 1);
}

TEST_F(RelayFixture, WrongFieldCountDropsTheLinkABadSignatureOnlyTheItem) {
  const QString good = signer.Quake(QStringLiteral("head"), QStringLiteral("points"));
  QStringList f = good.mid(6).split(u':');
  f[0] = QStringLiteral("AAAA") + f[0].mid(4);
  a.Send(QStringLiteral("551 1 ") + f.join(u':'));
  EXPECT_TRUE(b.Drain().isEmpty());
  EXPECT_FALSE(a.Closed(100));
  EXPECT_TRUE(node.quakes.isEmpty());
  a.Send(QStringLiteral("551 1 ") + f.mid(0, 3).join(u':'));
  EXPECT_TRUE(a.Closed());
  EXPECT_FALSE(b.Closed(100));
  EXPECT_EQ(node.ctx.net.connectedPeers, 2);
}

TEST_F(RelayFixture, EchoProbeIsForwardedAnsweredOnceAndAnswersGoBack) {
  a.Send(QStringLiteral("615 3 900:12345"));
  EXPECT_EQ(b.Line().value_or("<none>"), QStringLiteral("615 4 900:12345"));
  const QString answer = a.Line().value_or("<none>");
  EXPECT_EQ(answer.left(20), QStringLiteral("635 1 900:12345:11:4"));
  EXPECT_TRUE(answer.endsWith(QStringLiteral(":3")));
  // The copy from the second link: neither forwarded nor answered.
  b.Send(QStringLiteral("615 4 900:12345"));
  EXPECT_TRUE(a.Drain().isEmpty());
  EXPECT_TRUE(b.Drain(0).isEmpty());
  // An answer from behind b goes back on a, once per responder.
  b.Send(QStringLiteral("635 1 900:12345:77:1,2:4"));
  EXPECT_EQ(a.Line().value_or("<none>"), QStringLiteral("635 2 900:12345:77:1,2:4"));
  b.Send(QStringLiteral("635 1 900:12345:77:1,2:4"));
  b.Send(QStringLiteral("635 1 901:12345:78:1,2:4"));  // unknown probe
  EXPECT_TRUE(a.Drain().isEmpty());
  // A probe with a missing field drops the link.
  b.Send(QStringLiteral("615 1 900"));
  EXPECT_TRUE(b.Closed());
}

TEST_F(RelayFixture, OwnEchoReplyGoesToTheDebugFileOrIsLoggedAsAnError) {
  QTemporaryDir dir;
  node.relay->Echo().SetDebugFolder(dir.path() + u'/');
  a.Send(QStringLiteral("635 3 11:5:77:1,2:4"));
  ASSERT_TRUE(WaitUntil([&] { return !QDir(dir.path()).entryList(QDir::Files).isEmpty(); }));
  QFile f(dir.path() + u'/' + QDir(dir.path()).entryList(QDir::Files).first());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.fileName().contains(QStringLiteral("TESTER_")));
  EXPECT_TRUE(f.readAll().endsWith(",3,11:5:77:1,2:4\r\n"));
  node.relay->Echo().SetDebugFolder(dir.path() + QStringLiteral("/missing/"));
  a.Send(QStringLiteral("635 3 11:6:77:1,2:4"));
  ASSERT_TRUE(WaitUntil([&] {
    return !node.log.filter(QStringLiteral("ピアデータ処理中エラー：")).isEmpty();
  }));
  EXPECT_FALSE(a.Closed(100));
  EXPECT_TRUE(b.Drain(0).isEmpty());
}

TEST(Relay, NodesRelayAlongAChainAndPaceTheirSends) {
  ItemSigner signer;
  std::vector<std::unique_ptr<TestPeer>> chain;
  for (int i = 0; i < 4; ++i)
    chain.push_back(std::make_unique<TestPeer>(QStringLiteral("127.0.0.%1").arg(60 + i), 100 + i));
  for (int i = 1; i < 4; ++i) ASSERT_TRUE(Link(*chain[i], *chain[i - 1]));
  ScriptedPeer source;
  ASSERT_TRUE(source.Connect(QStringLiteral("127.0.0.70"), chain[0]->address, chain[0]->port));
  ASSERT_TRUE(source.CompleteAsChild(99));
  source.Send(signer.Quake(QStringLiteral("header"), QStringLiteral("points")));
  ASSERT_TRUE(WaitUntil([&] { return chain[3]->quakes.size() == 1; }));
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(chain[i]->accepted.size(), 1u) << i;
    EXPECT_EQ(chain[i]->accepted[0].hops, i + 2);
  }
  // Keep-alive to every complete link, paced by the queue.
  chain[1]->relay->wsPeer__SendData(QStringLiteral("611 1"), 0);
  EXPECT_EQ(chain[1]->relay->QueuedLines(), 1);
  ASSERT_TRUE(WaitUntil([&] { return chain[1]->relay->QueuedLines() == 0; }));
}

TEST(BulletinFilter, RemembersTheLast150FirstFields) {
  BulletinFilter filter;
  EXPECT_TRUE(filter.Accept(QStringLiteral("0")));
  EXPECT_FALSE(filter.Accept(QStringLiteral("0")));
  for (int i = 1; i < BulletinFilter::kEntries; ++i) ASSERT_TRUE(filter.Accept(QString::number(i)));
  EXPECT_FALSE(filter.Accept(QStringLiteral("0")));
  EXPECT_TRUE(filter.Accept(QStringLiteral("150")));  // "0" drops out
  EXPECT_TRUE(filter.Accept(QStringLiteral("0")));
}

}  // namespace
}  // namespace orva::test
