// The server against the client's own network code: a real node joins,
// echoes and leaves, keeps what the server handed it, and its signed-data
// intake accepts what the server injects.
#include <gtest/gtest.h>

#include "client/network/join_sequence.h"
#include "client/network/network_profile.h"
#include "client/network/peer_links.h"
#include "client/network/server_link.h"
#include "client/signed/built_in_keys.h"
#include "client/signed/signed_data.h"
#include "devnet_test_support.h"

namespace orva::devnet::test {
namespace {

quint16 FreePort(const QString& address) {
  QTcpServer s;
  s.listen(QHostAddress(address), 0);
  return s.serverPort();
}

// One client node on its own loopback address.
struct ClientNode {
  ClientNode(quint16 serverPort, const QString& address, int area) {
    ctx.programFolder = QStringLiteral("/tmp/");
    ctx.settings.Server_Timeout = 3000;
    ctx.settings.Peer_Timeout = 500;
    ctx.settings.Use_UPnP = 0;
    ctx.settings.Port_Listen = 1;
    ctx.settings.Listen_Port = FreePort(address);
    ctx.settings.Area_Code = static_cast<qint16>(area);
    ctx.log.SetLevel(0);
    ctx.log.SetEcho([this](const QString& entry) { log << entry; });
    profile = ClientNetworkProfile();
    profile.servers = {QStringLiteral("127.0.0.1")};
    profile.serverPort = serverPort;
    peers = std::make_unique<PeerLinks>(ctx, profile);
    peers->SetLocalAddress(QHostAddress(address));
    link = std::make_unique<ServerLink>(ctx, profile, *peers);
    link->SetBindAddress(QHostAddress(address));
    link->Sequence().SetRegionCountsHook([this](const QString& c) { regionCounts << c; });
  }
  ~ClientNode() {
    link.reset();
    peers.reset();
  }
  // Runs one conversation to its end.
  bool Run(quint32 purpose) {
    link->ConnectServer(purpose);
    return WaitFor([&] { return ctx.net.linkPurpose == kPurposeNone; }, 10000);
  }

  NodeContext ctx;
  NetworkProfile profile;
  std::unique_ptr<PeerLinks> peers;
  std::unique_ptr<ServerLink> link;
  QStringList log;
  QStringList regionCounts;
};

class RealClient : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<NetworkServer>(TestConfig());
    QString error;
    ASSERT_TRUE(server_->Start(&error)) << error.toStdString();
  }
  std::unique_ptr<NetworkServer> server_;
};

TEST_F(RealClient, JoinEchoAndLeaveComplete) {
  ClientNode node(server_->Port(), QStringLiteral("127.0.0.2"), 250);
  ASSERT_TRUE(node.Run(kPurposeJoin)) << node.log.join(u'\n').toStdString();
  EXPECT_TRUE(node.log.join(u'\n').contains(QStringLiteral("参加処理が完了しました")))
      << node.log.join(u'\n').toStdString();
  const qint32 id = node.ctx.net.ownPeerId;
  ASSERT_NE(id, 0);
  const PeerRecord* rec = server_->Registry().Find(id);
  ASSERT_NE(rec, nullptr);
  EXPECT_TRUE(rec->joined);
  EXPECT_EQ(rec->areaCode, 250);
  EXPECT_EQ(rec->address, QHostAddress(QStringLiteral("127.0.0.2")));
  EXPECT_EQ(node.ctx.net.totalPeers, 1);
  EXPECT_EQ(node.regionCounts, QStringList{QStringLiteral("250,1")});
  // The client's clock now runs on the network's time.
  const auto clientNow = ParseExpiryText(ExpiryText(node.ctx.ProtocolNow()));
  ASSERT_TRUE(clientNow);
  EXPECT_LE(std::abs(clientNow->secsTo(ProtocolTimeNow())), 2);
  // The key it holds verifies with the peer-key key built into the client.
  const PeerKey& key = node.ctx.net.key;
  ASSERT_NE(key.privateKey, u"Unknown");
  const auto verifier = crypto::PublicKey::FromText(ClientServerKeys().peerKeyKey.toLatin1());
  ASSERT_TRUE(verifier);
  EXPECT_TRUE(verifier->Verify(*crypto::Base64Decode(key.signature.toLatin1()),
                               *crypto::Base64Decode(key.publicKey.toLatin1()) +
                                   cp932::fromUnicode(key.expiryText)));

  ASSERT_TRUE(node.Run(kPurposeEcho));
  EXPECT_TRUE(node.log.join(u'\n').contains(QStringLiteral("エコー処理が完了しました")));
  EXPECT_NE(server_->Registry().Find(id), nullptr);

  ASSERT_TRUE(node.Run(kPurposeLeave));
  EXPECT_EQ(node.ctx.net.ownPeerId, 0);
  EXPECT_EQ(server_->Registry().Find(id), nullptr);
}

TEST_F(RealClient, ClientIntakeAcceptsAnInjectedBulletinOnce) {
  ClientNode node(server_->Port(), QStringLiteral("127.0.0.2"), 250);
  ASSERT_TRUE(node.Run(kPurposeJoin));
  FakePeer relay(QStringLiteral("127.0.0.3"));
  ASSERT_TRUE(JoinAs(server_->Port(), QStringLiteral("127.0.0.3"), relay.Port()));

  bool finished = false;
  server_->Publish(551, {QStringLiteral("12日05時17分,6強,1,4,宮城県沖,40km,7.4,0,北緯38.3度,東経141.9度,気象庁"),
                         QStringLiteral("-宮城県,+6強,*栗原市築館")},
                   [&](const PublishResult& r) {
                     EXPECT_EQ(r.delivered, 1);
                     finished = true;
                   });
  ASSERT_TRUE(WaitFor([&] { return finished && !relay.Items().isEmpty(); }));
  const QStringList f = relay.Items()[0].mid(6).split(u':');
  ASSERT_EQ(f.size(), 4);

  SignedData intake(node.ctx, ClientServerKeys());
  EXPECT_TRUE(intake.AcceptServerItem(f[0], f[1], f[2] + f[3], SignedData::kQuake))
      << node.log.join(u'\n').toStdString();
  EXPECT_FALSE(intake.AcceptServerItem(f[0], f[1], f[2] + f[3], SignedData::kQuake));
  // Tampered data under the same signature is refused on its own merits.
  SignedData fresh(node.ctx, ClientServerKeys());
  EXPECT_FALSE(fresh.AcceptServerItem(f[0], f[1], f[2] + f[3] + QStringLiteral(",*石巻市桃生町"),
                                      SignedData::kQuake));
}

}  // namespace
}  // namespace orva::devnet::test
