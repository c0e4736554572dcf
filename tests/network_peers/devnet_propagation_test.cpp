// Several nodes join through the development server in this process, link
// up, and a quake bulletin the server publishes reaches every one of them.
#include <gtest/gtest.h>

#include "client/network/join_sequence.h"
#include "client/network/server_link.h"
#include "devnet/server/network_server.h"
#include "peer_harness.h"

namespace orva::test {
namespace {

TEST(DevnetPropagation, PublishedQuakeReachesEveryClient) {
  devnet::ServerConfig config;
  config.bindAddress = QHostAddress(QStringLiteral("127.0.8.1"));
  config.sourceAddress = QHostAddress(QStringLiteral("127.0.8.2"));
  config.port = 0;
  config.adminEnabled = false;
  config.keyDir = QStringLiteral(ORVA_SOURCE_DIR "/devnet/keys");
  config.portCheckTimeoutMs = 1000;
  config.injectTimeoutMs = 3000;
  config.regionIntervalMs = 0;
  config.quiet = true;
  devnet::NetworkServer server(config);
  QString error;
  ASSERT_TRUE(server.Start(&error)) << error.toStdString();

  constexpr int kNodes = 8;
  std::vector<std::unique_ptr<TestPeer>> nodes;
  std::vector<std::unique_ptr<ServerLink>> links;
  for (int i = 0; i < kNodes; ++i) {
    auto node = std::make_unique<TestPeer>(QStringLiteral("127.0.8.%1").arg(10 + i), 0);
    NodeContext& ctx = node->ctx;
    ctx.settings.Server_Timeout = 2000;
    ctx.settings.Port_Listen = 1;
    ctx.settings.Use_UPnP = 0;
    ctx.settings.Listen_Port = node->port;
    node->links->StopListening();
    node->profile.servers = {QStringLiteral("127.0.8.1")};
    node->profile.serverPort = server.Port();
    auto link = std::make_unique<ServerLink>(ctx, node->profile, *node->links);
    link->SetServers(node->profile.servers);
    link->SetBindAddress(QHostAddress(node->address));
    link->Sequence().SetRegionCountsHook(
        [relay = node->relay.get()](const QString& list) { relay->Regions().ApplyRegionCounts(list); });
    link->ConnectServer(kPurposeJoin);
    ASSERT_TRUE(WaitUntil([&] { return ctx.net.linkPurpose == kPurposeNone; }, 15000));
    ASSERT_TRUE(node->Logged(QStringLiteral("参加処理が完了しました"))) << node->log.join(" | ").toStdString();
    nodes.push_back(std::move(node));
    links.push_back(std::move(link));
  }
  // Every node but the first linked to earlier ones.
  ASSERT_TRUE(WaitUntil([&] {
    for (auto& n : nodes)
      if (n->CompleteLinks() == 0) return false;
    return true;
  }));

  bool published = false;
  server.Publish(551, {QStringLiteral("12日05時17分,6強,1,4,宮城県沖,40km,7.4,0,N38.3,E141.9,気象庁"),
                       QStringLiteral("-宮城県,+6強,*栗原市築館")},
                 [&](const devnet::PublishResult& r) { published = r.ok || r.delivered > 0; });
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (auto& n : nodes)
          if (n->quakes.size() != 1) return false;
        return true;
      },
      15000));
  EXPECT_TRUE(published);
  for (auto& n : nodes) EXPECT_EQ(n->quakes.size(), 1);
  for (auto& l : links) l.reset();
}

}  // namespace
}  // namespace orva::test
