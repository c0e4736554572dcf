#pragma once
// Assembles one node's subsystems (network profile, peer links, server link,
// signed data, ...) and connects them to the node's hooks. Several wirings,
// each with its node, can live in one process.
#include <memory>

#include "client/core/client_node.h"

namespace orva {

struct NetworkProfile;
class PeerLinks;
class ServerLink;
class SignedData;

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
  SignedData& Signed() { return *signed_; }

 private:
  ClientNode& node_;
  std::unique_ptr<NetworkProfile> profile_;
  std::unique_ptr<PeerLinks> peers_;
  std::unique_ptr<ServerLink> server_;
  std::unique_ptr<SignedData> signed_;
};

}  // namespace orva
