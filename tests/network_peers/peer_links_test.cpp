// Peer links on real loopback sockets: the handshake in both roles, the
// refusals after the accept, framing, the sweep and ConnectToPeers.
#include <gtest/gtest.h>

#include "peer_harness.h"
#include "platform/cp932.h"

namespace orva::test {
namespace {

TEST(PeerLinks, HandshakeCompletesInBothRoles) {
  TestPeer child(QStringLiteral("127.0.0.2"), 11);
  TestPeer parent(QStringLiteral("127.0.0.3"), 22);
  ASSERT_TRUE(Link(child, parent)) << child.log.join(" | ").toStdString();
  EXPECT_EQ(child.links->StageOf(1), PeerLinks::kChildComplete);
  EXPECT_EQ(child.links->RemotePeerId(1), 22u);
  EXPECT_TRUE(child.links->OwnLink(1));
  EXPECT_EQ(parent.links->StageOf(1), PeerLinks::kParentComplete);
  EXPECT_EQ(parent.links->RemotePeerId(1), 11u);
  EXPECT_FALSE(parent.links->OwnLink(1));
  EXPECT_EQ(child.ctx.net.connectedPeers, 1);
  EXPECT_EQ(parent.ctx.status.Value(StatusField::ConnectedPeers), QStringLiteral("1ピア"));
  EXPECT_TRUE(child.Logged(QStringLiteral("ピアIDを送信し、子としての接続処理が完了")));
  EXPECT_TRUE(parent.Logged(QStringLiteral("ピアIDを受信し、親としての接続処理が完了")));
  // Request 155 starts at the first own link; the echo list takes all.
  EXPECT_EQ(child.links->PeerIdList(":", true, true), QStringLiteral(" 22"));
  EXPECT_EQ(parent.links->PeerIdList(":", true, true), QString());
  EXPECT_EQ(parent.links->PeerIdList(",", false, false), QStringLiteral("11"));
}

// A scripted child against a node parent: what it sends after the "614".
struct ChildCase {
  const char* name;
  QStringList lines;
  bool dropped;
  const char* reply;  // expected line before the close, or nullptr
};

TEST(PeerLinks, ParentChecksTheChildsHandshake) {
  const ChildCase cases[] = {
      {"in order", {"634 1 0.32:X:Y", "632 1 77"}, false, "612 1"},
      {"612 before 634", {"612 1"}, true, nullptr},
      {"632 before 634", {"632 1 77"}, true, nullptr},
      {"634 with two fields", {"634 1 0.32:X"}, true, nullptr},
      {"old version", {"634 1 0.29:X:Y"}, true, "694 1 Protocol_version_incompatible"},
      {"632 with two fields", {"634 1 0.3:X:Y", "632 1 77:78"}, true, "612 1"},
  };
  TestPeer node(QStringLiteral("127.0.0.2"), 11);
  int address = 10;
  for (const ChildCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Connect(QStringLiteral("127.0.0.%1").arg(address++), node.address, node.port));
    const auto greeting = peer.Line();
    ASSERT_TRUE(greeting);
    EXPECT_EQ(*greeting, QStringLiteral("614 1 0.32:Orva_Client:Beta3_Rev1011"));
    for (const QString& l : c.lines) peer.Send(l);
    if (c.reply) EXPECT_EQ(peer.Line().value_or("<none>"), QString::fromLatin1(c.reply));
    EXPECT_EQ(peer.Closed(c.dropped ? 3000 : 300), c.dropped);
    if (!c.dropped) {
      const int slot = node.SlotOf(77);
      ASSERT_NE(slot, 0);
      EXPECT_EQ(node.links->StageOf(slot), PeerLinks::kParentComplete);
    }
  }
}

TEST(PeerLinks, ChildAnswersTheParentAndRefusesAnOldOne) {
  TestPeer node(QStringLiteral("127.0.0.2"), 11);
  {
    ScriptedParent parent(QStringLiteral("127.0.0.20"));
    node.links->ConnectToPeers({parent.Entry(500)});
    ScriptedPeer* p = parent.Accepted();
    ASSERT_NE(p, nullptr);
    p->Send(QStringLiteral("611 1"));
    EXPECT_EQ(p->Line().value_or("<none>"), QStringLiteral("631 1"));
    p->Send(QStringLiteral("614 1 0.3:Other:Peer"));
    EXPECT_EQ(p->Line().value_or("<none>"), QStringLiteral("634 1 0.32:Orva_Client:Beta3_Rev1011"));
    p->Send(QStringLiteral("612 1"));
    EXPECT_EQ(p->Line().value_or("<none>"), QStringLiteral("632 1 11"));
    EXPECT_EQ(node.links->StageOf(node.SlotOf(500)), PeerLinks::kChildComplete);
  }
  ScriptedParent old(QStringLiteral("127.0.0.21"));
  node.links->ConnectToPeers({old.Entry(501)});
  ScriptedPeer* p = old.Accepted();
  ASSERT_NE(p, nullptr);
  p->Send(QStringLiteral("614 1 0.2:Old:Peer"));
  EXPECT_EQ(p->Line().value_or("<none>"), QStringLiteral("694 1 Protocol_version_incompatible"));
  EXPECT_TRUE(p->Closed());
}

TEST(PeerLinks, SecondLinkFromOneAddressAndLoopbackAreRefusedAfterThe614) {
  TestPeer node(QStringLiteral("127.0.0.2"), 11);
  ScriptedPeer first;
  ASSERT_TRUE(first.Connect(QStringLiteral("127.0.0.30"), node.address, node.port));
  ASSERT_TRUE(first.Line());
  ScriptedPeer second;
  ASSERT_TRUE(second.Connect(QStringLiteral("127.0.0.30"), node.address, node.port));
  EXPECT_TRUE(second.Line().value_or("").startsWith(QStringLiteral("614 1 ")));
  EXPECT_TRUE(second.Closed());
  EXPECT_FALSE(first.Closed(200));
  EXPECT_TRUE(node.Logged(QStringLiteral("ループバックまたは多重セッションを検出しました")));

  ScriptedPeer loop;
  ASSERT_TRUE(loop.Connect(QStringLiteral("127.0.0.1"), node.address, node.port));
  EXPECT_TRUE(loop.Line().value_or("").startsWith(QStringLiteral("614 1 ")));
  EXPECT_TRUE(loop.Closed());
  EXPECT_EQ(node.ctx.net.connectedPeers, 1);
}

TEST(PeerLinks, LinesAreCutFromBytesWholeAndInOrder) {
  TestPeer node(QStringLiteral("127.0.0.2"), 11);
  ScriptedPeer peer;
  ASSERT_TRUE(peer.Connect(QStringLiteral("127.0.0.31"), node.address, node.port));
  ASSERT_TRUE(peer.CompleteAsChild(40));
  // A line split over three reads, one of them inside a two-byte character.
  const QString text = QStringLiteral("556 1 震度速報:b:c:d:e:f");
  const QByteArray bytes = cp932::fromUnicode(text) + "\r\n";
  const qsizetype cut = cp932::fromUnicode(QStringLiteral("556 1 震")).size() - 1;
  peer.SendRaw(bytes.left(cut));
  Pump(60);
  EXPECT_TRUE(node.accepted.empty());
  EXPECT_EQ(node.links->BufferedBytes(node.SlotOf(40)), cut);
  peer.SendRaw(bytes.mid(cut, 3));
  Pump(60);
  peer.SendRaw(bytes.mid(cut + 3));
  // Two lines in one read.
  peer.SendRaw(cp932::fromUnicode(QStringLiteral("556 1 二:b:c:d:e:f\r\n556 1 三:b:c:d:e:f\r\n")));
  ASSERT_TRUE(WaitUntil([&] { return node.accepted.size() == 3; }));
  EXPECT_EQ(node.accepted[0].rest, QStringLiteral("震度速報:b:c:d:e:f"));
  EXPECT_EQ(node.accepted[1].rest, QStringLiteral("二:b:c:d:e:f"));
  EXPECT_EQ(node.accepted[2].rest, QStringLiteral("三:b:c:d:e:f"));
}

TEST(PeerLinks, LongLinesPassButAnEndlessOneDropsTheLink) {
  TestPeer node(QStringLiteral("127.0.0.2"), 11);
  ScriptedPeer peer;
  ASSERT_TRUE(peer.Connect(QStringLiteral("127.0.0.32"), node.address, node.port));
  ASSERT_TRUE(peer.CompleteAsChild(41));
  // Far longer than any bulletin, still a line.
  const QString big = QStringLiteral("556 1 big:") + QString(200 * 1024, QLatin1Char('x')) + ":c:d:e:f";
  peer.Send(big);
  ASSERT_TRUE(WaitUntil([&] { return node.accepted.size() == 1; }));
  EXPECT_FALSE(peer.Closed(100));
  const QByteArray chunk(64 * 1024, 'y');
  for (qsizetype sent = 0; sent <= PeerLinks::kMaxLineBytes && peer.Socket().state() ==
                                                                 QAbstractSocket::ConnectedState;
       sent += chunk.size()) {
    peer.SendRaw(chunk);
    Pump(5);
  }
  EXPECT_TRUE(peer.Closed());
  EXPECT_TRUE(node.Logged(QStringLiteral("ピアからのデータが長すぎるため切断します")));
  EXPECT_EQ(node.ctx.net.connectedPeers, 0);
}

TEST(PeerLinks, SweepClosesLinksStillIncompleteAfter20Seconds) {
  TestPeer node(QStringLiteral("127.0.0.2"), 11);
  TestPeer other(QStringLiteral("127.0.0.3"), 22);
  ASSERT_TRUE(Link(other, node));
  ScriptedPeer slow;
  ASSERT_TRUE(slow.Connect(QStringLiteral("127.0.0.33"), node.address, node.port));
  ASSERT_TRUE(slow.Line());
  ASSERT_EQ(node.ctx.net.connectedPeers, 2);
  node.nowMs += PeerLinks::kIncompleteLinkMs - 1;
  node.links->SweepSlots();
  EXPECT_FALSE(slow.Closed(100));
  node.nowMs += 1;
  node.links->SweepSlots();
  EXPECT_TRUE(slow.Closed());
  EXPECT_EQ(node.ctx.net.connectedPeers, 1);
  EXPECT_EQ(node.CompleteLinks(), 1);
}

TEST(PeerLinks, ConnectToPeersStopsOnceMoreThanThreeAreLinked) {
  TestPeer node(QStringLiteral("127.0.0.2"), 11);
  std::vector<std::unique_ptr<ScriptedParent>> parents;
  QStringList entries;
  for (int i = 0; i < 6; ++i) {
    parents.push_back(std::make_unique<ScriptedParent>(QStringLiteral("127.0.0.%1").arg(40 + i)));
    entries << parents.back()->Entry(600 + i);
  }
  node.links->ConnectToPeers(entries);
  EXPECT_EQ(node.ctx.net.connectedPeers, 4);
  EXPECT_EQ(node.links->PeerIdList(",", false, false), QStringLiteral("600,601,602,603"));
  EXPECT_TRUE(node.Logged(QStringLiteral("計4ピアと接続しました")));
  // With four in use, a further list opens nothing.
  node.links->ConnectToPeers(entries.mid(4));
  EXPECT_EQ(node.ctx.net.connectedPeers, 4);
  // An unreachable entry frees its slot again.
  node.links->CloseAllPeers();
  node.links->ConnectToPeers({QStringLiteral("127.0.0.49,1,700")});
  EXPECT_EQ(node.ctx.net.connectedPeers, 0);
  EXPECT_TRUE(node.links->IsClosed(1));
}

}  // namespace
}  // namespace orva::test
