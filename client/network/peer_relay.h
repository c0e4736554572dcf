#pragma once
// The relay of items between peers.
//
// An item is one line "<code> <hops> <field>:<field>:...". DispatchPeerItem
// takes every line a link received (handshake lines included): it adds one
// to the hop count, drops the line above the hop limit (the profile's
// withinHopLimit), checks the field count (a wrong count drops the sender's
// link), asks the payload's owner whether the item is new and valid, and on
// yes forwards it with the increased hop count to every other complete link
// and hands it to its owner.
//
// Client network codes and their owners:
//   551 quake bulletin (4 fields)   SignedData::AcceptServerItem kind 1;
//                                   then hooks.quakeAccepted(header, points)
//                                   (the quake owner tells the plugins
//                                   "QUAK ..." and presents it)
//   552 tsunami bulletin (3)        AcceptServerItem kind 2; then "TIDL " +
//                                   data to the plugins, and
//                                   hooks.showTsunami(data) when Tidal_View=1
//   555 user-quake report (6)       hooks.acceptUserQuake (unset: refused);
//                                   then hooks.countUserQuake(region) when
//                                   UQuake_View=1
//   556 bulletin-board item (6)     the 150-entry filter on field 1
//   561 region peer counts (3)      AcceptServerItem kind 3; then
//                                   Regions().ApplyRegionCounts(field 3)
//   615 echo probe (2), 635 echo answer (5)   Echo()
//
// Sending (wsPeer__SendData) is paced: every send waits 20 ms after the
// previous send of this node (and after the item was queued). The sends
// are queued and made by a timer, so the event loop never sleeps and a
// burst of items cannot nest forwarding passes inside each other. Whether a
// link gets the line is decided at the moment of its send: in use,
// complete and not the excluded slot. The queue holds at most
// kMaxQueuedLines lines; more are dropped with a level-2 log line.
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>

#include "client/core/node_context.h"
#include "client/network/network_profile.h"
#include "client/network/peer_echo.h"
#include "client/network/region_counts.h"

namespace orva {

class PeerLinks;
class SignedData;

// The list of the first fields of the last 150 bulletin items accepted.
class BulletinFilter {
 public:
  static constexpr int kEntries = 150;
  // True (and remembered) when `firstField` is not among the entries.
  bool Accept(const QString& firstField);

 private:
  std::deque<QString> entries_;  // newest first
};

// Hand-over of accepted items to their owners. Unset hooks do nothing.
struct RelayHooks {
  // 551, after forwarding: the handling of an accepted quake item.
  std::function<void(const QString& header, const QString& points)> quakeAccepted;
  // 552, after forwarding and the "TIDL " notice, when Tidal_View is 1.
  std::function<void(const QString& data)> showTsunami;
  // 555: AcceptUserQuake with the six fields. Unset: reports are refused.
  std::function<bool(const QStringList& fields)> acceptUserQuake;
  // 555, after forwarding, when UQuake_View is 1: CountUserQuake.
  std::function<void(int regionCode)> countUserQuake;
  // SendToPlugins(text, devOnly) of the plugin port ("TIDL ", "EEW").
  std::function<void(const QString& text, bool devOnly)> sendToPlugins;
  // Every accepted item, after its owner's hand-over: code, hops as
  // forwarded, rest, arrival slot (the simulator and diagnostics).
  std::function<void(int code, qint64 hops, const QString& rest, int slot)> itemAccepted;
};

class PeerRelay {
 public:
  static constexpr int kPauseMs = 20;
  static constexpr int kMaxQueuedLines = 2000;

  // Attaches itself to `links` as their line handler (detached again when
  // destroyed). The relayed codes are the profile's relayedCodes.
  PeerRelay(NodeContext& ctx, const NetworkProfile& profile, PeerLinks& links, SignedData& signedData);
  ~PeerRelay();
  PeerRelay(const PeerRelay&) = delete;
  PeerRelay& operator=(const PeerRelay&) = delete;

  RelayHooks& Hooks() { return hooks_; }
  PeerEcho& Echo() { return echo_; }
  RegionCounts& Regions() { return regions_; }
  BulletinFilter& Bulletins() { return bulletins_; }

  // An item kind of another network (the chat plugin): `fields` fields
  // (-1: any count), the owner's check and the hand-over after forwarding.
  // Replaces the built-in handling of `code`.
  struct ItemHandler {
    int fields = -1;
    std::function<bool(const QStringList& fields, int slot)> accept;
    std::function<void(const QStringList& fields, int slot)> accepted;
  };
  void SetItemHandler(int code, ItemHandler handler) { custom_[code] = std::move(handler); }

  // The dispatch of one received line; `hops` as received.
  void DispatchPeerItem(int code, qint64 hops, const QString& rest, const QStringList& fields, int slot);

  // Queues `line` (+ CR LF) for every complete link except `excludeSlot`
  // (0 excludes none). Returns at once; the sends follow, paced.
  void wsPeer__SendData(const QString& line, int excludeSlot);
  // Lines queued and not yet sent to every link.
  int QueuedLines() const { return static_cast<int>(queue_.size()); }

 private:
  struct Pass {
    QString line;
    int exclude = 0;
    int nextSlot = 1;
    qint64 queuedAt = 0;
  };

  void Dispatch(int code, qint64 hops, const QString& rest, const QStringList& fields, int slot);
  bool Relayed(int code) const;
  bool CheckFields(const QStringList& fields, int wanted, int slot);
  void Forward(int code, qint64 hops, const QString& rest, int slot);
  void Accepted(int code, qint64 hops, const QString& rest, int slot);
  void DrainQueue();
  void LogError(const QString& context, int number, const QString& description);

  NodeContext& ctx_;
  const NetworkProfile& profile_;
  PeerLinks& links_;
  SignedData& signed_;
  RelayHooks hooks_;
  PeerEcho echo_;
  RegionCounts regions_;
  BulletinFilter bulletins_;
  std::map<int, ItemHandler> custom_;

  std::deque<Pass> queue_;
  QTimer sendTimer_;
  QElapsedTimer clock_;
  qint64 lastSendAt_ = -1000000;
};

}  // namespace orva
