#include <gtest/gtest.h>

#include "client/core/log.h"

using namespace orva;

namespace {
struct RecordingView : LogView, StatusView {
  QString box;
  QString status;
  int boxUpdates = 0;
  void ShowLogText(const QString& t) override {
    box = t;
    ++boxUpdates;
  }
  void ShowStatusValue(StatusField f, const QString& t) override {
    if (f == StatusField::StatusLine) status = t;
  }
};
QDateTime At(int h, int m, int s) { return QDateTime(QDate(2026, 12, 11), QTime(h, m, s)); }
}  // namespace

TEST(Log, LevelFiltersEntriesAndStatus) {
  Log log;
  RecordingView view;
  log.SetViews(&view, &view);
  log.SetLocalClock([] { return At(14, 3, 27); });
  const int updates = view.boxUpdates;
  log.WriteLog(QStringLiteral("hidden"), 0);
  log.SetStatus(QStringLiteral("hidden"), 0);
  EXPECT_EQ(view.boxUpdates, updates);
  EXPECT_EQ(log.Entries()[0], QString());
  log.WriteLog(QStringLiteral("サーバーへ接続しました"), 1);
  EXPECT_EQ(log.Entries()[0], QStringLiteral("14:03:27|サーバーへ接続しました"));
  log.SetStatus(QStringLiteral("s"), 1);
  EXPECT_EQ(view.status, QStringLiteral("s"));

  log.SetLevel(5);
  log.WriteLog(QStringLiteral("x"), 4);
  log.SetStatus(QStringLiteral("y"), 4);
  EXPECT_EQ(log.Entries()[0], QStringLiteral("14:03:27|サーバーへ接続しました"));
  EXPECT_EQ(log.Entries()[1], QString());
  EXPECT_EQ(view.status, QStringLiteral("s"));
}

TEST(Log, KeepsThirtyNewestAndBoxAlwaysHasThirtyLines) {
  Log log;
  RecordingView view;
  log.SetViews(&view, &view);
  log.SetLocalClock([] { return At(9, 5, 1); });
  EXPECT_EQ(view.box, QString(QStringLiteral("\r\n")).repeated(30));
  for (int i = 1; i <= 31; ++i) log.WriteLog(QString::number(i), 1);
  EXPECT_EQ(log.Entries()[0], QStringLiteral("09:05:01|31"));
  EXPECT_EQ(log.Entries()[29], QStringLiteral("09:05:01|2"));
  EXPECT_EQ(view.box.count(QStringLiteral("\r\n")), 30);
  EXPECT_TRUE(view.box.startsWith(QStringLiteral("09:05:01|31\r\n09:05:01|30\r\n")));
  EXPECT_TRUE(view.box.endsWith(QStringLiteral("09:05:01|2\r\n")));
}

TEST(ProtocolClock, OffsetShiftsTheLocalClock) {
  ProtocolClock c;
  c.SetLocalClock([] { return At(12, 0, 0); });
  EXPECT_EQ(c.ProtocolNow(), At(12, 0, 0));
  c.protocolOffset = -3;
  EXPECT_EQ(c.ProtocolNow(), At(11, 59, 57));
}
