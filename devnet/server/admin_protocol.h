#pragma once
// The admin endpoint's line protocol (code page 932, CR LF), shared by the
// server and the publisher.
//
//   QUAKE <header>:<point list>   sign and inject a quake bulletin (551)
//   TSUNAMI <data>                a tsunami bulletin (552)
//   REGIONS                       the region peer counts now (561)
//   STATUS                        joined and reachable peer counts
//
// Each request is answered by zero or more "INFO <text>" lines and one final
// "OK <text>" or "ERR <text>" line.
#include <QString>
#include <QStringList>
#include <optional>

namespace orva::devnet {

inline constexpr quint16 kDefaultAdminPort = 6920;

struct AdminRequest {
  enum class Kind { Quake, Tsunami, Regions, Status } kind;
  QStringList fields;  // quake: header, point list; tsunami: data
};

std::optional<AdminRequest> ParseAdminRequest(const QString& line);
QString FormatAdminRequest(const AdminRequest& request);

}  // namespace orva::devnet
