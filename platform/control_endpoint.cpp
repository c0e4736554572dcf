#include "control_endpoint.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include "runtime_folder.h"

namespace orva {

QString ControlEndpointName(const QString& windowClass, const QString& title) {
  const QString dir = RuntimeFolder();
  const QByteArray key = (windowClass + QLatin1Char('\n') + title).toUtf8();
  return dir + QStringLiteral("/orva-window-") +
         QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(20));
}

ControlEndpoint::ControlEndpoint(const QString& windowClass, const QString& title, QObject* parent)
    : QObject(parent), name_(ControlEndpointName(windowClass, title)) {}

ControlEndpoint::~ControlEndpoint() { Close(); }

bool ControlEndpoint::Open() {
  if (server_) return true;
  auto* server = new QLocalServer(this);
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->listen(name_)) {
    // A name left by a program that is gone is reclaimed; a live one wins.
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(300)) {
      delete server;
      return false;
    }
    QLocalServer::removeServer(name_);
    if (!server->listen(name_)) {
      delete server;
      return false;
    }
  }
  server_ = server;
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* s = server_->nextPendingConnection()) {
      s->setParent(this);
      connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
      connect(s, &QLocalSocket::readyRead, this, [this, s] { Serve(s); });
    }
  });
  return true;
}

void ControlEndpoint::Serve(QLocalSocket* s) {
  while (s->canReadLine()) {
    const QByteArray line = s->readLine().trimmed();
    if (line == "close" || line == "quit" || line == "ping") {
      s->write("ok\n");
      s->flush();
      // The window may go away in the handler: run it after this event.
      if (line != "ping") {
        const bool isClose = line == "close";
        QMetaObject::invokeMethod(this, [this, isClose] {
          auto& handler = isClose ? onClose : onQuit;
          if (handler) handler();
        }, Qt::QueuedConnection);
      }
    } else {
      s->abort();
      return;
    }
  }
  // Requests are short words; anything long without a line end is refused.
  if (s->bytesAvailable() > 256) s->abort();
}

void ControlEndpoint::Close() {
  if (!server_) return;
  server_->close();
  delete server_;
  server_ = nullptr;
}

namespace {
bool Ask(const QString& windowClass, const QString& title, const QByteArray& request, int timeoutMs) {
  QLocalSocket s;
  s.connectToServer(ControlEndpointName(windowClass, title));
  if (!s.waitForConnected(timeoutMs)) return false;
  s.write(request + '\n');
  if (!s.waitForBytesWritten(timeoutMs)) return false;
  if (!s.waitForReadyRead(timeoutMs)) return false;
  return s.readLine().trimmed() == "ok";
}
}  // namespace

bool ControlWindowExists(const QString& windowClass, const QString& title, int timeoutMs) {
  return Ask(windowClass, title, "ping", timeoutMs);
}

bool SendControlRequest(const QString& windowClass, const QString& title, const QString& request,
                        int timeoutMs) {
  return Ask(windowClass, title, request.toLatin1(), timeoutMs);
}

}  // namespace orva
