// The client's server conversation against the development network server,
// run in this process on a loopback address.
#include <gtest/gtest.h>

#include <QTcpServer>

#include "devnet/server/network_server.h"
#include "net_harness.h"

namespace orva::test {
namespace {

TEST(DevnetServer, JoinEchoAndLeave) {
  devnet::ServerConfig config;
  config.bindAddress = QHostAddress(QStringLiteral("127.0.9.30"));
  config.port = 0;
  config.adminEnabled = false;
  config.keyDir = QStringLiteral(ORVA_SOURCE_DIR "/devnet/keys");
  config.portCheckTimeoutMs = 1000;
  config.regionIntervalMs = 0;
  config.quiet = true;
  devnet::NetworkServer server(config);
  QString error;
  ASSERT_TRUE(server.Start(&error)) << error.toStdString();

  TestNode node({QStringLiteral("127.0.9.30")}, server.Port());
  node.ctx.settings.Server_Timeout = 2000;
  node.ctx.settings.Port_Listen = 1;
  {
    QTcpServer probe;  // a free port for the listening socket
    ASSERT_TRUE(probe.listen(QHostAddress(QStringLiteral("127.0.9.31")), 0));
    node.ctx.settings.Listen_Port = probe.serverPort();
  }
  node.peers->SetLocalAddress(QHostAddress(QStringLiteral("127.0.9.31")));
  node.link->SetBindAddress(QHostAddress(QStringLiteral("127.0.9.31")));
  NetworkState& net = node.ctx.net;
  auto ended = [&net, &node] { return net.linkPurpose == kPurposeNone && !node.link->IsServerConnected(); };

  node.link->ConnectServer(kPurposeJoin);
  ASSERT_TRUE(WaitUntil(ended, 15000)) << node.log.join(" | ").toStdString();
  EXPECT_TRUE(node.Logged("参加処理が完了しました")) << node.log.join(" | ").toStdString();
  EXPECT_NE(net.ownPeerId, 0);
  EXPECT_GE(net.totalPeers, 1);
  EXPECT_NE(net.key.privateKey, "Unknown");
  EXPECT_TRUE(net.key.expiry.isValid());
  EXPECT_EQ(node.ctx.status.Value(StatusField::KeyState), "有効");

  node.link->ConnectServer(kPurposeEcho);
  ASSERT_TRUE(WaitUntil(ended, 15000));
  EXPECT_TRUE(node.Logged("エコー処理が完了しました")) << node.log.join(" | ").toStdString();

  node.ctx.life.quitState = 2;
  node.link->ConnectServer(kPurposeLeave);
  ASSERT_TRUE(WaitUntil([&net] { return net.ownPeerId == 0; }, 15000));
  EXPECT_TRUE(node.Logged("参加終了処理が完了しました")) << node.log.join(" | ").toStdString();
  EXPECT_EQ(node.LogCount("サーバーデータ処理中エラー："), 0);
}

}  // namespace
}  // namespace orva::test
