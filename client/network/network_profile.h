#pragma once
// What differs between the client's network and the chat plugin's network.
// The server link, the conversations and the peer links read everything
// network-specific from one of these, so both programs share the code.
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace orva {

struct NetworkProfile {
  // Software identity sent in "131 1 ..." and in the peer handshake.
  QString identity;
  // Server host names, tried in random order; index 0 .. size()-1.
  QStringList servers;
  quint16 serverPort = 6910;
  // Lowest protocol version accepted from a server (212) or a peer,
  // compared as a single-precision number.
  float minProtocolVersion = 0.3f;

  // Relay rules; the peer-link layer fills and reads these.
  // True while an item with `hopCount` (as received) is still handled,
  // given the network's total peer count. Unset: always handled.
  std::function<bool(qint32 hopCount, qint32 totalPeers)> withinHopLimit;
  // Data codes the relay takes in; empty until the relay defines them.
  std::vector<int> relayedCodes;
};

// Splits a comma-separated host list; blanks around names and empty names
// are dropped.
QStringList SplitServerList(const QString& commaSeparated);

// The client's network: identity 0.32:Orva_Client:Beta3_Rev1011, the
// server list built in by ORVA_SERVER_LIST, port 6910, version 0.3.
NetworkProfile ClientNetworkProfile();

// The chat plugin's network: identity 0.21:Pelion_Client:Beta1_Rev1004,
// the server list built in by ORVA_CHAT_SERVER_LIST, port 5910, version 0.2.
NetworkProfile ChatNetworkProfile();

}  // namespace orva
