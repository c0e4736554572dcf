#include "peer_echo.h"

#include <QDate>
#include <QFile>

#include <algorithm>

#include "client/network/peer_links.h"
#include "client/network/server_link.h"
#include "platform/cp932.h"

namespace orva {

PeerEcho::PeerEcho(NodeContext& ctx, PeerLinks& links) : ctx_(ctx), links_(links) {}

bool PeerEcho::AcceptProbe(qint32 origin, const QString& key, int slot) {
  for (const Entry& e : table_) {
    if (e.origin == origin && e.key == key) return false;
  }
  table_.push_front(Entry{origin, key, slot, {}});
  if (static_cast<int>(table_.size()) > kEntries) table_.pop_back();
  return true;
}

QString PeerEcho::AnswerLine(qint32 origin, const QString& key, qint64 hopsReceived) const {
  return QStringLiteral("635 1 %1:%2:%3:%4:%5")
      .arg(origin)
      .arg(key)
      .arg(ctx_.net.ownPeerId)
      .arg(links_.PeerIdList(QStringLiteral(","), false, false))
      .arg(hopsReceived);
}

int PeerEcho::ReturnSlot(qint32 origin, const QString& key, qint32 responder, int /*arrivalSlot*/) {
  for (Entry& e : table_) {
    if (e.origin != origin || e.key != key) continue;
    if (std::find(e.responders.begin(), e.responders.end(), responder) != e.responders.end()) return 0;
    e.responders.push_back(responder);
    if (static_cast<int>(e.responders.size()) > kResponders) e.responders.pop_front();
    return e.slot;
  }
  return 0;
}

void PeerEcho::RecordOwnReply(qint64 hopsReceived, const QString& rest) {
  const QDateTime now = ctx_.clock.LocalNow();
  QFile file(debugFolder_ + QStringLiteral("TESTER_") + now.date().toString(QStringLiteral("yyyyMMdd")) +
             QStringLiteral(".txt"));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
    throw NetError(76, QStringLiteral("Path not found: ") + file.fileName());
  }
  const double seconds = now.time().msecsSinceStartOfDay() / 1000.0;
  const QString line = QStringLiteral("%1,%2,%3\r\n").arg(seconds, 0, 'f', 2).arg(hopsReceived).arg(rest);
  file.write(cp932::fromUnicode(line));
}

}  // namespace orva
