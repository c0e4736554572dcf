#include "devnet/server/registry.h"

#include <algorithm>

namespace orva::devnet {

PeerRegistry::PeerRegistry(quint32 seed) : rng_(seed) {
  // IDs start somewhere in a wide range so that IDs of one run are not
  // mistaken for those of another after a restart.
  nextId_ = 1000 + static_cast<qint32>(rng_.bounded(9000)) * 1000;
}

qint32 PeerRegistry::ReserveId() { return nextId_++; }

qint32 PeerRegistry::AddTemporary(const QHostAddress& address, qint64 nowMs) {
  if (nextId_ >= 2147480000) nextId_ = 1000;
  while (peers_.contains(nextId_)) ++nextId_;
  PeerRecord r;
  r.id = nextId_++;
  r.address = address;
  r.lastSeenMs = nowMs;
  peers_.insert(r.id, r);
  return r.id;
}

PeerRecord* PeerRegistry::Find(qint32 id) {
  auto it = peers_.find(id);
  return it == peers_.end() ? nullptr : &it.value();
}

const PeerRecord* PeerRegistry::Find(qint32 id) const {
  auto it = peers_.constFind(id);
  return it == peers_.constEnd() ? nullptr : &it.value();
}

void PeerRegistry::SetPortCheck(qint32 id, quint16 port, bool reachable) {
  if (PeerRecord* r = Find(id)) {
    r->listenPort = port;
    r->reachable = reachable;
  }
}

bool PeerRegistry::Join(qint32 id, quint16 port, int areaCode, int connected, int maxPeers,
                        qint64 nowMs) {
  PeerRecord* r = Find(id);
  if (!r) return false;
  // A port other than the one that was checked has not been checked.
  if (r->listenPort != port) r->reachable = false;
  r->listenPort = port;
  r->joined = true;
  // A peer that joins again from the same address and port (a restart
  // without leave) replaces its old registration.
  for (auto it = peers_.begin(); it != peers_.end();) {
    if (it.key() != id && it->listenPort == port &&
        it->address.isEqual(r->address, QHostAddress::ConvertV4MappedToIPv4))
      it = peers_.erase(it);
    else
      ++it;
  }
  r = Find(id);
  r->areaCode = areaCode;
  r->connected = connected;
  r->maxPeers = maxPeers;
  r->lastSeenMs = nowMs;
  return true;
}

void PeerRegistry::SetLinkedPeers(qint32 id, QList<qint32> peers) {
  if (PeerRecord* r = Find(id)) r->linkedPeers = std::move(peers);
}

bool PeerRegistry::Echo(qint32 id, int connected, qint64 nowMs) {
  PeerRecord* r = Find(id);
  if (!r || !r->joined) return false;
  r->connected = connected;
  r->lastSeenMs = nowMs;
  return true;
}

bool PeerRegistry::Remove(qint32 id) { return peers_.remove(id) > 0; }

QList<qint32> PeerRegistry::Expire(qint64 nowMs) {
  QList<qint32> gone;
  for (auto it = peers_.begin(); it != peers_.end();) {
    const qint64 life = it->joined ? kJoinedLifetimeMs : kTemporaryLifetimeMs;
    if (nowMs - it->lastSeenMs >= life) {
      gone.append(it.key());
      it = peers_.erase(it);
    } else {
      ++it;
    }
  }
  return gone;
}

QList<PeerRecord> PeerRegistry::RandomReachable(int count, qint32 exclude) {
  QList<PeerRecord> pool;
  for (const PeerRecord& r : std::as_const(peers_))
    if (r.joined && r.reachable && r.id != exclude) pool.append(r);
  // Partial Fisher-Yates: the first `count` places get a random choice.
  const int n = static_cast<int>(pool.size());
  const int take = std::min(count, n);
  for (int i = 0; i < take; ++i) {
    const int j = i + static_cast<int>(rng_.bounded(n - i));
    std::swap(pool[i], pool[j]);
  }
  pool.resize(take);
  return pool;
}

int PeerRegistry::JoinedCount() const {
  return static_cast<int>(std::count_if(peers_.begin(), peers_.end(),
                                        [](const PeerRecord& r) { return r.joined; }));
}

int PeerRegistry::ReachableCount() const {
  return static_cast<int>(std::count_if(peers_.begin(), peers_.end(), [](const PeerRecord& r) {
    return r.joined && r.reachable;
  }));
}

QString PeerRegistry::RegionCountList() const {
  QMap<int, int> counts;
  for (const PeerRecord& r : peers_)
    if (r.joined) ++counts[r.areaCode];
  QStringList pairs;
  for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
    pairs.append(QString::number(it.key()).rightJustified(3, u'0') + u',' +
                 QString::number(it.value()));
  return pairs.join(u';');
}

}  // namespace orva::devnet
