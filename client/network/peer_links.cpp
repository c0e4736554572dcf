#include "peer_links.h"

#include "platform/timing.h"

namespace orva {

PeerLinks::PeerLinks(NodeContext& ctx, const NetworkProfile& profile, QObject* parent)
    : QObject(parent), ctx_(ctx), profile_(profile) {}

PeerLinks::~PeerLinks() {
  for (Slot& slot : slots_) {
    if (slot.socket) {
      slot.socket->disconnect(this);
      slot.socket->abort();
    }
  }
}

int PeerLinks::StartListening(quint16 port) {
  if (!listener_) {
    listener_ = std::make_unique<QTcpServer>();
    connect(listener_.get(), &QTcpServer::newConnection, this, &PeerLinks::OnIncoming);
  }
  listener_->close();
  const QHostAddress address = localAddress_.isNull() ? QHostAddress(QHostAddress::Any) : localAddress_;
  if (listener_->listen(address, port)) {
    listenError_.clear();
    return 0;
  }
  listenError_ = listener_->errorString();
  switch (listener_->serverError()) {
    case QAbstractSocket::AddressInUseError: return kAddressInUse;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketAddressNotAvailableError: return 10049;
    default: return 10022;
  }
}

void PeerLinks::StopListening() {
  if (listener_) listener_->close();
}

bool PeerLinks::IsListening() const { return listener_ && listener_->isListening(); }

void PeerLinks::OnIncoming() {
  // Incoming links are not served yet: refuse them right after the accept.
  while (QTcpSocket* socket = listener_->nextPendingConnection()) {
    socket->abort();
    socket->deleteLater();
  }
}

void PeerLinks::EnsureSlots() {
  const int wanted = qMax<qint32>(ctx_.settings.Peer_Socket, 0);
  while (static_cast<int>(slots_.size()) < wanted) slots_.emplace_back();
}

bool PeerLinks::InUse(const Slot& slot) const {
  return slot.socket && slot.socket->state() == QAbstractSocket::ConnectedState;
}

int PeerLinks::FreeSlot() const {
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    const Slot& s = slots_[i];
    if (!s.socket || s.socket->state() == QAbstractSocket::UnconnectedState) return i;
  }
  return -1;
}

void PeerLinks::CloseSlot(Slot& slot) {
  if (slot.socket) {
    slot.socket->disconnect(this);
    slot.socket->abort();
    // The socket may be the sender of the signal being handled.
    slot.socket.release()->deleteLater();
  }
  slot.buffer.clear();
  slot.remotePeerId = 0;
}

void PeerLinks::OnPeerClosed(QTcpSocket* socket) {
  for (Slot& slot : slots_) {
    if (slot.socket.get() != socket) continue;
    ctx_.WriteLog(QStringLiteral("ピアから切断されました"), 1);
    CloseSlot(slot);
    CountPeers();
    return;
  }
}

void PeerLinks::ConnectToPeers(const QStringList& entries) {
  EnsureSlots();
  for (const QString& entry : entries) {
    const int index = FreeSlot();
    if (index < 0) continue;
    const QStringList parts = entry.split(QLatin1Char(','));
    bool portOk = false;
    bool idOk = false;
    const quint16 port = parts.size() == 3 ? parts[1].toUShort(&portOk) : 0;
    const quint32 peerId = parts.size() == 3 ? parts[2].toUInt(&idOk) : 0;
    if (!portOk || !idOk || parts[0].isEmpty()) continue;

    CloseSlot(slots_[index]);
    slots_[index].socket = std::make_unique<QTcpSocket>();
    QTcpSocket* socket = slots_[index].socket.get();
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
      connectionCompleted_ = true;
      socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
      ctx_.WriteLog(QStringLiteral("ピアと接続しました"), 1);
      CountPeers();
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { OnPeerClosed(socket); });
    connect(socket, &QTcpSocket::readyRead, this, [socket] { socket->readAll(); });

    connectionCompleted_ = false;
    const quint32 start = TickCount();
    if (!localAddress_.isNull()) socket->bind(localAddress_, 0);
    socket->connectToHost(parts[0], port);
    while (!connectionCompleted_ && socket->state() != QAbstractSocket::UnconnectedState &&
           static_cast<qint64>(TickCount() - start) < ctx_.settings.Peer_Timeout) {
      WaitMs(50);
    }
    // The slot may have been closed or reused while events ran.
    if (index >= static_cast<int>(slots_.size()) || slots_[index].socket.get() != socket) continue;
    Slot& done = slots_[index];
    if (!InUse(done)) {
      CloseSlot(done);
      CountPeers();
    } else {
      done.remotePeerId = peerId;
      done.ownLink = true;
    }
    int inUse = 0;
    for (const Slot& s : slots_) inUse += InUse(s) ? 1 : 0;
    if (inUse > 3) break;
  }
  ctx_.WriteLog(QStringLiteral("計%1ピアと接続しました").arg(ctx_.net.connectedPeers), 1);
}

void PeerLinks::CountPeers() {
  qint32 count = 0;
  for (const Slot& slot : slots_) count += InUse(slot) ? 1 : 0;
  ctx_.net.connectedPeers = count;
  ctx_.status.Set(StatusField::ConnectedPeers, QStringLiteral("%1ピア").arg(count));
}

QString PeerLinks::PeerIdList(const QString& separator, bool leadingBlank, bool fromFirstOwnLink) const {
  QStringList ids;
  for (const Slot& slot : slots_) {
    if (!InUse(slot)) continue;
    if (fromFirstOwnLink && !slot.ownLink) continue;
    fromFirstOwnLink = false;
    ids << QString::number(slot.remotePeerId);
  }
  if (ids.isEmpty()) return QString();
  return (leadingBlank ? QStringLiteral(" ") : QString()) + ids.join(separator);
}

void PeerLinks::CloseAllPeers() {
  for (Slot& slot : slots_) {
    if (slot.socket && slot.socket->state() != QAbstractSocket::UnconnectedState) {
      CloseSlot(slot);
      CountPeers();
    }
  }
}

}  // namespace orva
