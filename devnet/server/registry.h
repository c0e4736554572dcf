#pragma once
// The server's memory of the network: every peer that asked for an ID, and
// which of them have joined. Times are milliseconds of a monotonic clock
// handed in by the caller, so that expiry is testable without waiting.
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QRandomGenerator>
#include <QString>
#include <optional>

namespace orva::devnet {

struct PeerRecord {
  qint32 id = 0;
  QHostAddress address;
  quint16 listenPort = 0;
  bool reachable = false;  // the port check saw a greeting
  bool joined = false;     // 116 accepted
  int areaCode = 0;
  int connected = 0;
  int maxPeers = 0;
  QList<qint32> linkedPeers;  // as last reported by 155
  QString issuedPrivateKey;   // the last key handed to it (empty: none)
  qint64 lastSeenMs = 0;
};

class PeerRegistry {
 public:
  // A peer that has not echoed for this long is gone.
  static constexpr qint64 kJoinedLifetimeMs = 25LL * 60 * 1000;
  // An ID handed out by 113 but never confirmed by 116.
  static constexpr qint64 kTemporaryLifetimeMs = 3LL * 60 * 1000;

  explicit PeerRegistry(quint32 seed = QRandomGenerator::global()->generate());

  // Reserves an ID no peer will get (the server's own ID on peer links).
  qint32 ReserveId();
  // 113: a fresh temporary ID for a peer at `address`.
  qint32 AddTemporary(const QHostAddress& address, qint64 nowMs);
  PeerRecord* Find(qint32 id);
  const PeerRecord* Find(qint32 id) const;

  void SetPortCheck(qint32 id, quint16 port, bool reachable);
  // 116: confirms the ID; an older record of the same address and port goes.
  // Returns false when the ID is unknown.
  bool Join(qint32 id, quint16 port, int areaCode, int connected, int maxPeers, qint64 nowMs);
  void SetLinkedPeers(qint32 id, QList<qint32> peers);
  // 123: the echo. Returns false when the peer is not joined.
  bool Echo(qint32 id, int connected, qint64 nowMs);
  bool Remove(qint32 id);

  // Removes peers whose time is up; returns their IDs.
  QList<qint32> Expire(qint64 nowMs);

  // Up to `count` distinct joined, reachable peers other than `exclude`, in
  // random order.
  QList<PeerRecord> RandomReachable(int count, qint32 exclude = 0);

  int JoinedCount() const;
  int ReachableCount() const;
  // Joined peers per region, as "code,count;code,count" in code order,
  // codes written with three digits.
  QString RegionCountList() const;

 private:
  QMap<qint32, PeerRecord> peers_;
  qint32 nextId_ = 0;
  QRandomGenerator rng_;
};

}  // namespace orva::devnet
