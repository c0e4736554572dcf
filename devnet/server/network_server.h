#pragma once
// The development network server: the client conversation on its TCP port,
// the registry of joined peers, the injection of signed items into the peer
// network and the loopback admin endpoint, all on one event loop.
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "devnet/server/item_signer.h"
#include "devnet/server/registry.h"

class QTcpServer;

namespace orva::devnet {

class AdminEndpoint;

struct ServerConfig {
  QHostAddress bindAddress = QHostAddress::AnyIPv4;
  // Local address of the connections the server opens (port check,
  // injection); null: the bind address when it is a single address.
  // Peers refuse links that come from 127.0.0.1.
  QHostAddress sourceAddress;
  quint16 port = 6910;          // 0: any free port (tests)
  bool adminEnabled = true;
  quint16 adminPort = 6920;     // on 127.0.0.1 only; 0: any free port
  QString keyDir;
  int idleTimeoutMs = 30000;    // a client that sends nothing for this long is dropped
  int sessionLimitMs = 120000;  // no conversation runs longer
  int portCheckTimeoutMs = 5000;
  int injectTimeoutMs = 10000;
  int peerListSize = 4;         // entries in a peer list (235)
  int fanout = 3;               // peers that receive an injected item
  int itemLifetimeSec = 300;    // expiry of injected items
  int keyLifetimeSec = 3600;    // expiry of peer keys
  int regionIntervalMs = 600000;  // periodic region-count item; 0: never
  int sweepIntervalMs = 60000;  // registry expiry sweep
  bool quiet = false;           // no log output (tests)
};

struct PublishResult {
  bool ok = false;
  QString error;       // when not ok
  QString line;        // the line put onto the network
  QString expiryText;
  int delivered = 0;
  QStringList reached;  // host:port of peers that took it
  QStringList failures; // host:port and reason
};

class NetworkServer : public QObject {
  Q_OBJECT
 public:
  explicit NetworkServer(ServerConfig config, QObject* parent = nullptr);
  ~NetworkServer() override;

  bool Start(QString* error);
  quint16 Port() const;
  quint16 AdminPort() const;

  const ServerConfig& Config() const { return config_; }
  PeerRegistry& Registry() { return registry_; }
  qint64 NowMs() const { return clock_.elapsed() + clockShiftMs_; }
  // Moves the registry clock forward (tests of expiry).
  void ShiftClock(qint64 ms) { clockShiftMs_ += ms; }
  void SweepRegistry();

  void Log(const QString& text) const;
  // Local address for connections the server opens (port check, injection).
  QHostAddress SourceAddress() const;
  qint32 ServerPeerId() const { return serverPeerId_; }

  QString RegionCountArgument() const;
  std::optional<PeerKeyGrant> GrantPeerKey();
  bool CanSign() const { return signer_ && signer_->CanSignData(); }

  using PublishDone = std::function<void(const PublishResult&)>;
  // 551 (fields: header, point list), 552 and 561 (fields: data). Signs,
  // then delivers to up to `fanout` reachable peers.
  void Publish(int code, const QStringList& fields, PublishDone done);
  void PublishRegionCounts(PublishDone done);

 private:
  void OnNewConnection();
  struct Delivery;
  void LaunchNext(const std::shared_ptr<Delivery>& d);

  ServerConfig config_;
  PeerRegistry registry_;
  std::unique_ptr<ItemSigner> signer_;
  QTcpServer* listener_ = nullptr;
  AdminEndpoint* admin_ = nullptr;
  QTimer sweepTimer_;
  QTimer regionTimer_;
  QElapsedTimer clock_;
  qint64 clockShiftMs_ = 0;
  quint64 sessionCount_ = 0;
  qint32 serverPeerId_ = 0;
};

}  // namespace orva::devnet
