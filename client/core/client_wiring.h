#pragma once
// Assembles one node's subsystems and connects them to the node's hooks.
#include <memory>

#include "client/core/client_node.h"

namespace orva {

class ClientWiring {
 public:
  explicit ClientWiring(ClientNode& node);
  ~ClientWiring();
  ClientWiring(const ClientWiring&) = delete;
  ClientWiring& operator=(const ClientWiring&) = delete;

 private:
  ClientNode& node_;
};

}  // namespace orva
