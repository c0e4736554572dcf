#pragma once
// Peer echo: a probe (615 "origin:key") floods the peer network; every peer
// it reaches answers (635 "origin:key:own ID:linked IDs:hops") on the link
// the probe came from, and the answers travel back along the probe's path.
// This client forwards and answers the probes of others; it starts none.
//
// The echo table remembers the 200 newest probes (origin, key, arrival
// link, last ten responders passed back). The relay asks it what to do.
#include <QString>

#include <array>
#include <deque>

#include "client/core/node_context.h"

namespace orva {

class PeerLinks;

class PeerEcho {
 public:
  static constexpr int kEntries = 200;
  static constexpr int kResponders = 10;

  PeerEcho(NodeContext& ctx, PeerLinks& links);

  // The probe decision: true (and remembered with its arrival slot) when
  // no entry with this origin and key exists; false for a copy.
  bool AcceptProbe(qint32 origin, const QString& key, int slot);

  // The answer to a probe received with hop field `hopsReceived`:
  // "635 1 origin:key:own ID:linked IDs joined by ',':hopsReceived".
  QString AnswerLine(qint32 origin, const QString& key, qint64 hopsReceived) const;

  // Where an answer of `responder` to the probe (origin, key) goes back:
  // the probe's arrival slot, or 0 to drop it (unknown probe, or this
  // responder's answer was passed back already).
  int ReturnSlot(qint32 origin, const QString& key, qint32 responder, int arrivalSlot);

  // The answer to this client's own probe: appends
  // "<seconds since local midnight>,<hopsReceived>,<rest>" CR LF to
  // DebugFolder() + "TESTER_yyyymmdd.txt". Throws NetError when the file
  // cannot be opened (the relay logs it).
  void RecordOwnReply(qint64 hopsReceived, const QString& rest);

  // "/tmp/Temp/" unless replaced (tests).
  void SetDebugFolder(const QString& folder) { debugFolder_ = folder; }
  QString DebugFolder() const { return debugFolder_; }

 private:
  struct Entry {
    qint32 origin = 0;
    QString key;
    int slot = 0;
    std::deque<qint32> responders;  // newest last, at most kResponders
  };

  NodeContext& ctx_;
  PeerLinks& links_;
  std::deque<Entry> table_;  // newest first, at most kEntries
  QString debugFolder_ = QStringLiteral("/tmp/Temp/");
};

}  // namespace orva
