#include "peer_harness.h"

#include <QElapsedTimer>
#include <QFile>

#include "client/signed/built_in_keys.h"
#include "platform/cp932.h"
#include "platform/timing.h"

namespace orva::test {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    ProcessEventsAndSleep(2);
  }
  return true;
}

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) ProcessEventsAndSleep(2);
}

ItemSigner::ItemSigner() {
  QFile f(QStringLiteral(ORVA_SOURCE_DIR "/devnet/keys/server_data.key"));
  if (f.open(QIODevice::ReadOnly)) key_ = crypto::PrivateKey::FromText(f.readAll().trimmed());
}

QString ItemSigner::Sign(const QString& data, int minutes) const {
  const QString expiry = FormatExpiryText(QDateTime::currentDateTime().addSecs(60LL * minutes));
  const QByteArray message =
      crypto::ConcatBytes(cp932::fromUnicode(expiry), crypto::Md5(cp932::fromUnicode(data)));
  return QString::fromLatin1(crypto::Base64Encode(key_->Sign(message))) + QLatin1Char(':') + expiry;
}

QString ItemSigner::Quake(const QString& header, const QString& points, int hops) const {
  return QStringLiteral("551 %1 %2:%3:%4").arg(hops).arg(Sign(header + points), header, points);
}

TestPeer::TestPeer(const QString& addr, qint32 ownId) : address(addr), id(ownId) {
  ctx.programFolder = QStringLiteral("/tmp/");
  ctx.settings.Peer_Socket = 7;
  ctx.settings.Peer_Timeout = 1000;
  ctx.net.ownPeerId = ownId;
  ctx.log.SetLevel(0);
  ctx.log.SetEcho([this](const QString& entry) { log << entry.mid(entry.indexOf(QLatin1Char('|')) + 1); });
  profile = ClientNetworkProfile();
  links = std::make_unique<PeerLinks>(ctx, profile);
  links->SetLocalAddress(QHostAddress(address));
  links->SetClock([this] { return nowMs; });
  links->CreateSlots();
  if (links->StartListening(0) == 0) port = links->ListeningPort();
  signedData = std::make_unique<SignedData>(ctx, ClientServerKeys());
  relay = std::make_unique<PeerRelay>(ctx, profile, *links, *signedData);
  RelayHooks& h = relay->Hooks();
  h.itemAccepted = [this](int code, qint64 hops, const QString& rest, int slot) {
    accepted.push_back({code, hops, rest, slot});
  };
  h.quakeAccepted = [this](const QString& header, const QString& points) { quakes << header + u'|' + points; };
  h.sendToPlugins = [this](const QString& text, bool) { plugins << text; };
}

TestPeer::~TestPeer() {
  relay.reset();
  links.reset();
}

QString TestPeer::Entry() const { return QStringLiteral("%1,%2,%3").arg(address).arg(port).arg(id); }

int TestPeer::CompleteLinks() const {
  int n = 0;
  for (int s = 1; s <= links->SlotCount(); ++s) n += links->IsComplete(s) ? 1 : 0;
  return n;
}

int TestPeer::SlotOf(quint32 remote) const {
  for (int s = 1; s <= links->SlotCount(); ++s) {
    if (links->InUse(s) && links->RemotePeerId(s) == remote) return s;
  }
  return 0;
}

bool Link(TestPeer& child, TestPeer& parent) {
  const int childBefore = child.CompleteLinks();
  const int parentBefore = parent.CompleteLinks();
  child.links->ConnectToPeers({parent.Entry()});
  return WaitUntil([&] {
    return child.CompleteLinks() > childBefore && parent.CompleteLinks() > parentBefore;
  });
}

ScriptedPeer::ScriptedPeer(QTcpSocket* accepted) : socket_(accepted) {}

bool ScriptedPeer::Connect(const QString& from, const QString& to, quint16 port) {
  socket_->bind(QHostAddress(from), 0);
  socket_->connectToHost(QHostAddress(to), port);
  WaitUntil([this] {
    return socket_->state() == QAbstractSocket::ConnectedState ||
           socket_->state() == QAbstractSocket::UnconnectedState;
  });
  return socket_->state() == QAbstractSocket::ConnectedState;
}

void ScriptedPeer::Send(const QString& line) { SendRaw(cp932::fromUnicode(line) + "\r\n"); }

void ScriptedPeer::SendRaw(const QByteArray& bytes) {
  socket_->write(bytes);
  socket_->flush();
}

void ScriptedPeer::Pull() {
  buffer_ += socket_->readAll();
  for (qsizetype end; (end = buffer_.indexOf("\r\n")) >= 0;) {
    lines_ << cp932::toUnicode(buffer_.left(end));
    buffer_.remove(0, end + 2);
  }
}

std::optional<QString> ScriptedPeer::Line(int ms) {
  WaitUntil(
      [this] {
        Pull();
        return !lines_.isEmpty() || socket_->state() == QAbstractSocket::UnconnectedState;
      },
      ms);
  Pull();
  if (lines_.isEmpty()) return std::nullopt;
  return lines_.takeFirst();
}

QStringList ScriptedPeer::Drain(int settleMs) {
  Pump(settleMs);
  Pull();
  QStringList out = lines_;
  lines_.clear();
  return out;
}

bool ScriptedPeer::Closed(int ms) {
  return WaitUntil(
      [this] {
        Pull();
        return socket_->state() == QAbstractSocket::UnconnectedState;
      },
      ms);
}

bool ScriptedPeer::CompleteAsChild(qint32 ownId) {
  const auto greeting = Line();
  if (!greeting || !greeting->startsWith(QStringLiteral("614 1 "))) return false;
  Send(QStringLiteral("634 1 0.32:Scripted:Test"));
  const auto ack = Line();
  if (!ack || *ack != QStringLiteral("612 1")) return false;
  Send(QStringLiteral("632 1 %1").arg(ownId));
  Pump(50);
  return true;
}

ScriptedParent::ScriptedParent(const QString& address) : address_(address) {
  server_.listen(QHostAddress(address), 0);
}

QString ScriptedParent::Entry(qint32 id) const {
  return QStringLiteral("%1,%2,%3").arg(address_).arg(server_.serverPort()).arg(id);
}

ScriptedPeer* ScriptedParent::Accepted(int ms) {
  if (!server_.hasPendingConnections()) server_.waitForNewConnection(0);
  WaitUntil([this] { return server_.hasPendingConnections(); }, ms);
  QTcpSocket* s = server_.nextPendingConnection();
  if (!s) return nullptr;
  s->setParent(nullptr);
  peers_.push_back(std::make_unique<ScriptedPeer>(s));
  return peers_.back().get();
}

}  // namespace orva::test
