// The quake window, the ticker and the tsunami window, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QMouseEvent>

#include "client/quake/bulletin_widgets.h"
#include "client/quake/coast_map.h"
#include "client/quake/map_view.h"
#include "client/quake/quake_window.h"
#include "client/quake/ticker.h"
#include "client/quake/tsunami_window.h"
#include "qstring_print.h"
#include "stand_in_assets.h"

namespace orva::quake {
namespace {

QStringList H(const char* text) { return QString::fromUtf8(text).split(u','); }

TEST(QuakeWindow, FillsLabelsMapAndCopyText) {
  const auto assets = test::MakeStandIns();
  QuakeWindow w(assets);
  w.Present(H("12日05時17分,5強,1,4,宮城県沖,40km,7.4,0,北緯38.3度,東経141.9度,気象庁"),
            QStringLiteral("-宮城県,+5強,*仙台宮城野区五輪"), true, true);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(w.windowTitle(), QStringLiteral("地震情報（発表：気象庁）"));
  EXPECT_EQ(w.TimeText(), QStringLiteral("12日05時17分（最大震度5強）"));
  EXPECT_EQ(w.TsunamiText(), QStringLiteral("津波予報 発表中"));
  EXPECT_EQ(w.TsunamiColour(), QColor(255, 0, 0));
  EXPECT_EQ(w.DetailListText(), QStringLiteral("[宮城県]震度5強：仙台宮城野区"));
  EXPECT_EQ(QColor(w.Map()->Image().pixel(294, 202)), QColor(240, 128, 0));

  // Ctrl+C in the map area.
  QApplication::clipboard()->clear();
  QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
  QApplication::sendEvent(w.Map(), &copy);
  EXPECT_EQ(QApplication::clipboard()->text(), w.ClipboardText());
  EXPECT_TRUE(w.ClipboardText().startsWith(QStringLiteral("地震情報 - 12日05時17分（最大震度5強） 震源:宮城県沖")));

  // The next bulletin repaints the map, resets the tsunami colour and
  // keeps the kind when it names an unknown one.
  w.Present(H("13日,3,0,8,,,,0,,,"), QStringLiteral("-A,+3,*稚内市"), false, false);
  EXPECT_EQ(w.KindText(), QStringLiteral("地震情報"));
  EXPECT_EQ(w.OfficeText(), QStringLiteral("発表管区不明"));
  EXPECT_EQ(w.windowTitle(), QStringLiteral("地震情報（発表：発表管区不明）"));
  EXPECT_EQ(w.TsunamiColour(), QColor(Qt::black));
  EXPECT_EQ(QColor(w.Map()->Image().pixel(294, 202)), test::kSea);
  EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST(QuakeWindow, NewerBulletinDuringDrawingWins) {
  const auto assets = test::MakeStandIns();
  BulletinWidgets screens(assets);
  QStringList many{QStringLiteral("-A"), QStringLiteral("+7")};
  while (many.size() < 60) many << QStringLiteral("*稚内市");
  // A newer bulletin arrives while the first lets events run.
  QTimer::singleShot(0, [&] {
    screens.ShowQuakeMap(H("2日,1,0,3,,,,0,,,x"), QStringLiteral("-A,+1,*酒田市"), true, false);
  });
  screens.ShowQuakeMap(H("1日,7,0,3,,,,0,,,x"), many.join(u','), true, false);
  const QImage& map = screens.Quake()->Map()->Image();
  EXPECT_EQ(QColor(map.pixel(194, 302)), QColor(160, 224, 255));
  EXPECT_EQ(QColor(map.pixel(94, 102)), test::kSea);
  EXPECT_EQ(screens.Quake()->TimeText(), QStringLiteral("2日（最大震度1）"));
}

TEST(QuakeWindow, LinkOpensTipsPageOne) {
  const auto assets = test::MakeStandIns();
  QuakeWindow w(assets);
  int page = -1;
  w.openTips = [&](int p) { page = p; };
  auto* link = w.findChild<QLabel*>(QString(), Qt::FindChildrenRecursively);
  for (QLabel* l : w.findChildren<QLabel*>())
    if (l->text().contains(QStringLiteral("→地震情報は5種類？"))) link = l;
  ASSERT_TRUE(link);
  emit link->linkActivated(QStringLiteral("tips"));
  EXPECT_EQ(page, 1);
}

TickerPlan PagePlan(QStringList lines, int viewCount) {
  TickerPlan p;
  p.header = QStringLiteral("震度3||");
  p.title = QStringLiteral("地震情報　1日ごろ 最大震度3");
  p.lines = std::move(lines);
  p.viewCount = viewCount;
  p.position = QPoint(40, 30);
  return p;
}

TEST(Ticker, PageModeClosesAfterViewCountPasses) {
  Ticker t;
  t.Start(PagePlan({QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")}, 2));
  EXPECT_TRUE(t.isVisible());
  EXPECT_EQ(t.pos(), QPoint(40, 30));
  EXPECT_EQ(t.Timer().interval(), 3500);
  EXPECT_EQ(t.StripText(), QStringLiteral("地震情報　1日ごろ 最大震度3"));
  QStringList shown;
  for (int i = 0; i < 6; ++i) {
    t.Tick();
    shown << t.StripText();
  }
  EXPECT_EQ(shown.join(QString()), QStringLiteral("一二三一二三"));
  EXPECT_EQ(t.Passes(), 1);
  EXPECT_TRUE(t.isVisible());
  t.Tick();
  EXPECT_EQ(t.Passes(), 2);
  EXPECT_FALSE(t.isVisible());
  EXPECT_FALSE(t.Timer().isActive());
}

TEST(Ticker, ViewCountZeroRepeatsAndNewQuakeRestarts) {
  Ticker t;
  t.Start(PagePlan({QStringLiteral("一")}, 0));
  for (int i = 0; i < 20; ++i) t.Tick();
  EXPECT_TRUE(t.isVisible());
  EXPECT_EQ(t.Passes(), 19);
  t.Start(PagePlan({QStringLiteral("甲"), QStringLiteral("乙")}, 1));
  EXPECT_EQ(t.Passes(), 0);
  EXPECT_EQ(t.LineIndex(), 0);
  t.Tick();
  EXPECT_EQ(t.StripText(), QStringLiteral("甲"));
}

TEST(Ticker, ScrollModeMovesTheStripThenShowsTheNextLine) {
  Ticker t;
  TickerPlan p = PagePlan({QStringLiteral("一二三")}, 1);
  p.scroll = true;
  p.scrollIntervalMs = 10;
  p.scrollStep = 50;
  t.Start(p);
  EXPECT_EQ(t.Timer().interval(), 10);
  EXPECT_EQ(t.StripX(), t.StripAreaWidth());  // starts at the right edge
  int ticks = 0;
  while (t.StripText() != QStringLiteral("一二三") && ticks < 1000) {
    t.Tick();
    ++ticks;
  }
  EXPECT_GT(ticks, 1);
  EXPECT_EQ(t.StripX(), t.StripAreaWidth());
  t.Tick();
  EXPECT_EQ(t.StripX(), t.StripAreaWidth() - 50);
  while (t.isVisible() && ticks < 2000) {
    t.Tick();
    ++ticks;
  }
  EXPECT_FALSE(t.isVisible());
}

TEST(Ticker, DoubleClickCloses) {
  Ticker t;
  t.Start(PagePlan({QStringLiteral("一")}, 0));
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), t.mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&t, &dbl);
  EXPECT_FALSE(t.isVisible());
  EXPECT_FALSE(t.Timer().isActive());
}

TsunamiPlan Plan(const QString& data) {
  TsunamiPlan p;
  p.data = data;
  p.timeText = QStringLiteral("津波予報（05:20:07受信）");
  p.bulletinText = QStringLiteral("===== 津波注意報    50センチ    =====\r\n宮城県");
  p.instructionText = QStringLiteral("津波注意報が発令された沿岸では、\r\n十分に注意してください。");
  p.inForce = data != QStringLiteral("解除");
  return p;
}

TEST(TsunamiWindow, BlinksBetweenColouredAndPlain) {
  const auto assets = test::MakeStandIns();
  TsunamiWindow w(assets);
  w.Present(Plan(QStringLiteral("-津波注意報,+宮城県")));
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(QColor(w.Map()->Image().pixel(101, 51)), test::kLevel1);
  EXPECT_TRUE(w.ColouredShown());
  EXPECT_EQ(w.BlinkTimer().interval(), 2500);
  w.BlinkStep();
  EXPECT_FALSE(w.ColouredShown());
  EXPECT_EQ(QColor(w.Map()->Image().pixel(101, 51)), test::kCoastPlain);
  EXPECT_EQ(w.BlinkTimer().interval(), 1000);
  EXPECT_TRUE(w.BlinkTimer().isActive());
  w.BlinkStep();
  EXPECT_TRUE(w.ColouredShown());
  EXPECT_EQ(QColor(w.Map()->Image().pixel(101, 51)), test::kLevel1);
  EXPECT_EQ(w.BlinkTimer().interval(), 2500);
  EXPECT_EQ(w.BulletinText(), QStringLiteral("===== 津波注意報    50センチ    =====\n宮城県"));
}

TEST(TsunamiWindow, ClosingAsksWhileInForce) {
  const auto assets = test::MakeStandIns();
  BulletinWidgets screens(assets);
  screens.applicationTitle = QStringLiteral("Orvalis");
  QStringList asked;
  bool answer = false;
  screens.askClose = [&](const QString& title, const QString& text) {
    asked << title << text;
    return answer;
  };
  screens.ShowTsunami(Plan(QStringLiteral("-津波注意報,+宮城県")));
  TsunamiWindow* w = screens.Tsunami();
  w->close();
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(asked, (QStringList{QStringLiteral("Orvalis - 津波予報発表中"),
                                QStringLiteral("本当に閉じてもよろしいですか？\r\n（再表示することは出来ません）")}));
  answer = true;
  w->close();
  EXPECT_FALSE(w->isVisible());
  // After a cancellation it closes without a question.
  asked.clear();
  screens.ShowTsunami(Plan(QStringLiteral("解除")));
  EXPECT_EQ(QColor(w->Map()->Image().pixel(101, 51)), test::kCoastPlain);
  w->close();
  EXPECT_FALSE(w->isVisible());
  EXPECT_TRUE(asked.isEmpty());
}

TEST(TsunamiWindow, TextFieldTakesFullWidthToTheBottom) {
  const auto assets = test::MakeStandIns();
  TsunamiWindow w(assets);
  w.Present(Plan(QStringLiteral("-津波注意報,+宮城県")));
  for (const QSize size : {QSize(800, 600), QSize(500, 420), QSize(1200, 900)}) {
    w.resize(size);
    QApplication::processEvents();
    const QRect text = w.TextField()->geometry();
    EXPECT_EQ(text.left(), 0);
    EXPECT_EQ(text.width(), w.width());
    EXPECT_EQ(text.bottom(), w.height() - 1);
    EXPECT_GE(text.top(), w.Map()->geometry().bottom());
  }
  int page = -1;
  w.openTips = [&](int p) { page = p; };
  for (QLabel* l : w.findChildren<QLabel*>())
    if (l->text().contains(QStringLiteral("→津波予報の時は..."))) emit l->linkActivated(QStringLiteral("tips"));
  EXPECT_EQ(page, 0);
}

}  // namespace
}  // namespace orva::quake
