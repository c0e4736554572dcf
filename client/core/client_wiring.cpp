#include "client_wiring.h"

#include <QHostAddress>

#include "client/core/ogg_player.h"
#include "client/network/network_profile.h"
#include "client/network/peer_links.h"
#include "client/network/server_link.h"
#include "client/signed/signed_data.h"

namespace orva {

ClientWiring::ClientWiring(ClientNode& node) : node_(node) {
  NodeContext& ctx = node_.Context();
  const NodeOptions& options = node_.Options();

  profile_ = std::make_unique<NetworkProfile>(ClientNetworkProfile());
  if (!options.servers.isEmpty()) profile_->servers = options.servers;

  peers_ = std::make_unique<PeerLinks>(ctx, *profile_);
  server_ = std::make_unique<ServerLink>(ctx, *profile_, *peers_);
  if (!options.bindAddress.isEmpty()) {
    const QHostAddress local(options.bindAddress);
    peers_->SetLocalAddress(local);
    server_->SetBindAddress(local);
  }
  signed_ = std::make_unique<SignedData>(ctx, ClientServerKeys());

  NodeHooks& hooks = node_.Hooks();
  hooks.connectServer = [this](int purpose) { server_->ConnectServer(static_cast<quint32>(purpose)); };
  hooks.stopOgg = [this] { node_.Ogg().End(); };
}

ClientWiring::~ClientWiring() = default;

}  // namespace orva
