#include "network_profile.h"

#include "client/core/settings.h"

namespace orva {

QStringList SplitServerList(const QString& commaSeparated) {
  QStringList hosts;
  for (const QString& part : commaSeparated.split(QLatin1Char(','))) {
    const QString host = part.trimmed();
    if (!host.isEmpty()) hosts << host;
  }
  return hosts;
}

NetworkProfile ClientNetworkProfile() {
  NetworkProfile p;
  p.identity = QStringLiteral("0.32:Orva_Client:Beta3_Rev%1").arg(kBuildRevision);
  p.servers = SplitServerList(QStringLiteral(ORVA_SERVER_LIST));
  p.serverPort = 6910;
  p.minProtocolVersion = 0.3f;
  // Handled while the hop count after this link stays within
  // total / 20 + 5, computed as a real number (1000 peers: 55; none: 5).
  p.withinHopLimit = [](qint32 hopCount, qint32 totalPeers) {
    return static_cast<double>(hopCount) + 1.0 <= static_cast<double>(totalPeers) / 20.0 + 5.0;
  };
  p.relayedCodes = {551, 552, 555, 556, 561, 615, 635};
  return p;
}

NetworkProfile ChatNetworkProfile() {
  NetworkProfile p;
  p.identity = QStringLiteral("0.21:Pelion_Client:Beta1_Rev1004");
  p.servers = SplitServerList(QStringLiteral(ORVA_CHAT_SERVER_LIST));
  p.serverPort = 5910;
  p.minProtocolVersion = 0.2f;
  // Handled while the hop count as received stays within total / 10 + 1.
  p.withinHopLimit = [](qint32 hopCount, qint32 totalPeers) {
    return static_cast<double>(hopCount) <= static_cast<double>(totalPeers) / 10.0 + 1.0;
  };
  // The chat items are registered by the plugin (PeerRelay::SetItemHandler).
  return p;
}

}  // namespace orva
