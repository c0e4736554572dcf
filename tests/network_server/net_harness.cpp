#include "net_harness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <QTimer>

namespace orva::test {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QThread::msleep(5);
  }
  return true;
}

void Pump(int ms) {
  QElapsedTimer clock;
  clock.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QThread::msleep(5);
  } while (clock.elapsed() < ms);
}

ServerFarm::ServerFarm(int count, quint16 port, const QString& firstAddress) {
  const QHostAddress first(firstAddress);
  port_ = port;
  listening_ = true;
  for (int i = 0; i < count; ++i) {
    const QHostAddress address(first.toIPv4Address() + static_cast<quint32>(i));
    const QString host = address.toString();
    hosts_ << host;
    auto server = std::make_unique<QTcpServer>();
    QTcpServer* raw = server.get();
    connect(raw, &QTcpServer::newConnection, this, [this, raw, host] { OnConnection(raw, host); });
    // Another test program may hold the port for a moment: retry; if it
    // stays taken, move the whole farm to a free port.
    bool ok = WaitUntil([&] { return raw->listen(address, port_); }, 5000);
    if (!ok && i == 0 && port_ != 0) {
      ok = raw->listen(address, 0);
      port_ = raw->serverPort();
    }
    listening_ = listening_ && ok;
    servers_.push_back(std::move(server));
  }
}

ServerFarm::~ServerFarm() {
  for (auto& server : servers_) server->close();
}

void ServerFarm::OnConnection(QTcpServer* server, const QString& host) {
  while (QTcpSocket* socket = server->nextPendingConnection()) {
    const int connection = Connections();
    connectedHosts.push_back(host);
    peerAddresses.push_back(socket->peerAddress().toString());
    auto* buffer = new QByteArray;
    connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer, connection] {
      const QByteArray data = socket->readAll();
      reads << data;
      *buffer += data;
      qsizetype end;
      while ((end = buffer->indexOf("\r\n")) >= 0) {
        const QString line = QString::fromLatin1(buffer->left(end));
        buffer->remove(0, end + 2);
        lines << line;
        if (script.reply) SendChunks(socket, script.reply(line, connection));
      }
    });
    SendChunks(socket, script.greeting(connection));
  }
}

void ServerFarm::SendChunks(QTcpSocket* socket, QList<QByteArray> chunks) {
  if (chunks.isEmpty()) return;
  const QByteArray chunk = chunks.takeFirst();
  if (chunk == kClose) {
    socket->disconnectFromHost();
    return;
  }
  socket->write(chunk);
  socket->flush();
  if (chunks.isEmpty()) return;
  QPointer<QTcpSocket> guard(socket);
  QTimer::singleShot(30, this, [this, guard, chunks] {
    if (guard) SendChunks(guard, chunks);
  });
}

QDateTime TestLocalNow() { return QDateTime(QDate(2026, 12, 11), QTime(12, 0, 0)); }

QString WireDate(const QDateTime& t) { return t.toString(QStringLiteral("yyyy/MM/dd HH-mm-ss")); }

TestNode::TestNode(const QStringList& servers, quint16 port) {
  ctx.programFolder = QStringLiteral("/tmp/");
  ctx.settings.Server_Timeout = 400;
  ctx.settings.Peer_Timeout = 400;
  ctx.settings.Use_UPnP = 1;
  ctx.settings.Port_Listen = 0;
  ctx.log.SetLevel(0);
  ctx.log.SetEcho([this](const QString& entry) { log << entry.mid(entry.indexOf(QLatin1Char('|')) + 1); });
  ctx.clock.SetLocalClock(&TestLocalNow);
  ctx.net.key.privateKey = QStringLiteral("Unknown");
  ctx.ui.tray = &tray;
  ctx.ui.menus = &menus;
  ctx.ui.boxes = &boxes;
  ctx.ui.windows = &windows;

  profile = ClientNetworkProfile();
  profile.servers = servers;
  profile.serverPort = port;
  peers = std::make_unique<PeerLinks>(ctx, profile);
  peers->SetLocalAddress(QHostAddress(QStringLiteral("127.0.0.1")));
  link = std::make_unique<ServerLink>(ctx, profile, *peers);
  link->Sequence().SetPortMappingHook([this](quint16 p) { mappedPorts.push_back(p); });
  link->Sequence().SetRegionCountsHook([this](const QString& counts) { regionCounts << counts; });
}

TestNode::~TestNode() {
  link.reset();
  peers.reset();
}

PeerListeners::PeerListeners(int count) {
  for (int i = 0; i < count; ++i) {
    auto server = std::make_unique<QTcpServer>();
    server->listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
    QTcpServer* raw = server.get();
    QObject::connect(raw, &QTcpServer::newConnection, raw, [this, raw] {
      while (QTcpSocket* s = raw->nextPendingConnection()) accepted_.emplace_back(s);
    });
    servers_.push_back(std::move(server));
  }
}

QStringList PeerListeners::Entries(int firstId) const {
  QStringList entries;
  for (size_t i = 0; i < servers_.size(); ++i) {
    entries << QStringLiteral("127.0.0.1,%1,%2").arg(servers_[i]->serverPort()).arg(firstId + static_cast<int>(i));
  }
  return entries;
}

}  // namespace orva::test
