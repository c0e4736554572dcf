#include "devnet/server/admin_endpoint.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "devnet/server/admin_protocol.h"
#include "devnet/server/network_server.h"
#include "devnet/server/wire.h"
#include "platform/cp932.h"

namespace orva::devnet {
namespace {
constexpr int kMaxAdminLine = 65536;
constexpr int kAdminIdleMs = 60000;

void SendLine(QTcpSocket* socket, const QString& line) {
  socket->write(cp932::fromUnicode(line) + "\r\n");
}
}  // namespace

AdminEndpoint::AdminEndpoint(NetworkServer* server)
    : QObject(server), server_(server), listener_(new QTcpServer(this)) {}

bool AdminEndpoint::Listen(quint16 port, QString* error) {
  if (!listener_->listen(QHostAddress::LocalHost, port)) {
    if (error)
      *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(listener_->errorString());
    return false;
  }
  connect(listener_, &QTcpServer::newConnection, this, &AdminEndpoint::OnNewConnection);
  return true;
}

quint16 AdminEndpoint::Port() const { return listener_->serverPort(); }

void AdminEndpoint::OnNewConnection() {
  while (QTcpSocket* socket = listener_->nextPendingConnection()) {
    const QHostAddress from(socket->peerAddress().toIPv4Address());
    if (from != QHostAddress(QHostAddress::LocalHost)) {
      server_->Log(QStringLiteral("admin: refused connection from ") +
                   socket->peerAddress().toString());
      socket->abort();
      socket->deleteLater();
      continue;
    }
    Serve(socket);
  }
}

void AdminEndpoint::Serve(QTcpSocket* socket) {
  socket->setParent(this);
  auto* idle = new QTimer(socket);
  idle->setSingleShot(true);
  idle->setInterval(kAdminIdleMs);
  connect(idle, &QTimer::timeout, socket, &QTcpSocket::disconnectFromHost);
  idle->start();
  auto buffer = std::make_shared<QByteArray>();
  connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer, idle] {
    buffer->append(socket->readAll());
    idle->start();
    for (const QByteArray& raw : TakeLines(*buffer)) HandleLine(socket, cp932::toUnicode(raw));
    if (buffer->size() > kMaxAdminLine) {
      SendLine(socket, QStringLiteral("ERR line too long"));
      socket->disconnectFromHost();
    }
  });
  connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

void AdminEndpoint::HandleLine(QTcpSocket* socket, const QString& line) {
  const auto request = ParseAdminRequest(line);
  if (!request) {
    SendLine(socket, QStringLiteral("ERR unknown request"));
    return;
  }
  if (request->kind == AdminRequest::Kind::Status) {
    auto& reg = server_->Registry();
    SendLine(socket, QStringLiteral("OK joined=%1 reachable=%2 signing=%3")
                         .arg(reg.JoinedCount())
                         .arg(reg.ReachableCount())
                         .arg(server_->CanSign() ? QStringLiteral("yes") : QStringLiteral("no")));
    return;
  }
  QPointer<QTcpSocket> guard(socket);
  auto reply = [guard](const PublishResult& r) {
    if (!guard) return;
    if (!r.ok) {
      SendLine(guard, QStringLiteral("ERR ") + r.error);
      return;
    }
    SendLine(guard, QStringLiteral("INFO line ") + r.line);
    for (const QString& peer : r.reached) SendLine(guard, QStringLiteral("INFO delivered ") + peer);
    for (const QString& f : r.failures) SendLine(guard, QStringLiteral("INFO failed ") + f);
    SendLine(guard, QStringLiteral("OK delivered=%1 expiry=%2").arg(r.delivered).arg(r.expiryText));
  };
  switch (request->kind) {
    case AdminRequest::Kind::Quake: server_->Publish(551, request->fields, reply); break;
    case AdminRequest::Kind::Tsunami: server_->Publish(552, request->fields, reply); break;
    case AdminRequest::Kind::Regions: server_->PublishRegionCounts(reply); break;
    case AdminRequest::Kind::Status: break;
  }
}

}  // namespace orva::devnet
