#include "devnet/server/session.h"

#include <QTcpSocket>

#include "devnet/server/item_signer.h"
#include "devnet/server/network_server.h"
#include "devnet/server/port_probe.h"
#include "devnet/server/registry.h"
#include "devnet/server/wire.h"
#include "platform/cp932.h"

namespace orva::devnet {

ServerSession::ServerSession(QTcpSocket* socket, NetworkServer* server, quint64 number)
    : QObject(server), socket_(socket), server_(server), number_(number) {
  socket_->setParent(this);
  peerAddress_ = QHostAddress(socket_->peerAddress().toIPv4Address());
  if (peerAddress_.isNull()) peerAddress_ = socket_->peerAddress();
  peerText_ = peerAddress_.toString() + u':' + QString::number(socket_->peerPort());
  idleTimer_.setSingleShot(true);
  idleTimer_.setInterval(server_->Config().idleTimeoutMs);
  connect(&idleTimer_, &QTimer::timeout, this, [this] { Close(QStringLiteral("silent client")); });
  lifeTimer_.setSingleShot(true);
  lifeTimer_.setInterval(server_->Config().sessionLimitMs);
  connect(&lifeTimer_, &QTimer::timeout, this,
          [this] { Close(QStringLiteral("conversation took too long")); });
}

ServerSession::~ServerSession() = default;

void ServerSession::Start() {
  connect(socket_, &QTcpSocket::readyRead, this, &ServerSession::OnReadyRead);
  connect(socket_, &QTcpSocket::disconnected, this, [this] {
    if (!closing_) Close(QStringLiteral("client closed the connection"));
  });
  Log(QStringLiteral("connected"));
  idleTimer_.start();
  lifeTimer_.start();
  Reply(211);
}

void ServerSession::Log(const QString& text) const {
  server_->Log(QStringLiteral("[#%1 %2] %3").arg(number_).arg(peerText_, text));
}

void ServerSession::OnReadyRead() {
  if (closing_) return;
  buffer_.append(socket_->readAll());
  for (const QByteArray& raw : TakeLines(buffer_)) {
    if (raw.size() > kMaxLineBytes) {
      Close(QStringLiteral("line too long"));
      return;
    }
    pending_.append(cp932::toUnicode(raw));
  }
  if (buffer_.size() > kMaxLineBytes) {
    Close(QStringLiteral("line too long"));
    return;
  }
  if (!waiting_) idleTimer_.start();
  Pump();
}

void ServerSession::Pump() {
  while (!waiting_ && !closing_ && !pending_.isEmpty()) Handle(pending_.takeFirst());
}

void ServerSession::Reply(int code, const QString& args) {
  if (closing_) return;
  const QString line = ResponseLine(code, args);
  if (code == 237 || code == 244)  // carries a private key: not for the log
    Log(QStringLiteral("<- %1 1 (peer key)").arg(code));
  else
    Log(QStringLiteral("<- ") + (line.size() > 160 ? line.left(160) + QStringLiteral("...") : line));
  socket_->write(cp932::fromUnicode(line) + "\r\n");
}

void ServerSession::Refuse(const QString& why) {
  Log(QStringLiteral("refused: ") + why);
  Reply(293);
  if (++refusals_ >= kMaxRefusals) Close(QStringLiteral("too many refused requests"));
}

void ServerSession::Close(const QString& why) {
  if (closing_) return;
  closing_ = true;
  idleTimer_.stop();
  lifeTimer_.stop();
  Log(QStringLiteral("closing: ") + why);
  socket_->disconnect(this);
  // Answers already written go out before the connection closes.
  connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
  socket_->disconnectFromHost();
  if (socket_->state() == QAbstractSocket::UnconnectedState) deleteLater();
  else QTimer::singleShot(5000, this, [this] {
    socket_->abort();
    deleteLater();
  });
  emit Closed();
}

bool ServerSession::Owns(qint32 id) const {
  const PeerRecord* r = server_->Registry().Find(id);
  return r && r->address.isEqual(peerAddress_, QHostAddress::ConvertV4MappedToIPv4);
}

std::optional<qint32> ServerSession::OwnedId(const QString& field, const QString& what) {
  const auto id = ParseUInt(field, 2147483647);
  if (!id) {
    Refuse(what + QStringLiteral(": peer ID is not a number"));
    return std::nullopt;
  }
  if (!Owns(static_cast<qint32>(*id))) {
    Refuse(what + QStringLiteral(": peer ") + field + QStringLiteral(" is not registered here"));
    return std::nullopt;
  }
  return static_cast<qint32>(*id);
}

void ServerSession::Handle(const QString& line) {
  Log(QStringLiteral("-> ") + (line.size() > 160 ? line.left(160) + QStringLiteral("...") : line));
  const auto parsed = ParseRequest(line);
  if (!parsed) {
    Refuse(QStringLiteral("malformed line"));
    return;
  }
  const Request& r = *parsed;
  if (!versionOk_ && r.code != 131) {
    Refuse(QStringLiteral("request before the version announcement"));
    return;
  }
  const auto argc = r.args.size();
  switch (r.code) {
    case 131: OnVersion(r); return;
    case 113:
      if (r.hasArgs) return Refuse(QStringLiteral("113 takes no arguments"));
      OnTemporaryId(r);
      return;
    case 114:
      if (argc != 2) return Refuse(QStringLiteral("114 needs ID and port"));
      OnPortCheck(r);
      return;
    case 115:
      if (argc != 1) return Refuse(QStringLiteral("115 needs the peer ID"));
      OnPeerList(r);
      return;
    case 155: OnLinkedPeers(r); return;
    case 116:
      if (argc != 5) return Refuse(QStringLiteral("116 needs five arguments"));
      OnFinalAssignment(r);
      return;
    case 117:
      if (argc != 1) return Refuse(QStringLiteral("117 needs the peer ID"));
      OnPeerKey(r, 237);
      return;
    case 124:
      if (argc != 2) return Refuse(QStringLiteral("124 needs ID and private key"));
      OnPeerKey(r, 244);
      return;
    case 127:
      if (r.hasArgs) return Refuse(QStringLiteral("127 takes no arguments"));
      Reply(247, server_->RegionCountArgument());
      return;
    case 118:
      if (r.hasArgs) return Refuse(QStringLiteral("118 takes no arguments"));
      Reply(238, ExpiryText(ProtocolTimeNow()));
      return;
    case 119:
      Reply(239);
      Close(QStringLiteral("conversation complete"));
      return;
    case 123:
      if (argc != 2) return Refuse(QStringLiteral("123 needs ID and connected count"));
      OnEcho(r);
      return;
    case 128:
      if (argc != 2) return Refuse(QStringLiteral("128 needs ID and private key"));
      OnLeave(r);
      return;
    case 192:
      // The client finds this server too old; nothing more to say.
      Close(QStringLiteral("client refused the server version"));
      return;
    default:
      Refuse(QStringLiteral("unknown request ") + QString::number(r.code));
  }
}

void ServerSession::OnVersion(const Request& r) {
  const auto version = ParseVersion(r.args.value(0));
  if (!r.hasArgs || !version) {
    Refuse(QStringLiteral("version announcement without a version"));
    return;
  }
  if (*version < kLowestProtocolVersion) {
    Reply(292);
    Close(QStringLiteral("client protocol ") + r.args.value(0) + QStringLiteral(" is too old"));
    return;
  }
  versionOk_ = true;
  Log(QStringLiteral("client ") + r.args.join(u':'));
  Reply(212, QString::fromLatin1(kServerProtocolVersion));
}

void ServerSession::OnTemporaryId(const Request&) {
  if (temporaryId_ != 0) {
    Refuse(QStringLiteral("second ID request on one connection"));
    return;
  }
  temporaryId_ = server_->Registry().AddTemporary(peerAddress_, server_->NowMs());
  peerId_ = temporaryId_;
  Log(QStringLiteral("temporary ID %1").arg(temporaryId_));
  Reply(233, QString::number(temporaryId_));
}

void ServerSession::OnPortCheck(const Request& r) {
  const auto id = OwnedId(r.args[0], QStringLiteral("114"));
  if (!id) return;
  const auto port = ParseUInt(r.args[1], 65535);
  if (!port || *port == 0) {
    Refuse(QStringLiteral("114: bad port"));
    return;
  }
  peerId_ = *id;
  waiting_ = true;
  idleTimer_.stop();  // the client rightly waits for the answer
  auto* probe = new PortProbe(peerAddress_, static_cast<quint16>(*port), server_->SourceAddress(),
                              server_->Config().portCheckTimeoutMs, this);
  const qint32 peer = *id;
  const quint16 p = static_cast<quint16>(*port);
  connect(probe, &PortProbe::Finished, this, [this, probe, peer, p](bool reachable) {
    probe->deleteLater();
    server_->Registry().SetPortCheck(peer, p, reachable);
    Log(QStringLiteral("port %1 %2").arg(p).arg(reachable ? QStringLiteral("reachable")
                                                         : QStringLiteral("not reachable")));
    waiting_ = false;
    idleTimer_.start();
    Reply(234, reachable ? QStringLiteral("1") : QStringLiteral("0"));
    Pump();
  });
  probe->Start();
}

void ServerSession::OnPeerList(const Request& r) {
  const auto id = OwnedId(r.args[0], QStringLiteral("115"));
  if (!id) return;
  peerId_ = *id;
  QStringList entries;
  for (const PeerRecord& p :
       server_->Registry().RandomReachable(server_->Config().peerListSize, *id))
    entries.append(p.address.toString() + u',' + QString::number(p.listenPort) + u',' +
                   QString::number(p.id));
  Reply(235, entries.join(u':'));
}

void ServerSession::OnLinkedPeers(const Request& r) {
  if (peerId_ == 0 || !Owns(peerId_)) {
    Refuse(QStringLiteral("155 from a connection that speaks for no peer"));
    return;
  }
  QList<qint32> ids;
  if (r.hasArgs) {
    for (const QString& s : r.args) {
      const auto id = ParseUInt(s.trimmed(), 2147483647);
      if (!id) {
        Refuse(QStringLiteral("155: peer ID is not a number"));
        return;
      }
      ids.append(static_cast<qint32>(*id));
    }
  }
  server_->Registry().SetLinkedPeers(peerId_, ids);
  Log(QStringLiteral("linked to %1 peer(s)").arg(ids.size()));
}

void ServerSession::OnFinalAssignment(const Request& r) {
  const auto id = OwnedId(r.args[0], QStringLiteral("116"));
  if (!id) return;
  if (*id != temporaryId_) {
    Refuse(QStringLiteral("116 for an ID not handed out on this connection"));
    return;
  }
  const auto port = ParseUInt(r.args[1], 65535);
  const auto area = ParseUInt(r.args[2], 999);
  const auto connected = ParseUInt(r.args[3], 255);
  const auto maxPeers = ParseUInt(r.args[4], 255);
  if (!port || *port == 0 || !area || *area == 0 || !connected || !maxPeers) {
    Refuse(QStringLiteral("116: bad port, area, count or slot number"));
    return;
  }
  server_->Registry().Join(*id, static_cast<quint16>(*port), static_cast<int>(*area),
                           static_cast<int>(*connected), static_cast<int>(*maxPeers),
                           server_->NowMs());
  Log(QStringLiteral("peer %1 joined (area %2, %3 linked)")
          .arg(*id)
          .arg(*area, 3, 10, QLatin1Char('0'))
          .arg(*connected));
  Reply(236, QString::number(server_->Registry().JoinedCount()));
}

void ServerSession::OnPeerKey(const Request& r, int responseCode) {
  const auto id = OwnedId(r.args[0], QString::number(r.code));
  if (!id) return;
  PeerRecord* rec = server_->Registry().Find(*id);
  if (!rec->joined) {
    Refuse(QStringLiteral("key request before the final assignment"));
    return;
  }
  // A re-key proves itself with the key it replaces.
  if (responseCode == 244 && !rec->issuedPrivateKey.isEmpty() &&
      r.args[1] != rec->issuedPrivateKey) {
    Refuse(QStringLiteral("124 with a key this server did not issue to the peer"));
    return;
  }
  peerId_ = *id;
  const auto grant = server_->GrantPeerKey();
  if (!grant) {
    Log(QStringLiteral("no peer key available"));
    Reply(295);
    return;
  }
  rec->issuedPrivateKey = grant->privateKey;
  Log(QStringLiteral("peer key until ") + grant->expiryText);
  Reply(responseCode, grant->privateKey + u':' + grant->publicKey + u':' + grant->expiryText +
                          u':' + grant->signature);
}

void ServerSession::OnEcho(const Request& r) {
  const auto id = ParseUInt(r.args[0], 2147483647);
  const auto connected = ParseUInt(r.args[1], 255);
  if (!id || !connected) {
    Refuse(QStringLiteral("123: bad ID or count"));
    return;
  }
  const PeerRecord* rec = server_->Registry().Find(static_cast<qint32>(*id));
  if (!rec || !rec->joined || !Owns(static_cast<qint32>(*id))) {
    // Unknown here (expired, or the address moved): the peer must join again.
    Log(QStringLiteral("echo from unregistered peer ") + r.args[0]);
    Reply(299);
    return;
  }
  peerId_ = static_cast<qint32>(*id);
  server_->Registry().Echo(peerId_, static_cast<int>(*connected), server_->NowMs());
  Reply(243);
}

void ServerSession::OnLeave(const Request& r) {
  const auto id = OwnedId(r.args[0], QStringLiteral("128"));
  if (!id) return;
  const PeerRecord* rec = server_->Registry().Find(*id);
  if (!rec->issuedPrivateKey.isEmpty() && r.args[1] != rec->issuedPrivateKey) {
    Refuse(QStringLiteral("128 with a key this server did not issue to the peer"));
    return;
  }
  server_->Registry().Remove(*id);
  Log(QStringLiteral("peer %1 left").arg(*id));
  Reply(239);
  Close(QStringLiteral("peer left"));
}

}  // namespace orva::devnet
