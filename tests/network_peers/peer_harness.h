#pragma once
// Nodes with real peer links on their own loopback addresses, and scripted
// peers that say exactly what a test wants, for the peer-link and relay
// tests. Every wait is bounded.
#include <QByteArray>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "client/core/node_context.h"
#include "client/network/network_profile.h"
#include "client/network/peer_links.h"
#include "client/network/peer_relay.h"
#include "client/signed/signed_data.h"

namespace orva::test {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
void Pump(int ms);

// Signs server items with the development network's data key.
class ItemSigner {
 public:
  ItemSigner();
  bool Ok() const { return key_.has_value(); }
  // "<signature>:<expiry>" for `data`, expiring `minutes` from now.
  QString Sign(const QString& data, int minutes = 10) const;
  // "551 <hops> sig:expiry:header:points".
  QString Quake(const QString& header, const QString& points, int hops = 1) const;

 private:
  std::optional<crypto::PrivateKey> key_;
};

struct AcceptedItem {
  int code;
  qint64 hops;
  QString rest;
  int slot;
};

// One node: context, peer links listening on `address`, signed data, relay.
struct TestPeer {
  TestPeer(const QString& address, qint32 ownId);
  ~TestPeer();

  QString Entry() const;  // "address,port,ownId"
  bool Logged(const QString& text) const { return log.contains(text); }
  int CompleteLinks() const;
  // Slot whose remote peer ID is `id`, 0 when none.
  int SlotOf(quint32 id) const;

  QString address;
  qint32 id;
  quint16 port = 0;
  qint64 nowMs = 1000000;  // the links' clock
  NodeContext ctx;
  NetworkProfile profile;
  std::unique_ptr<PeerLinks> links;
  std::unique_ptr<SignedData> signedData;
  std::unique_ptr<PeerRelay> relay;
  QStringList log;  // entry texts, oldest first
  std::vector<AcceptedItem> accepted;
  QStringList quakes;   // "header|points" handed to the quake owner
  QStringList plugins;  // lines to the plugins
};

// `child` links to `parent` through ConnectToPeers; true once both ends
// are complete.
bool Link(TestPeer& child, TestPeer& parent);

// A hand-driven peer on a raw socket.
class ScriptedPeer {
 public:
  ScriptedPeer() = default;
  explicit ScriptedPeer(QTcpSocket* accepted);
  // Connects from `from` to `to:port`; true once connected.
  bool Connect(const QString& from, const QString& to, quint16 port);
  void Send(const QString& line);  // + CR LF in code page 932
  void SendRaw(const QByteArray& bytes);
  // Waits for the next whole line; nullopt on time-out or close.
  std::optional<QString> Line(int ms = 3000);
  // Every line received so far (and not yet taken by Line()).
  QStringList Drain(int settleMs = 150);
  // True once the other side closed (waits up to `ms`).
  bool Closed(int ms = 3000);
  // Child side of the handshake after the node's "614": 634, 612, 632.
  bool CompleteAsChild(qint32 ownId);
  QTcpSocket& Socket() { return *socket_; }

 private:
  void Pull();
  std::unique_ptr<QTcpSocket> socket_ = std::make_unique<QTcpSocket>();
  QByteArray buffer_;
  QStringList lines_;
};

// A listening scripted peer that a node connects to (the node is the child).
class ScriptedParent {
 public:
  explicit ScriptedParent(const QString& address);
  quint16 Port() const { return server_.serverPort(); }
  QString Entry(qint32 id) const;
  // Waits for the node's connection.
  ScriptedPeer* Accepted(int ms = 3000);

 private:
  QString address_;
  QTcpServer server_;
  std::vector<std::unique_ptr<ScriptedPeer>> peers_;
};

}  // namespace orva::test
