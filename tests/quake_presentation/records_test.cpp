// The quake and tsunami records: the order of their steps, the test, the
// last quake and the sounds, against screens that record what they are
// asked to show.
#include <gtest/gtest.h>

#include "client/core/node_context.h"
#include "client/quake/quake_record.h"
#include "client/quake/tsunami_record.h"
#include "qstring_print.h"

namespace orva::quake {
namespace {

struct Screens : QuakeScreen, TsunamiScreen, MenuView {
  QStringList calls;
  TickerPlan ticker;
  TsunamiPlan tsunami;
  std::map<MenuEntry, bool> enabled;
  void ShowQuakeMap(const QStringList& h, const QString& p, bool noFocus, bool topMost) override {
    calls << QStringLiteral("map %1 %2 %3 %4").arg(h.join(u','), p).arg(noFocus).arg(topMost);
  }
  void ShowTicker(const TickerPlan& plan) override {
    ticker = plan;
    calls << QStringLiteral("ticker");
  }
  void ShowTsunami(const TsunamiPlan& plan) override {
    tsunami = plan;
    calls << QStringLiteral("tsunami");
  }
  void SetEntryEnabled(MenuEntry e, bool on) override { enabled[e] = on; }
  void SetEntryText(MenuEntry, const QString&) override {}
};

struct QuakeRecordTest : ::testing::Test {
  NodeContext ctx;
  Screens screens;
  QuakeRecord record{ctx};
  QStringList plugin;
  QStringList sounds;

  void SetUp() override {
    ctx.ui.menus = &screens;
    ctx.log.SetLevel(0);
    ctx.playNamedSound = [this](const QString& code) { sounds << code; };
    record.screen = &screens;
    record.notifyPlugins = [this](const QString& line) { plugin << line; };
  }
  QString Log() const { return ctx.log.BoxText(); }
};

const QString kHeader = QStringLiteral("12日05時17分,5強,0,3,宮城県沖,40km,7.4,0,,,気象庁");
const QString kPoints = QStringLiteral("-宮城県,+5強,*仙台市");

TEST_F(QuakeRecordTest, AcceptedQuakeInOrder) {
  ctx.settings.Quake_NoFocus = 1;
  record.AcceptQuake(kHeader, kPoints);
  EXPECT_EQ(plugin, QStringList{QStringLiteral("QUAK ") + kHeader + u':' + kPoints});
  EXPECT_EQ(screens.calls, QStringList{QStringLiteral("map %1 %2 1 0").arg(kHeader, kPoints)});
  EXPECT_TRUE(screens.enabled[MenuEntry::QuakeRedisplay]);
  EXPECT_EQ(sounds, QStringList{QStringLiteral("3")});
  EXPECT_TRUE(record.HasLastQuake());
  EXPECT_EQ(record.LastHeader(), kHeader);
  EXPECT_TRUE(Log().contains(QStringLiteral("諸情報解析（0ms）")));
  EXPECT_TRUE(Log().contains(QStringLiteral("地震情報解析完了（0ms/Total:0ms）")));
}

TEST_F(QuakeRecordTest, NotPresentedStillToldToPlugins) {
  ctx.settings.Quake_View = 0;
  record.AcceptQuake(kHeader, kPoints);
  EXPECT_EQ(plugin.size(), 1);
  EXPECT_TRUE(screens.calls.isEmpty());
  EXPECT_TRUE(screens.enabled.empty());
  EXPECT_TRUE(sounds.isEmpty());
  EXPECT_FALSE(record.HasLastQuake());
  record.Redisplay();
  EXPECT_TRUE(screens.calls.isEmpty());
}

TEST_F(QuakeRecordTest, MalformedHeadersAreLoggedAndChangeNothing) {
  ctx.settings.Quake_LevelSpec = 1;
  record.AcceptQuake(QStringLiteral("1日,5強,0"), kPoints);                 // short header
  record.AcceptQuake(QStringLiteral("1日,強い,0,3,,,,0,,,x"), kPoints);     // off the scale
  EXPECT_EQ(plugin.size(), 2);
  EXPECT_TRUE(screens.calls.isEmpty());
  EXPECT_FALSE(record.HasLastQuake());
  EXPECT_TRUE(sounds.isEmpty());
  EXPECT_TRUE(Log().contains(QStringLiteral("ピアデータ処理中エラー：9 ")));
  EXPECT_TRUE(Log().contains(QStringLiteral("ピアデータ処理中エラー：13 ")));
}

TEST_F(QuakeRecordTest, RedisplayUsesQuakeMapNowWithoutSoundOrTest) {
  record.AcceptQuake(kHeader, kPoints);
  ctx.settings.Quake_Map = 0;
  ctx.settings.Quake_View = 0;  // the test is not applied again
  record.Redisplay();
  EXPECT_EQ(screens.calls.last(), QStringLiteral("ticker"));
  EXPECT_EQ(sounds.size(), 1);
}

TEST_F(QuakeRecordTest, SoundOncePerOccurrenceTime) {
  const QString flash = QStringLiteral("12日05時17分,5強,0,1,,,,0,,,気象庁");
  const QString detail = QStringLiteral("12日05時17分,6弱,0,4,宮城県沖,40km,7.4,0,,,気象庁");
  const QString other = QStringLiteral("12日06時00分,1,0,4,宮城県沖,40km,7.4,0,,,気象庁");
  record.AcceptQuake(flash, kPoints);
  record.AcceptQuake(detail, kPoints);
  record.AcceptQuake(other, kPoints);
  EXPECT_EQ(sounds, (QStringList{QStringLiteral("3"), QStringLiteral("1")}));
  ctx.settings.Quake_RefreshSound = 1;
  record.AcceptQuake(other, kPoints);
  EXPECT_EQ(sounds.size(), 3);
  ctx.settings.Quake_Sound = 0;
  record.AcceptQuake(flash, kPoints);
  EXPECT_EQ(sounds.size(), 3);
  EXPECT_EQ(screens.calls.size(), 5);
}

TEST_F(QuakeRecordTest, TickerPlanFromSettings) {
  ctx.settings.Quake_Map = 0;
  ctx.settings.Quake_Scroll = 1;
  ctx.settings.Quake_ScrollInt = 25;
  ctx.settings.Quake_ScrollSpd = 3;
  ctx.settings.Quake_ViewCount = 0;
  ctx.settings.Quake_ViewX = 1440;
  ctx.settings.Quake_TopMost = 1;
  record.AcceptQuake(QStringLiteral("1日,5強,1,3,,,,0,,,気象庁"), kPoints);
  const TickerPlan& t = screens.ticker;
  EXPECT_EQ(t.header, QStringLiteral("<<津波>>"));
  EXPECT_EQ(t.title, QStringLiteral("地震情報　1日ごろ 最大震度5強(気象庁発表)"));
  EXPECT_EQ(t.lines, QStringList{QStringLiteral("1日、震度5強の地震がありました。現在、津波予報が発表されています。  [宮城県]震度5強：仙台市")});
  EXPECT_TRUE(t.scroll);
  EXPECT_EQ(t.scrollIntervalMs, 25);
  EXPECT_EQ(t.scrollStep, 3);
  EXPECT_EQ(t.viewCount, 0);
  EXPECT_GT(t.position.x(), 0);  // one inch from the left
  EXPECT_TRUE(t.topMost);
  EXPECT_FALSE(t.noFocus);
}

struct TsunamiRecordTest : ::testing::Test {
  NodeContext ctx;
  Screens screens;
  TsunamiRecord record{ctx};
  QStringList plugin;
  QStringList sounds;
  void SetUp() override {
    ctx.playNamedSound = [this](const QString& code) { sounds << code; };
    record.screen = &screens;
    record.notifyPlugins = [this](const QString& line) { plugin << line; };
    ctx.clock.SetLocalClock([] { return QDateTime(QDate(2026, 3, 12), QTime(5, 20, 7)); });
  }
};

TEST_F(TsunamiRecordTest, BulletinShownWithSound) {
  ctx.settings.Tidal_NoFocus = 1;
  record.AcceptTsunamiData(QStringLiteral("-津波注意報,+A"));
  EXPECT_EQ(plugin, QStringList{QStringLiteral("TIDL -津波注意報,+A")});
  EXPECT_EQ(sounds, QStringList{QStringLiteral("t")});
  ASSERT_EQ(screens.calls, QStringList{QStringLiteral("tsunami")});
  EXPECT_EQ(screens.tsunami.timeText, QStringLiteral("津波予報（05:20:07受信）"));
  EXPECT_TRUE(screens.tsunami.inForce);
  EXPECT_TRUE(screens.tsunami.noFocus);
  EXPECT_TRUE(screens.tsunami.bulletinText.endsWith(QStringLiteral("A")));
}

TEST_F(TsunamiRecordTest, CancellationSoundsOnlyWhenAsked) {
  record.AcceptTsunamiData(QStringLiteral("解除"));
  EXPECT_TRUE(sounds.isEmpty());
  EXPECT_FALSE(screens.tsunami.inForce);
  ctx.settings.Tidal_CancelSound = 1;
  record.AcceptTsunamiData(QStringLiteral("解除"));
  EXPECT_EQ(sounds, QStringList{QStringLiteral("t")});
  ctx.settings.Tidal_Sound = 0;
  record.AcceptTsunamiData(QStringLiteral("-津波警報,+A"));
  EXPECT_EQ(sounds.size(), 1);
}

TEST_F(TsunamiRecordTest, NotShownWhenTidalViewIsOff) {
  ctx.settings.Tidal_View = 0;
  record.AcceptTsunamiData(QStringLiteral("-津波警報,+A"));
  EXPECT_EQ(plugin.size(), 1);
  EXPECT_TRUE(screens.calls.isEmpty());
  EXPECT_TRUE(sounds.isEmpty());
}

}  // namespace
}  // namespace orva::quake
