#include "peer_links.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>

#include "client/network/server_link.h"
#include "platform/cp932.h"
#include "platform/timing.h"

namespace orva {
namespace {

// Bytes Qt may hold for one read of a link; keeps a single read from
// growing far past kMaxLineBytes when the event loop was busy.
constexpr qint64 kReadChunkBytes = 64 * 1024;
// A link closed by this side gets this long to deliver its last lines.
constexpr int kCloseGraceMs = 5000;

QHostAddress Normalised(const QHostAddress& address) {
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);
  return isV4 ? QHostAddress(v4) : address;
}

qint64 ToInteger(const QString& text) {
  bool ok = false;
  const qint64 value = text.trimmed().toLongLong(&ok);
  if (!ok) throw NetError(kErrTypeMismatch, QStringLiteral("Type mismatch"));
  return value;
}

}  // namespace

PeerLinks::PeerLinks(NodeContext& ctx, const NetworkProfile& profile, QObject* parent)
    : QObject(parent), ctx_(ctx), profile_(profile), slots_(1) {}

PeerLinks::~PeerLinks() {
  for (Slot& slot : slots_) {
    if (!slot.socket) continue;
    slot.socket->disconnect(this);
    slot.socket->abort();
  }
}

qint64 PeerLinks::Now() const {
  if (clock_) return clock_();
  return static_cast<qint64>(TickCount());
}

// ------------------------------------------------------------ listening

int PeerLinks::StartListening(quint16 port) {
  if (!listener_) {
    listener_ = new QTcpServer(this);
    connect(listener_, &QTcpServer::newConnection, this, &PeerLinks::OnIncoming);
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

quint16 PeerLinks::ListeningPort() const { return IsListening() ? listener_->serverPort() : 0; }

// ----------------------------------------------------------------- slots

void PeerLinks::CreateSlots() {
  const int wanted = qMax<qint32>(ctx_.settings.Peer_Socket, 0) + 1;
  if (static_cast<int>(slots_.size()) < wanted) slots_.resize(wanted);
}

bool PeerLinks::InUse(int slot) const {
  return Valid(slot) && slots_[slot].socket &&
         slots_[slot].socket->state() == QAbstractSocket::ConnectedState;
}

bool PeerLinks::IsClosed(int slot) const {
  return !Valid(slot) || !slots_[slot].socket ||
         slots_[slot].socket->state() == QAbstractSocket::UnconnectedState;
}

bool PeerLinks::IsComplete(int slot) const { return InUse(slot) && slots_[slot].stage % 5 == 3; }

qint32 PeerLinks::StageOf(int slot) const { return Valid(slot) ? slots_[slot].stage : kFree; }

quint32 PeerLinks::RemotePeerId(int slot) const { return Valid(slot) ? slots_[slot].remotePeerId : 0; }

bool PeerLinks::OwnLink(int slot) const { return Valid(slot) && slots_[slot].ownLink; }

QHostAddress PeerLinks::RemoteAddress(int slot) const {
  if (!Valid(slot) || !slots_[slot].socket) return {};
  return Normalised(slots_[slot].socket->peerAddress());
}

qsizetype PeerLinks::BufferedBytes(int slot) const { return Valid(slot) ? slots_[slot].buffer.size() : 0; }

int PeerLinks::FreeSlot() const {
  for (int i = 1; i < static_cast<int>(slots_.size()); ++i) {
    if (IsClosed(i)) return i;
  }
  return 0;
}

int PeerLinks::SlotOf(const QTcpSocket* socket) const {
  if (!socket) return 0;
  for (int i = 1; i < static_cast<int>(slots_.size()); ++i) {
    if (slots_[i].socket == socket) return i;
  }
  return 0;
}

void PeerLinks::Attach(int slot, QTcpSocket* socket) {
  ReleaseSlot(slot);
  Slot& s = slots_[slot];
  s.socket = socket;
  socket->setParent(this);
  socket->setReadBufferSize(kReadChunkBytes);
  connect(socket, &QTcpSocket::connected, this, [this, socket] { OnConnected(socket); });
  connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
  connect(socket, &QTcpSocket::disconnected, this, [this, socket] { OnDisconnected(socket); });
}

QTcpSocket* PeerLinks::NewSocket(int slot) {
  auto* socket = new QTcpSocket(this);
  Attach(slot, socket);
  return socket;
}

void PeerLinks::ReleaseSlot(int slot) {
  if (!Valid(slot)) return;
  Slot& s = slots_[slot];
  if (QTcpSocket* socket = s.socket) {
    s.socket = nullptr;
    socket->disconnect(this);
    if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() > 0) {
      // Let the last lines ("614", "694") reach the peer, but not for ever.
      connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      QTimer::singleShot(kCloseGraceMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
      });
      socket->disconnectFromHost();
    } else {
      socket->abort();
      // The socket may be the sender of the signal being handled.
      socket->deleteLater();
    }
  }
  s.buffer.clear();
  s.stage = kFree;
  s.remotePeerId = 0;
  s.reading = false;
}

void PeerLinks::CloseHandling(int slot) {
  try {
    ctx_.WriteLog(QStringLiteral("ピアから切断されました"), 1);
    ReleaseSlot(slot);
    CountPeers();
  } catch (const std::exception& e) {
    ctx_.WriteLog(QStringLiteral("ピア切断中エラー：-1 %1").arg(QString::fromLocal8Bit(e.what())), 4);
  }
}

void PeerLinks::wsPeer__RequestError(int slot) {
  if (!Valid(slot) || !slots_[slot].socket) return;
  CloseHandling(slot);
}

bool PeerLinks::wsPeer__MultiSessionCheck(const QHostAddress& address, int exceptIndex) const {
  const QHostAddress wanted = Normalised(address);
  for (int i = 1; i < static_cast<int>(slots_.size()); ++i) {
    if (i == exceptIndex || !InUse(i)) continue;
    if (Normalised(slots_[i].socket->peerAddress()) == wanted) return true;
  }
  return false;
}

void PeerLinks::CloseAllPeers() {
  for (int i = 1; i < static_cast<int>(slots_.size()); ++i) {
    if (!IsClosed(i)) {
      ReleaseSlot(i);
      CountPeers();
    }
  }
}

void PeerLinks::SweepSlots() {
  const qint64 now = Now();
  for (int i = 1; i < static_cast<int>(slots_.size()); ++i) {
    Slot& s = slots_[i];
    if (!s.socket) continue;
    if (s.socket->state() == QAbstractSocket::UnconnectedState) {
      // A socket that failed: nothing of it is usable any more.
      ReleaseSlot(i);
      CountPeers();
      continue;
    }
    if (s.stage % 5 != 3 && now - s.startMs >= kIncompleteLinkMs) {
      ReleaseSlot(i);
      CountPeers();
    }
  }
}

void PeerLinks::CountPeers() {
  qint32 count = 0;
  for (int i = 1; i < static_cast<int>(slots_.size()); ++i) count += InUse(i) ? 1 : 0;
  ctx_.net.connectedPeers = count;
  ctx_.status.Set(StatusField::ConnectedPeers, QStringLiteral("%1ピア").arg(count));
}

QString PeerLinks::PeerIdList(const QString& separator, bool leadingBlank, bool fromFirstOwnLink) const {
  QStringList ids;
  for (int i = 1; i < static_cast<int>(slots_.size()); ++i) {
    if (!InUse(i)) continue;
    if (fromFirstOwnLink && !slots_[i].ownLink) continue;
    fromFirstOwnLink = false;
    ids << QString::number(slots_[i].remotePeerId);
  }
  if (ids.isEmpty()) return QString();
  return (leadingBlank ? QStringLiteral(" ") : QString()) + ids.join(separator);
}

bool PeerLinks::SendLine(int slot, const QString& line) {
  if (!InUse(slot)) return false;
  QByteArray bytes = cp932::fromUnicode(line);
  bytes += "\r\n";
  return slots_[slot].socket->write(bytes) == bytes.size();
}

// ------------------------------------------------------------- accepting

void PeerLinks::OnIncoming() {
  CreateSlots();
  while (QTcpSocket* socket = listener_->nextPendingConnection()) {
    const int slot = FreeSlot();
    if (slot == 0) {
      ctx_.WriteLog(QStringLiteral("ピアからの接続要求を受け入れられませんでした"), 3);
      // Refused at once: a request left waiting would turn into a stale
      // link much later.
      socket->abort();
      socket->deleteLater();
      continue;
    }
    try {
      Attach(slot, socket);
      Slot& s = slots_[slot];
      s.stage = kParentAccepted;
      s.startMs = Now();
      socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
      SendLine(slot, QStringLiteral("614 1 ") + profile_.identity);
      ctx_.WriteLog(QStringLiteral("ピアからの接続要求を受け入れました"), 1);
      const QHostAddress remote = Normalised(socket->peerAddress());
      if (remote == QHostAddress(QHostAddress::LocalHost) || wsPeer__MultiSessionCheck(remote, slot)) {
        ctx_.WriteLog(QStringLiteral("ループバックまたは多重セッションを検出しました"), 0);
        ReleaseSlot(slot);
      } else {
        CountPeers();
      }
    } catch (const std::exception& e) {
      ctx_.WriteLog(QStringLiteral("ピア接続受け入れ中エラー：-1 %1").arg(QString::fromLocal8Bit(e.what())), 4);
    }
  }
}

// --------------------------------------------------------------- opening

void PeerLinks::OnConnected(QTcpSocket* socket) {
  const int slot = SlotOf(socket);
  if (slot == 0) return;
  connectionCompleted_ = true;
  Slot& s = slots_[slot];
  s.stage = kChildConnected;
  s.startMs = Now();
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  ctx_.WriteLog(QStringLiteral("ピアと接続しました"), 1);
  CountPeers();
}

void PeerLinks::ConnectToPeers(const QStringList& entries) {
  CreateSlots();
  try {
    auto linked = [this] {
      int inUse = 0;
      for (int i = 1; i < static_cast<int>(slots_.size()); ++i) inUse += InUse(i) ? 1 : 0;
      return inUse;
    };
    for (const QString& entry : entries) {
      // More than 3 links: no further attempts (also when that was so
      // before the first entry).
      if (linked() > 3) break;
      const int slot = FreeSlot();
      if (slot == 0) continue;
      const QStringList parts = entry.split(QLatin1Char(','));
      bool portOk = false;
      bool idOk = false;
      const quint16 port = parts.size() == 3 ? parts[1].trimmed().toUShort(&portOk) : 0;
      const quint32 peerId = parts.size() == 3 ? parts[2].trimmed().toUInt(&idOk) : 0;
      if (!portOk || !idOk || parts[0].trimmed().isEmpty()) continue;

      QTcpSocket* socket = NewSocket(slot);
      // A sweep running inside the wait must not take this for an old link.
      slots_[slot].startMs = Now();
      connectionCompleted_ = false;
      const quint32 start = TickCount();
      if (!localAddress_.isNull()) socket->bind(localAddress_, 0);
      socket->connectToHost(parts[0].trimmed(), port);
      while (!connectionCompleted_ && socket->state() != QAbstractSocket::UnconnectedState &&
             static_cast<qint64>(TickCount() - start) < ctx_.settings.Peer_Timeout) {
        WaitMs(50);
      }
      // The slot may have been closed or reused while events ran.
      if (!Valid(slot) || slots_[slot].socket != socket) continue;
      if (!InUse(slot)) {
        CloseHandling(slot);
      } else {
        slots_[slot].remotePeerId = peerId;
        slots_[slot].ownLink = true;
      }
    }
    ctx_.WriteLog(QStringLiteral("計%1ピアと接続しました").arg(ctx_.net.connectedPeers), 1);
  } catch (const std::exception& e) {
    ctx_.WriteLog(QStringLiteral("ピア接続中エラー：-1 %1").arg(QString::fromLocal8Bit(e.what())), 4);
  }
}

void PeerLinks::OnDisconnected(QTcpSocket* socket) {
  const int slot = SlotOf(socket);
  if (slot != 0) CloseHandling(slot);
}

// ------------------------------------------------------------- receiving

void PeerLinks::OnReadyRead(QTcpSocket* socket) {
  const int slot = SlotOf(socket);
  if (slot == 0) {
    socket->readAll();
    return;
  }
  try {
    slots_[slot].buffer += socket->readAll();
    ctx_.WriteLog(QStringLiteral("Sock%1からデータ受信").arg(slot), 0);
    if (!slots_[slot].reading) ReadLines(slot, socket);
  } catch (const std::exception& e) {
    ctx_.WriteLog(QStringLiteral("ピアデータ受信中エラー：-1 %1").arg(QString::fromLocal8Bit(e.what())), 4);
  }
}

void PeerLinks::ReadLines(int slot, QTcpSocket* socket) {
  slots_[slot].reading = true;
  for (;;) {
    QByteArray& buffer = slots_[slot].buffer;
    const qsizetype end = buffer.indexOf("\r\n");
    if (end < 0) break;
    const QByteArray line = buffer.left(end);
    buffer.remove(0, end + 2);
    HandlePeerLine(cp932::toUnicode(line), slot);
    // Handling a line may close the link, or even reuse the slot.
    if (!Valid(slot) || slots_[slot].socket != socket) return;
  }
  slots_[slot].reading = false;
  if (slots_[slot].buffer.size() > kMaxLineBytes) {
    ctx_.WriteLog(QStringLiteral("ピアからのデータが長すぎるため切断します"), 2);
    wsPeer__RequestError(slot);
  }
}

void PeerLinks::HandlePeerLine(const QString& line, int slot) {
  try {
    if (line.size() < 5 || line.at(3) != QLatin1Char(' ')) {
      ctx_.WriteLog(QStringLiteral("ピアからのデータが正しくありません。無視します"), 0);
      return;
    }
    const int code = static_cast<int>(ToInteger(line.left(3)));
    const qsizetype blank = line.indexOf(QLatin1Char(' '), 4);
    qint64 hops = 0;
    QString rest;
    QStringList fields;
    if (blank >= 0) {
      hops = ToInteger(line.mid(4, blank - 4));
      rest = line.mid(blank + 1);
      if (!rest.isEmpty()) fields = rest.split(QLatin1Char(':'));
    } else {
      hops = ToInteger(line.mid(4));
    }
    if (lineHandler_) {
      lineHandler_(code, hops, rest, fields, slot);
    } else {
      HandleHandshake(code, fields, slot);
    }
  } catch (const NetError& e) {
    ctx_.WriteLog(QStringLiteral("データ検査中エラー：%1 %2").arg(e.number).arg(e.description), 4);
  } catch (const std::exception& e) {
    ctx_.WriteLog(QStringLiteral("データ検査中エラー：-1 %1").arg(QString::fromLocal8Bit(e.what())), 4);
  }
}

// ------------------------------------------------------------- handshake

bool PeerLinks::VersionOk(const QString& text, float floor) {
  // The leading number of the text, as a single-precision value; no number
  // reads as 0.
  static const QRegularExpression number(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)"));
  const QRegularExpressionMatch m = number.match(text);
  const float version = m.hasMatch() ? static_cast<float>(m.captured(0).trimmed().toDouble()) : 0.0f;
  return version >= floor;
}

bool PeerLinks::HandleHandshake(int code, const QStringList& fields, int slot) {
  if (!Valid(slot)) return false;
  auto refuse = [this, slot] {
    SendLine(slot, QStringLiteral("694 1 Protocol_version_incompatible"));
    CloseHandling(slot);
  };
  switch (code) {
    case 614:
      if (fields.size() != 3 || slots_[slot].stage != kChildConnected) {
        wsPeer__RequestError(slot);
      } else if (VersionOk(fields[0], profile_.minProtocolVersion)) {
        slots_[slot].stage = kChildVersionOk;
        ctx_.WriteLog(QStringLiteral("プロトコルバージョンを受信（子として）"), 0);
        SendLine(slot, QStringLiteral("634 1 ") + profile_.identity);
      } else {
        refuse();
      }
      return true;
    case 634:
      if (fields.size() != 3 || slots_[slot].stage != kParentAccepted) {
        wsPeer__RequestError(slot);
      } else if (VersionOk(fields[0], profile_.minProtocolVersion)) {
        slots_[slot].stage = kParentVersionOk;
        ctx_.WriteLog(QStringLiteral("プロトコルバージョンを受信（親として）"), 0);
        SendLine(slot, QStringLiteral("612 1"));
      } else {
        refuse();
      }
      return true;
    case 612:
      if (slots_[slot].stage != kChildVersionOk) {
        wsPeer__RequestError(slot);
      } else {
        ctx_.WriteLog(QStringLiteral("ピアIDを送信し、子としての接続処理が完了"), 0);
        slots_[slot].stage = kChildComplete;
        SendLine(slot, QStringLiteral("632 1 %1").arg(ctx_.net.ownPeerId));
      }
      return true;
    case 632:
      if (fields.size() != 1 || slots_[slot].stage != kParentVersionOk) {
        wsPeer__RequestError(slot);
      } else {
        const qint64 id = ToInteger(fields[0]);
        ctx_.WriteLog(QStringLiteral("ピアIDを受信し、親としての接続処理が完了"), 0);
        slots_[slot].remotePeerId = static_cast<quint32>(id);
        slots_[slot].stage = kParentComplete;
      }
      return true;
    case 611:
      SendLine(slot, QStringLiteral("631 1"));
      return true;
    case 631:
    case 694:
      return true;
    default:
      return false;
  }
}

}  // namespace orva
