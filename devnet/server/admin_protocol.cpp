#include "devnet/server/admin_protocol.h"

namespace orva::devnet {

std::optional<AdminRequest> ParseAdminRequest(const QString& line) {
  const qsizetype blank = line.indexOf(u' ');
  const QString word = blank < 0 ? line : line.left(blank);
  const QString rest = blank < 0 ? QString() : line.mid(blank + 1);
  if (word == u"QUAKE") {
    const QStringList parts = rest.split(u':');
    if (parts.size() != 2) return std::nullopt;
    return AdminRequest{AdminRequest::Kind::Quake, parts};
  }
  if (word == u"TSUNAMI") {
    if (rest.isEmpty() || rest.contains(u':')) return std::nullopt;
    return AdminRequest{AdminRequest::Kind::Tsunami, {rest}};
  }
  if (blank < 0 && word == u"REGIONS") return AdminRequest{AdminRequest::Kind::Regions, {}};
  if (blank < 0 && word == u"STATUS") return AdminRequest{AdminRequest::Kind::Status, {}};
  return std::nullopt;
}

QString FormatAdminRequest(const AdminRequest& request) {
  switch (request.kind) {
    case AdminRequest::Kind::Quake: return QStringLiteral("QUAKE ") + request.fields.join(u':');
    case AdminRequest::Kind::Tsunami: return QStringLiteral("TSUNAMI ") + request.fields.value(0);
    case AdminRequest::Kind::Regions: return QStringLiteral("REGIONS");
    case AdminRequest::Kind::Status: return QStringLiteral("STATUS");
  }
  return QString();
}

}  // namespace orva::devnet
