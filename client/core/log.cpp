#include "log.h"

namespace orva {

void Log::SetViews(LogView* logView, StatusView* statusView) {
  logView_ = logView;
  statusView_ = statusView;
  if (logView_) logView_->ShowLogText(BoxText());
  if (statusView_) statusView_->ShowStatusValue(StatusField::StatusLine, statusLine_);
}

void Log::WriteLog(const QString& text, qint32 level) {
  if (level < level_) return;
  for (int i = kEntries - 1; i >= 1; --i) entries_[i] = std::move(entries_[i - 1]);
  const QDateTime now = clock_ ? clock_() : QDateTime::currentDateTime();
  entries_[0] = now.toString(QStringLiteral("HH:mm:ss")) + QLatin1Char('|') + text;
  if (echo_) echo_(entries_[0]);
  if (logView_) logView_->ShowLogText(BoxText());
}

void Log::SetStatus(const QString& text, qint32 level) {
  if (level < level_) return;
  statusLine_ = text;
  if (statusView_) statusView_->ShowStatusValue(StatusField::StatusLine, text);
}

QString Log::BoxText() const {
  QString text;
  for (const QString& e : entries_) {
    text += e;
    text += QStringLiteral("\r\n");
  }
  return text;
}

void StatusPanel::Set(StatusField field, const QString& text) {
  values_[static_cast<int>(field)] = text;
  if (view_) view_->ShowStatusValue(field, text);
}

void StatusPanel::SetView(StatusView* view) {
  view_ = view;
  if (!view_) return;
  for (int i = 1; i < 5; ++i) view_->ShowStatusValue(static_cast<StatusField>(i), values_[i]);
}

QDateTime ProtocolClock::LocalNow() const {
  return clock_ ? clock_() : QDateTime::currentDateTime();
}

QDateTime ProtocolClock::ProtocolNow() const {
  const QDateTime now = LocalNow();
  return protocolOffset != 0 ? now.addSecs(protocolOffset) : now;
}

}  // namespace orva
