#pragma once
// The node's log of the 30 newest entries, the status box values and the
// protocol-time clock.
#include <QDateTime>
#include <QString>

#include <array>
#include <functional>

#include "ui.h"

namespace orva {

// Local date-time source; tests replace it to stand on a minute boundary.
using LocalClock = std::function<QDateTime()>;

class Log {
 public:
  static constexpr int kEntries = 30;

  // Threshold: entries and status texts below it are dropped. Start-up sets
  // it to 1 before the settings are read, then to the `LogLevel` setting.
  void SetLevel(qint32 level) { level_ = level; }
  qint32 Level() const { return level_; }

  void WriteLog(const QString& text, qint32 level);
  void SetStatus(const QString& text, qint32 level);

  // Entry 0 is the newest.
  const std::array<QString, kEntries>& Entries() const { return entries_; }
  // Every entry followed by CR LF, empty ones included.
  QString BoxText() const;
  QString StatusLine() const { return statusLine_; }

  void SetLocalClock(LocalClock clock) { clock_ = std::move(clock); }
  void SetViews(LogView* logView, StatusView* statusView);
  // Called with every recorded entry line ("hh:nn:ss|text"); used by the
  // --log-stdout and headless modes.
  void SetEcho(std::function<void(const QString&)> echo) { echo_ = std::move(echo); }

 private:
  qint32 level_ = 1;
  std::array<QString, kEntries> entries_;
  QString statusLine_ = QStringLiteral("正常に接続されています。");
  LocalClock clock_;
  LogView* logView_ = nullptr;
  StatusView* statusView_ = nullptr;
  std::function<void(const QString&)> echo_;
};

// Values of the status box other than the status line; kept here so that
// the node can read back what it shows.
class StatusPanel {
 public:
  void Set(StatusField field, const QString& text);
  QString Value(StatusField field) const { return values_[static_cast<int>(field)]; }
  void SetView(StatusView* view);

 private:
  std::array<QString, 5> values_{QStringLiteral("正常に接続されています。"), QStringLiteral("--"),
                                  QStringLiteral("--"), QStringLiteral("0ピア"),
                                  QStringLiteral("0ピア")};
  StatusView* view_ = nullptr;
};

class ProtocolClock {
 public:
  // Seconds between the network's clock and the local clock, as last
  // reported by a server. Never reset while the program runs.
  qint32 protocolOffset = 0;

  QDateTime LocalNow() const;
  QDateTime ProtocolNow() const;
  void SetLocalClock(LocalClock clock) { clock_ = std::move(clock); }

 private:
  LocalClock clock_;
};

}  // namespace orva
