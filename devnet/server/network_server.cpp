#include "devnet/server/network_server.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>

#include "devnet/server/admin_endpoint.h"
#include "devnet/server/peer_injector.h"
#include "devnet/server/session.h"
#include "devnet/server/wire.h"
#include "platform/cp932.h"

namespace orva::devnet {

NetworkServer::NetworkServer(ServerConfig config, QObject* parent)
    : QObject(parent), config_(std::move(config)) {
  clock_.start();
  serverPeerId_ = registry_.ReserveId();
}

NetworkServer::~NetworkServer() = default;

void NetworkServer::Log(const QString& text) const {
  if (config_.quiet) return;
  const QString line = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + text;
  std::fputs(line.toUtf8().constData(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool NetworkServer::Start(QString* error) {
  QString problems;
  signer_ = ItemSigner::Load(config_.keyDir, &problems);
  if (!problems.isEmpty()) Log(QStringLiteral("keys: ") + problems);

  listener_ = new QTcpServer(this);
  if (!listener_->listen(config_.bindAddress, config_.port)) {
    if (error)
      *error = QStringLiteral("cannot listen on %1:%2: %3")
                   .arg(config_.bindAddress.toString())
                   .arg(config_.port)
                   .arg(listener_->errorString());
    return false;
  }
  connect(listener_, &QTcpServer::newConnection, this, &NetworkServer::OnNewConnection);
  Log(QStringLiteral("listening on %1:%2").arg(config_.bindAddress.toString()).arg(Port()));

  if (config_.adminEnabled) {
    admin_ = new AdminEndpoint(this);
    if (!admin_->Listen(config_.adminPort, error)) return false;
    Log(QStringLiteral("admin endpoint on 127.0.0.1:%1").arg(AdminPort()));
  }

  connect(&sweepTimer_, &QTimer::timeout, this, &NetworkServer::SweepRegistry);
  sweepTimer_.start(config_.sweepIntervalMs);
  if (config_.regionIntervalMs > 0) {
    connect(&regionTimer_, &QTimer::timeout, this, [this] {
      if (registry_.ReachableCount() == 0 || !CanSign()) return;
      PublishRegionCounts([this](const PublishResult& r) {
        Log(QStringLiteral("periodic region counts: %1 peer(s) reached").arg(r.delivered));
      });
    });
    regionTimer_.start(config_.regionIntervalMs);
  }
  return true;
}

quint16 NetworkServer::Port() const { return listener_ ? listener_->serverPort() : 0; }

quint16 NetworkServer::AdminPort() const { return admin_ ? admin_->Port() : 0; }

QHostAddress NetworkServer::SourceAddress() const {
  if (!config_.sourceAddress.isNull()) return config_.sourceAddress;
  const QHostAddress& a = config_.bindAddress;
  if (a == QHostAddress::Any || a == QHostAddress::AnyIPv4 || a == QHostAddress::AnyIPv6)
    return QHostAddress();
  return a;
}

void NetworkServer::OnNewConnection() {
  while (QTcpSocket* socket = listener_->nextPendingConnection()) {
    auto* session = new ServerSession(socket, this, ++sessionCount_);
    session->Start();
  }
}

void NetworkServer::SweepRegistry() {
  for (qint32 id : registry_.Expire(NowMs()))
    Log(QStringLiteral("peer %1 expired (no echo)").arg(id));
}

QString NetworkServer::RegionCountArgument() const {
  const QString list = registry_.RegionCountList();
  // An empty argument would read as no argument at all; "region not set,
  // no peers" says the same and keeps the conversation going.
  return list.isEmpty() ? QStringLiteral("900,0") : list;
}

std::optional<PeerKeyGrant> NetworkServer::GrantPeerKey() {
  if (!signer_ || !signer_->CanGrantKeys()) return std::nullopt;
  return signer_->GrantPeerKey(
      ExpiryText(ProtocolTimeNow().addSecs(config_.keyLifetimeSec)));
}

struct NetworkServer::Delivery {
  QByteArray line;
  QList<PeerRecord> candidates;
  int next = 0;
  int running = 0;
  PublishResult result;
  PublishDone done;
};

void NetworkServer::Publish(int code, const QStringList& fields, PublishDone done) {
  PublishResult result;
  auto fail = [&](const QString& why) {
    result.error = why;
    Log(QStringLiteral("publish %1 refused: %2").arg(code).arg(why));
    done(result);
  };
  const int wanted = code == 551 ? 2 : 1;
  if ((code != 551 && code != 552 && code != 561) || fields.size() != wanted)
    return fail(QStringLiteral("unknown item kind or wrong field count"));
  for (const QString& f : fields)
    if (f.contains(u':') || f.contains(u'\r') || f.contains(u'\n'))
      return fail(QStringLiteral("fields must not contain ':' or line breaks"));
  if (!CanSign()) return fail(QStringLiteral("no data key: cannot sign"));

  const QString data = fields.join(QString());
  const QString expiry = ExpiryText(ProtocolTimeNow().addSecs(config_.itemLifetimeSec));
  const auto signature = signer_->SignData(data, expiry);
  if (!signature) return fail(QStringLiteral("signing failed"));

  auto d = std::make_shared<Delivery>();
  result.ok = true;
  result.expiryText = expiry;
  result.line = QString::number(code) + QStringLiteral(" 1 ") + *signature + u':' + expiry + u':' +
                fields.join(u':');
  d->line = cp932::fromUnicode(result.line);
  d->result = result;
  d->done = std::move(done);
  d->candidates = registry_.RandomReachable(1 << 30);
  Log(QStringLiteral("publishing %1 (expiry %2) to up to %3 of %4 reachable peer(s)")
          .arg(code)
          .arg(expiry)
          .arg(config_.fanout)
          .arg(d->candidates.size()));
  if (d->candidates.isEmpty()) {
    d->done(d->result);
    return;
  }
  for (int i = 0; i < config_.fanout && i < d->candidates.size(); ++i) LaunchNext(d);
}

void NetworkServer::LaunchNext(const std::shared_ptr<Delivery>& d) {
  if (d->next >= d->candidates.size() || d->result.delivered + d->running >= config_.fanout) {
    if (d->running == 0 && d->done) {
      Log(QStringLiteral("published to %1 peer(s)").arg(d->result.delivered));
      auto done = std::move(d->done);
      d->done = nullptr;
      done(d->result);
    }
    return;
  }
  const PeerRecord peer = d->candidates[d->next++];
  ++d->running;
  auto* injector = new PeerInjector(peer.address, peer.listenPort, SourceAddress(), serverPeerId_,
                                    {d->line}, config_.injectTimeoutMs, this);
  connect(injector, &PeerInjector::Finished, this,
          [this, d, injector, id = peer.id](bool delivered, const QString& reason) {
            injector->deleteLater();
            --d->running;
            if (delivered) {
              ++d->result.delivered;
              d->result.reached.append(injector->Target());
              Log(QStringLiteral("delivered to peer %1 at %2").arg(id).arg(injector->Target()));
            } else {
              d->result.failures.append(injector->Target() + QStringLiteral(" ") + reason);
              Log(QStringLiteral("delivery to peer %1 at %2 failed: %3")
                      .arg(id)
                      .arg(injector->Target(), reason));
            }
            LaunchNext(d);
          });
  injector->Start();
}

void NetworkServer::PublishRegionCounts(PublishDone done) {
  Publish(561, {registry_.RegionCountList().isEmpty() ? QStringLiteral("900,0")
                                                        : registry_.RegionCountList()},
          std::move(done));
}

}  // namespace orva::devnet
