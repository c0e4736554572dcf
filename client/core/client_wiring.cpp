#include "client_wiring.h"

#include "client/core/ogg_player.h"

namespace orva {

ClientWiring::ClientWiring(ClientNode& node) : node_(node) {
  node_.Hooks().stopOgg = [this] { node_.Ogg().End(); };
}

ClientWiring::~ClientWiring() = default;

}  // namespace orva
