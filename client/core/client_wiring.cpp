#include "client_wiring.h"

#include <QHostAddress>
#include <QTimer>

#include "client/core/ogg_player.h"
#include "client/network/join_sequence.h"
#include "client/network/network_profile.h"
#include "client/network/peer_links.h"
#include "client/network/peer_relay.h"
#include "client/network/server_link.h"
#include "client/quake/quake_assets.h"
#include "client/quake/quake_record.h"
#include "client/quake/tables.h"
#include "client/quake/tsunami_record.h"
#include "client/signed/signed_data.h"

namespace orva {

ClientWiring::ClientWiring(ClientNode& node) : node_(node) {
  NodeContext& ctx = node_.Context();
  const NodeOptions& options = node_.Options();

  profile_ = std::make_unique<NetworkProfile>(ClientNetworkProfile());
  if (!options.servers.isEmpty()) profile_->servers = options.servers;
  if (options.serverPort != 0) profile_->serverPort = options.serverPort;

  peers_ = std::make_unique<PeerLinks>(ctx, *profile_);
  server_ = std::make_unique<ServerLink>(ctx, *profile_, *peers_);
  if (!options.bindAddress.isEmpty()) {
    const QHostAddress local(options.bindAddress);
    peers_->SetLocalAddress(local);
    server_->SetBindAddress(local);
  }
  signed_ = std::make_unique<SignedData>(ctx, ClientServerKeys());
  relay_ = std::make_unique<PeerRelay>(ctx, *profile_, *peers_, *signed_);
  tables_ = std::make_unique<Tables>();
  assets_ = std::make_unique<quake::TablesAssets>(*tables_);
  quake_ = std::make_unique<quake::QuakeRecord>(ctx);
  quake_->knownPlace = [this](const QString& name) { return tables_->FindPoint(name) != nullptr; };
  tsunami_ = std::make_unique<quake::TsunamiRecord>(ctx);

  // Accepted items to their owners. The relay hands them over from inside
  // a peer socket's read handler; drawing a bulletin lets events through
  // (and may show boxes), which must not run while that handler is still
  // on the stack: the link may close and its socket go away meanwhile. So
  // the owners take the items on the next turn of the event loop, in order.
  RelayHooks& relay = relay_->Hooks();
  relay.quakeAccepted = [this](const QString& header, const QString& points) {
    QTimer::singleShot(0, &node_, [this, header, points] { quake_->AcceptQuake(header, points); });
  };
  relay.showTsunami = [this](const QString& data) {
    QTimer::singleShot(0, &node_, [this, data] { tsunami_->Show(data); });
  };
  relay.sendToPlugins = [this](const QString& line, bool devOnly) {
    if (sendToPlugins) sendToPlugins(line, devOnly);
  };
  quake_->notifyPlugins = [this](const QString& line) {
    if (sendToPlugins) sendToPlugins(line, false);
  };
  tsunami_->notifyPlugins = quake_->notifyPlugins;
  server_->Sequence().SetRegionCountsHook([this](const QString& list) { relay_->Regions().ApplyRegionCounts(list); });

  NodeHooks& hooks = node_.Hooks();
  hooks.connectServer = [this](int purpose) { server_->ConnectServer(static_cast<quint32>(purpose)); };
  hooks.loadTables = [this] { LoadTables(); };
  hooks.createPeerSockets = [this] { peers_->CreateSlots(); };
  hooks.sweepPeerSlots = [this] { peers_->SweepSlots(); };
  hooks.sendToPeers = [this](const QString& line) { relay_->wsPeer__SendData(line, 0); };
  hooks.quakeRedisplay = [this] { quake_->Redisplay(); };
  hooks.stopOgg = [this] { node_.Ogg().End(); };
}

ClientWiring::~ClientWiring() {
  // The node outlives its subsystems: take their hooks back first.
  node_.Hooks() = NodeHooks{};
}

void ClientWiring::AttachScreens(quake::QuakeScreen* quakeScreen, quake::TsunamiScreen* tsunamiScreen) {
  quake_->screen = quakeScreen;
  tsunami_->screen = tsunamiScreen;
}

void ClientWiring::LoadTables() {
  try {
    tables_->Load(node_.Context().settings.Quake_MapJMAOnly == 1);
  } catch (const std::exception& e) {
    // A broken table is a broken build; the client still runs without it.
    node_.Context().WriteLog(QStringLiteral("テーブル読み込み中エラー：5 ") + QString::fromUtf8(e.what()), 4);
  }
}

}  // namespace orva
