// The windows with the real tables and pictures and the sample bulletins of
// the development network, grabbed to PNG files under the test's build
// folder (views/) for a person to look at. Checks that the marks of the
// sample land on the map.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

#include "client/quake/bulletin_widgets.h"
#include "client/quake/coast_map.h"
#include "client/quake/intensity_map.h"
#include "client/quake/map_view.h"
#include "client/quake/quake_text.h"
#include "client/quake/quake_window.h"
#include "client/quake/ticker.h"
#include "client/quake/tsunami_window.h"
#include "qstring_print.h"
#include "stand_in_assets.h"

namespace orva::quake {
namespace {

QString ViewsFolder() {
  const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/views/");
  QDir().mkpath(dir);
  return dir;
}

void Save(QWidget& w, const QString& name) {
  QApplication::processEvents();
  EXPECT_TRUE(w.grab().save(ViewsFolder() + name)) << name.toStdString();
}

struct Views : ::testing::Test {
  Tables tables;
  std::unique_ptr<TablesAssets> assets;
  void SetUp() override {
    tables.Load(false);
    assets = std::make_unique<TablesAssets>(tables);
  }
};

TEST_F(Views, QuakeWindowForTheDetailedSample) {
  const test::Sample s = test::ReadSample(QStringLiteral("quake_detail.txt"));
  ASSERT_FALSE(s.header.isEmpty());
  BulletinWidgets screens(*assets);
  screens.ShowQuakeMap(s.header.split(u','), s.points, true, false);
  QuakeWindow* w = screens.Quake();
  // Every station of the sample is drawn: its municipality's square is not
  // the base map's colour any more.
  const QImage base = BaseQuakeMap(*assets);
  int drawn = 0, stations = 0;
  for (const QString& e : PointEntries(s.points)) {
    if (!e.startsWith(u'*')) continue;
    ++stations;
    const PlaceRow* p = tables.FindPoint(MunicipalityName(e.mid(1)));
    if (p && w->Map()->Image().pixel(p->x - 6, p->y + 2) != base.pixel(p->x - 6, p->y + 2)) ++drawn;
  }
  EXPECT_EQ(drawn, stations);
  Save(*w, QStringLiteral("quake_detail.png"));
  w->resize(1300, 760);
  Save(*w, QStringLiteral("quake_detail_large.png"));
  w->resize(700, 420);
  Save(*w, QStringLiteral("quake_detail_small.png"));
  QImage zoom = w->Map()->Image().copy(440, 180, 120, 120).scaled(480, 480);
  zoom.save(ViewsFolder() + QStringLiteral("quake_detail_zoom.png"));
  const test::Sample flash = test::ReadSample(QStringLiteral("quake_flash.txt"));
  screens.ShowQuakeMap(flash.header.split(u','), flash.points, true, false);
  Save(*w, QStringLiteral("quake_flash.png"));
}

TEST_F(Views, EveryMarkKind) {
  test::StandInAssets a;
  a.bitmaps[QStringLiteral("Q_MAP-AA")] = assets->Bitmap(QStringLiteral("Q_MAP-AA"));
  const QStringList texts{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                          QStringLiteral("5弱"), QStringLiteral("5強"), QStringLiteral("6弱"), QStringLiteral("6強"),
                          QStringLiteral("7"), QStringLiteral("5弱以上（推定）")};
  QStringList points{QStringLiteral("-A")};
  for (int i = 0; i < texts.size(); ++i) {
    a.places.push_back({QStringLiteral("p%1").arg(i), qint16(440 + 20 * i), 300});
    points << u'+' + texts[i] << QStringLiteral("*p%1").arg(i);
  }
  QImage map = BaseQuakeMap(a);
  DrawIntensityMarks(map, QStringLiteral("1日,7,0,3,,,,0,,,x").split(u','), points.join(u','), a.places, {});
  map.copy(425, 280, 210, 35).scaled(840, 140).save(ViewsFolder() + QStringLiteral("marks.png"));
}

TEST_F(Views, TsunamiWindowForTheSampleWarning) {
  const test::Sample s = test::ReadSample(QStringLiteral("tsunami_warning.txt"));
  const QString data = s.points.isEmpty() ? s.header : s.header + u',' + s.points;
  BulletinWidgets screens(*assets);
  TsunamiPlan plan;
  plan.data = data;
  plan.timeText = QStringLiteral("津波予報（05:20:07受信）");
  plan.bulletinText = TsunamiBulletinText(data);
  plan.instructionText = TsunamiInstructionText(data);
  plan.inForce = true;
  screens.ShowTsunami(plan);
  TsunamiWindow* w = screens.Tsunami();
  // Every named coast is painted.
  for (const QString& e : data.split(u',')) {
    if (e.startsWith(u'-')) continue;
    EXPECT_GT(tables.FindCoast(e.mid(1)), 0) << e.toStdString();
  }
  EXPECT_NE(w->ColouredMap(), PlainCoastMap(*assets));
  Save(*w, QStringLiteral("tsunami_warning.png"));
  w->BlinkStep();
  Save(*w, QStringLiteral("tsunami_warning_plain.png"));
  w->resize(1000, 700);
  Save(*w, QStringLiteral("tsunami_warning_large.png"));
  w->confirmClose = nullptr;
}

TEST_F(Views, TickerInBothModes) {
  const test::Sample s = test::ReadSample(QStringLiteral("quake_detail.txt"));
  const QStringList h = s.header.split(u',');
  for (const bool scroll : {false, true}) {
    Ticker t;
    TickerPlan p;
    p.header = TickerHeader(h);
    p.title = TickerTitle(h);
    p.scroll = scroll;
    p.lines = BreakTickerLines(TickerSentence(h, s.points), scroll);
    p.scrollStep = 2;
    p.viewCount = 2;
    t.Start(p);
    const QString mode = scroll ? QStringLiteral("scroll") : QStringLiteral("page");
    Save(t, QStringLiteral("ticker_%1_title.png").arg(mode));
    for (int i = 0; i < (scroll ? 200 : 1); ++i) t.Tick();
    Save(t, QStringLiteral("ticker_%1_next.png").arg(mode));
    if (!scroll) {
      for (const QString& line : p.lines) EXPECT_LE(line.size(), 41);
    }
  }
}

}  // namespace
}  // namespace orva::quake
