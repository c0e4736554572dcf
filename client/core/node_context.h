#pragma once
// What the parts of one node share: its settings, log, status box, clocks,
// network and lifecycle state, and its screens. The network and signed-data
// code see a node only through this, so the chat plugin can build one too.
#include <QDateTime>
#include <QString>

#include <functional>

#include "client/core/log.h"
#include "client/core/settings.h"
#include "client/core/ui.h"

namespace orva {

struct PeerKey {
  QString privateKey = QStringLiteral("Unknown");  // as the server sent it
  QString publicKey;
  QString signature;  // the server's signature over the public key
  QDateTime expiry;   // protocol time; null (the zero date) until set
  QString expiryText; // as received, "yyyy/mm/dd hh-nn-ss"
};

struct NetworkState {
  qint32 ownPeerId = 0;  // 0 while not joined
  qint32 totalPeers = 0;
  qint32 connectedPeers = 0;
  PeerKey key;
  quint32 linkPurpose = 0;  // 0 none, 1 join, 2 periodic echo, 3 leave
  qint32 busyCount = 0;
};

struct LifecycleState {
  quint8 quitState = 0;  // 0 running, 2 leaving on the way out, 1 ending
  qint32 tickCount = 0;
  quint8 joinRetryPending = 0;
};

struct NodeContext {
  QString programFolder;  // always ends in "/"
  Settings settings;
  Log log;
  StatusPanel status;
  ProtocolClock clock;
  NetworkState net;
  LifecycleState life;
  NodeUi ui;
  // Plays "snd/Orva_Snd<name>.wav" or ".ogg" of the program folder; set by
  // the node (tests may record instead).
  std::function<void(const QString& name)> playNamedSound;

  // Shortcuts used everywhere.
  void WriteLog(const QString& text, qint32 level) { log.WriteLog(text, level); }
  void SetStatus(const QString& text, qint32 level) { log.SetStatus(text, level); }
  QDateTime ProtocolNow() const { return clock.ProtocolNow(); }
  void PlayNamedSound(const QString& name) {
    if (playNamedSound) playNamedSound(name);
  }
};

}  // namespace orva
