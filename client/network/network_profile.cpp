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
  return p;
}

NetworkProfile ChatNetworkProfile() {
  NetworkProfile p;
  p.identity = QStringLiteral("0.21:Pelion_Client:Beta1_Rev1004");
  p.servers = SplitServerList(QStringLiteral(ORVA_CHAT_SERVER_LIST));
  p.serverPort = 5910;
  p.minProtocolVersion = 0.2f;
  return p;
}

}  // namespace orva
