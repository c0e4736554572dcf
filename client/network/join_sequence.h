#pragma once
// The server conversations: join, periodic echo and leave. Each response
// that the server link delivers is answered by code and purpose alone
// (NetworkState::linkPurpose), storing what the response carries in the
// node's network state and showing progress in the log, status box, tray
// and menus.
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

#include "client/core/node_context.h"
#include "client/network/network_profile.h"

namespace orva {

class PeerLinks;
class ServerLink;

// Reads a wire date "yyyy/mm/dd hh-nn-ss" (the "-" of the time part stands
// for ":"); returns a null QDateTime when the text is not such a date.
QDateTime ParseWireDate(const QString& text);

class JoinSequence {
 public:
  JoinSequence(NodeContext& ctx, const NetworkProfile& profile, ServerLink& link, PeerLinks& peers);

  // Opens the router's port mapping for the listening port (233 while
  // Use_UPnP is 1). Unset: nothing happens.
  void SetPortMappingHook(std::function<void(quint16 port)> hook) { openPortMapping_ = std::move(hook); }
  // Takes the region peer counts of 247 (its first argument, unchanged).
  // Unset: they are dropped.
  void SetRegionCountsHook(std::function<void(const QString&)> hook) { regionCounts_ = std::move(hook); }

  // Answers one server response. Codes outside the conversation table are
  // ignored; an error inside (missing or malformed argument, send on a
  // closed link) is logged at level 4 and ends the handling of that line.
  void DispatchServerResponse(int code, const QStringList& arguments);

  // Number of consecutive busy answers (298) without a greeting between.
  qint32 BusyCount() const { return ctx_.net.busyCount; }

 private:
  void Dispatch(int code, const QStringList& args);
  void OnPeerIdAssigned(const QStringList& args);
  void OnPeerList(const QStringList& args);
  void StoreKey(const QStringList& args);
  void RegionStep();
  void AfterKeyStep();
  void OnComplete();
  void OnBusy();

  void Send(const QString& line);
  void SetTray(int icon, const QString& toolTip);
  void SetMenusJoined(bool joined);
  QString Connected() const;

  NodeContext& ctx_;
  const NetworkProfile& profile_;
  ServerLink& link_;
  PeerLinks& peers_;
  std::function<void(quint16)> openPortMapping_;
  std::function<void(const QString&)> regionCounts_;
};

}  // namespace orva
