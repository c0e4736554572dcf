#pragma once
// Assembles one node's subsystems (network profile, peer links, server link,
// relay, signed data, tables, quake and tsunami records) and connects them
// to the node's hooks. Several wirings, each with its node, can live in one
// process; screens are attached separately (AttachScreens).
#include <QString>

#include <functional>
#include <memory>

#include "client/core/client_node.h"

namespace orva {

struct NetworkProfile;
class PeerLinks;
class PeerRelay;
class ServerLink;
class SignedData;
class Tables;

namespace quake {
class QuakeRecord;
class TsunamiRecord;
class QuakeScreen;
class TsunamiScreen;
class TablesAssets;
}  // namespace quake

class ClientWiring {
 public:
  explicit ClientWiring(ClientNode& node);
  ~ClientWiring();
  ClientWiring(const ClientWiring&) = delete;
  ClientWiring& operator=(const ClientWiring&) = delete;

  ClientNode& Node() { return node_; }
  const NetworkProfile& Profile() const { return *profile_; }
  PeerLinks& Peers() { return *peers_; }
  ServerLink& Server() { return *server_; }
  PeerRelay& Relay() { return *relay_; }
  SignedData& Signed() { return *signed_; }
  Tables& LoadedTables() { return *tables_; }
  const quake::TablesAssets& Assets() const { return *assets_; }
  quake::QuakeRecord& Quake() { return *quake_; }
  quake::TsunamiRecord& Tsunami() { return *tsunami_; }

  // Where bulletins are shown (unset: nowhere, as in headless mode).
  void AttachScreens(quake::QuakeScreen* quakeScreen, quake::TsunamiScreen* tsunamiScreen);

  // Lines for the plugins ("QUAK ...", "TIDL ...", "EEW ..."); the plugin
  // port takes them once it exists. Unset: dropped.
  std::function<void(const QString& line, bool devOnly)> sendToPlugins;

 private:
  void LoadTables();

  ClientNode& node_;
  std::unique_ptr<NetworkProfile> profile_;
  std::unique_ptr<PeerLinks> peers_;
  std::unique_ptr<ServerLink> server_;
  std::unique_ptr<SignedData> signed_;
  std::unique_ptr<PeerRelay> relay_;
  std::unique_ptr<Tables> tables_;
  std::unique_ptr<quake::TablesAssets> assets_;
  std::unique_ptr<quake::QuakeRecord> quake_;
  std::unique_ptr<quake::TsunamiRecord> tsunami_;
};

}  // namespace orva
