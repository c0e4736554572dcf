#include "client/quake/quake_record.h"

#include "client/core/node_context.h"
#include "client/quake/quake_text.h"
#include "client/quake/ticker.h"

namespace orva::quake {

namespace {

constexpr int kErrSubscript = 9;      // a header field that is missing
constexpr int kErrTypeMismatch = 13;  // a greatest intensity off the scale

}  // namespace

void QuakeRecord::LogError(int number, const QString& description) {
  ctx_.WriteLog(QStringLiteral("ピアデータ処理中エラー：") + QString::number(number) + u' ' + description, 4);
}

void QuakeRecord::AcceptQuake(const QString& header, const QString& pointList) {
  if (notifyPlugins) notifyPlugins(QStringLiteral("QUAK ") + header + u':' + pointList);
  Quake quake{header.split(u','), pointList};
  // Every field is read by position during the presentation; a short header
  // is refused here, before anything is kept or half drawn.
  if (quake.header.size() < kHeaderFields) {
    LogError(kErrSubscript, QStringLiteral("Subscript out of range"));
    return;
  }
  const std::optional<bool> present = ShouldPresentQuake(ctx_.settings, quake.header);
  if (!present) {
    LogError(kErrTypeMismatch, QStringLiteral("Type mismatch"));
    return;
  }
  if (!*present) return;
  last_ = quake;
  if (ctx_.ui.menus) ctx_.ui.menus->SetEntryEnabled(MenuEntry::QuakeRedisplay, true);
  Present(quake);
  if (ctx_.settings.Quake_Sound == 1) PlaySound(quake.header);
}

void QuakeRecord::Redisplay() {
  if (last_) Present(*last_);
}

void QuakeRecord::Present(const Quake& quake) {
  const Settings& s = ctx_.settings;
  const QStringList& h = quake.header;
  if (s.Quake_Map == 1) {
    ctx_.WriteLog(QStringLiteral("諸情報解析（0ms）"), 0);
    if (screen) screen->ShowQuakeMap(h, quake.pointList, s.Quake_NoFocus == 1, s.Quake_TopMost == 1);
    ctx_.WriteLog(QStringLiteral("観測点解析（0ms）"), 0);
    ctx_.WriteLog(QStringLiteral("地震情報解析完了（0ms/Total:0ms）"), 0);
    return;
  }
  TickerPlan plan;
  plan.header = TickerHeader(h);
  plan.title = TickerTitle(h);
  plan.scroll = s.Quake_Scroll == 1;
  plan.lines = BreakTickerLines(TickerSentence(h, quake.pointList, knownPlace), plan.scroll);
  plan.scrollIntervalMs = s.Quake_ScrollInt;
  plan.scrollStep = s.Quake_ScrollSpd;
  plan.viewCount = s.Quake_ViewCount;
  plan.position = TwipsToPixels(s.Quake_ViewX, s.Quake_ViewY);
  plan.topMost = s.Quake_TopMost == 1;
  plan.noFocus = s.Quake_NoFocus == 1;
  if (screen) screen->ShowTicker(plan);
}

void QuakeRecord::PlaySound(const QStringList& h) {
  if (lastSoundTime_ && *lastSoundTime_ == h[0] && ctx_.settings.Quake_RefreshSound != 1) return;
  lastSoundTime_ = h[0];
  ctx_.PlayNamedSound(QuakeSoundCode(ctx_.settings, h[1]));
}

}  // namespace orva::quake
