#include "peer_relay.h"

#include <algorithm>

#include "client/network/peer_links.h"
#include "client/network/server_link.h"
#include "client/signed/signed_data.h"

namespace orva {
namespace {

qint64 ToInteger(const QString& text) {
  bool ok = false;
  const qint64 value = text.trimmed().toLongLong(&ok);
  if (!ok) throw NetError(kErrTypeMismatch, QStringLiteral("Type mismatch"));
  return value;
}

}  // namespace

bool BulletinFilter::Accept(const QString& firstField) {
  if (std::find(entries_.begin(), entries_.end(), firstField) != entries_.end()) return false;
  entries_.push_front(firstField);
  if (static_cast<int>(entries_.size()) > kEntries) entries_.pop_back();
  return true;
}

PeerRelay::PeerRelay(NodeContext& ctx, const NetworkProfile& profile, PeerLinks& links,
                     SignedData& signedData)
    : ctx_(ctx),
      profile_(profile),
      links_(links),
      signed_(signedData),
      echo_(ctx, links),
      regions_(ctx) {
  clock_.start();
  sendTimer_.setSingleShot(true);
  sendTimer_.setTimerType(Qt::PreciseTimer);
  sendTimer_.callOnTimeout([this] { DrainQueue(); });
  links_.SetLineHandler([this](int code, qint64 hops, const QString& rest, const QStringList& fields, int slot) {
    DispatchPeerItem(code, hops, rest, fields, slot);
  });
  regions_.SetPluginSink([this](const QString& text, bool devOnly) {
    if (hooks_.sendToPlugins) hooks_.sendToPlugins(text, devOnly);
  });
}

PeerRelay::~PeerRelay() { links_.SetLineHandler(nullptr); }

void PeerRelay::LogError(const QString& context, int number, const QString& description) {
  ctx_.WriteLog(context + QStringLiteral("%1 %2").arg(number).arg(description), 4);
}

bool PeerRelay::Relayed(int code) const {
  const auto& codes = profile_.relayedCodes;
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

bool PeerRelay::CheckFields(const QStringList& fields, int wanted, int slot) {
  if (wanted < 0 || fields.size() == wanted) return true;
  links_.wsPeer__RequestError(slot);
  return false;
}

void PeerRelay::DispatchPeerItem(int code, qint64 hops, const QString& rest, const QStringList& fields,
                                 int slot) {
  try {
    Dispatch(code, hops, rest, fields, slot);
  } catch (const ExpiryTextError& e) {
    LogError(QStringLiteral("ピアデータ処理中エラー："), e.Number(), e.Description());
  } catch (const NetError& e) {
    LogError(QStringLiteral("ピアデータ処理中エラー："), e.number, e.description);
  } catch (const std::exception& e) {
    LogError(QStringLiteral("ピアデータ処理中エラー："), -1, QString::fromLocal8Bit(e.what()));
  }
}

void PeerRelay::Forward(int code, qint64 hops, const QString& rest, int slot) {
  wsPeer__SendData(QStringLiteral("%1 %2 %3").arg(code).arg(hops).arg(rest), slot);
}

void PeerRelay::Accepted(int code, qint64 hops, const QString& rest, int slot) {
  if (hooks_.itemAccepted) hooks_.itemAccepted(code, hops, rest, slot);
}

void PeerRelay::Dispatch(int code, qint64 received, const QString& rest, const QStringList& f, int slot) {
  const qint32 hopField = static_cast<qint32>(std::clamp<qint64>(received, INT32_MIN, INT32_MAX));
  if (profile_.withinHopLimit && !profile_.withinHopLimit(hopField, ctx_.net.totalPeers)) return;
  const qint64 hops = received + 1;
  if (links_.HandleHandshake(code, f, slot)) return;

  if (auto it = custom_.find(code); it != custom_.end()) {
    const ItemHandler& h = it->second;
    if (!CheckFields(f, h.fields, slot)) return;
    if (h.accept && !h.accept(f, slot)) return;
    Forward(code, hops, rest, slot);
    if (h.accepted) h.accepted(f, slot);
    Accepted(code, hops, rest, slot);
    return;
  }
  if (!Relayed(code)) return;

  switch (code) {
    case 551:
      if (!CheckFields(f, 4, slot)) return;
      if (!signed_.AcceptServerItem(f[0], f[1], f[2] + f[3], SignedData::kQuake)) return;
      Forward(code, hops, rest, slot);
      if (hooks_.quakeAccepted) hooks_.quakeAccepted(f[2], f[3]);
      break;
    case 552:
      if (!CheckFields(f, 3, slot)) return;
      if (!signed_.AcceptServerItem(f[0], f[1], f[2], SignedData::kTsunami)) return;
      Forward(code, hops, rest, slot);
      if (hooks_.sendToPlugins) hooks_.sendToPlugins(QStringLiteral("TIDL ") + f[2], false);
      if (ctx_.settings.Tidal_View == 1 && hooks_.showTsunami) hooks_.showTsunami(f[2]);
      break;
    case 555:
      if (!CheckFields(f, 6, slot)) return;
      if (!hooks_.acceptUserQuake || !hooks_.acceptUserQuake(f)) return;
      Forward(code, hops, rest, slot);
      if (ctx_.settings.UQuake_View == 1 && hooks_.countUserQuake) {
        const QStringList data = f[5].split(QLatin1Char(','));
        if (data.size() < 2) throw NetError(kErrMissingArgument, QStringLiteral("Subscript out of range"));
        hooks_.countUserQuake(static_cast<int>(ToInteger(data[1])));
      }
      break;
    case 556:
      if (!CheckFields(f, 6, slot)) return;
      if (!bulletins_.Accept(f[0])) return;
      Forward(code, hops, rest, slot);
      break;
    case 561:
      if (!CheckFields(f, 3, slot)) return;
      if (!signed_.AcceptServerItem(f[0], f[1], f[2], SignedData::kAreaPeers)) return;
      Forward(code, hops, rest, slot);
      regions_.ApplyRegionCounts(f[2]);
      break;
    case 615: {
      if (!CheckFields(f, 2, slot)) return;
      const qint32 origin = static_cast<qint32>(ToInteger(f[0]));
      if (!echo_.AcceptProbe(origin, f[1], slot)) return;
      Forward(code, hops, rest, slot);
      links_.SendLine(slot, echo_.AnswerLine(origin, f[1], received));
      break;
    }
    case 635: {
      if (!CheckFields(f, 5, slot)) return;
      const qint64 origin = ToInteger(f[0]);
      if (origin == ctx_.net.ownPeerId) {
        echo_.RecordOwnReply(received, rest);
        break;
      }
      const int target = echo_.ReturnSlot(static_cast<qint32>(origin), f[1],
                                          static_cast<qint32>(ToInteger(f[2])), slot);
      if (target == 0) return;
      const QString line = QStringLiteral("635 %1 %2").arg(hops).arg(rest);
      if (!links_.IsClosed(target)) {
        links_.SendLine(target, line);
      } else {
        wsPeer__SendData(line, slot);
      }
      break;
    }
    default:
      return;
  }
  Accepted(code, hops, rest, slot);
}

// ---------------------------------------------------------------- sending

void PeerRelay::wsPeer__SendData(const QString& line, int excludeSlot) {
  ctx_.WriteLog(QStringLiteral("データを他ピアに伝達します"), 0);
  if (static_cast<int>(queue_.size()) >= kMaxQueuedLines) {
    ctx_.WriteLog(QStringLiteral("伝達待ちのデータが多すぎるため破棄しました"), 2);
    return;
  }
  queue_.push_back(Pass{line, excludeSlot, 1, clock_.elapsed()});
  if (!sendTimer_.isActive()) DrainQueue();
}

void PeerRelay::DrainQueue() {
  try {
    while (!queue_.empty()) {
      Pass& pass = queue_.front();
      int slot = pass.nextSlot;
      const int last = links_.SlotCount();
      while (slot <= last && (slot == pass.exclude || !links_.IsComplete(slot))) ++slot;
      if (slot > last) {
        queue_.pop_front();
        continue;
      }
      const qint64 now = clock_.elapsed();
      const qint64 due = std::max(pass.queuedAt, lastSendAt_) + kPauseMs;
      if (now < due) {
        sendTimer_.start(static_cast<int>(due - now));
        return;
      }
      pass.nextSlot = slot + 1;
      lastSendAt_ = now;
      if (!links_.SendLine(slot, pass.line)) {
        LogError(QStringLiteral("ピア間伝達中エラー："), 10057, QStringLiteral("Socket is not connected"));
      }
    }
  } catch (const std::exception& e) {
    LogError(QStringLiteral("ピア間伝達中エラー："), -1, QString::fromLocal8Bit(e.what()));
  }
}

}  // namespace orva
