// The intensity map and the coast map, checked pixel by pixel.
#include <gtest/gtest.h>

#include "client/quake/coast_map.h"
#include "client/quake/intensity_map.h"
#include "qstring_print.h"
#include "stand_in_assets.h"

namespace orva::quake {
namespace {

using test::MakeStandIns;

const QStringList kHeader = QStringLiteral("1日,5強,0,3,,,,0,,,x").split(u',');

QImage Draw(const test::StandInAssets& a, const QString& points, const QStringList& header = kHeader) {
  QImage map = BaseQuakeMap(a);
  DrawIntensityMarks(map, header, points, a.places, {});
  return map;
}

QColor At(const QImage& i, int x, int y) { return QColor(i.pixel(x, y)); }

// Rows (min, max) of the white pixels in the square around (x, y); (-1, -1)
// when there are none. `exclude` leaves out pixels white there too.
std::pair<int, int> WhiteRows(const QImage& i, int x, int y, const QImage* exclude = nullptr) {
  int lo = -1, hi = -1;
  for (int yy = y - 20; yy <= y + 10; ++yy)
    for (int xx = x - 9; xx <= x + 9; ++xx) {
      if (i.pixel(xx, yy) != qRgb(255, 255, 255)) continue;
      if (exclude && exclude->pixel(xx, yy) == qRgb(255, 255, 255)) continue;
      if (lo < 0) lo = yy;
      hi = yy;
    }
  return {lo, hi};
}

TEST(IntensityMap, UpperSquareColourAndBarAboveNumeral) {
  const auto a = MakeStandIns();
  const QImage upper = Draw(a, QStringLiteral("-宮城県,+5強,*仙台宮城野区"));
  const QImage plain = Draw(a, QStringLiteral("-宮城県,+5,*仙台宮城野区"));
  EXPECT_EQ(At(upper, 300 - 6, 200 + 2), QColor(240, 128, 0));
  EXPECT_EQ(At(upper, 300 - 7, 200 - 8), QColor(Qt::black));  // the outline
  const auto numeral = WhiteRows(plain, 300, 200);
  const auto bar = WhiteRows(upper, 300, 200, &plain);
  ASSERT_GE(numeral.first, 0);
  ASSERT_GE(bar.first, 0) << "no bar";
  EXPECT_LT(bar.second, numeral.first) << "bar not above the numeral";
  // The numeral itself is the same "5".
  EXPECT_EQ(WhiteRows(upper, 300, 200).second, numeral.second);
}

TEST(IntensityMap, LowerBarBelowNumeral) {
  const auto a = MakeStandIns();
  const QImage lower = Draw(a, QStringLiteral("-宮城県,+5弱,*仙台宮城野区"));
  const QImage plain = Draw(a, QStringLiteral("-宮城県,+5,*仙台宮城野区"));
  EXPECT_EQ(At(lower, 300 - 6, 200 + 2), QColor(128, 192, 0));
  const auto numeral = WhiteRows(plain, 300, 200);
  const auto bar = WhiteRows(lower, 300, 200, &plain);
  ASSERT_GE(bar.first, 0) << "no bar";
  EXPECT_GT(bar.first, numeral.second) << "bar not below the numeral";
}

TEST(IntensityMap, EstimatedMarkHasNoNumeral) {
  const auto a = MakeStandIns();
  const QImage est = Draw(a, QStringLiteral("-宮城県,+5弱以上（推定）,*仙台宮城野区"));
  EXPECT_EQ(At(est, 300 - 6, 200 + 2), QColor(128, 192, 0));
  EXPECT_EQ(At(est, 300, 200 - 2), QColor(128, 192, 0));
  EXPECT_EQ(WhiteRows(est, 300, 200).first, -1);
}

TEST(IntensityMap, PlacesAndOrder) {
  auto a = MakeStandIns();
  const QColor sea = test::kSea;
  struct Case {
    const char* what;
    QString points;
    QStringList header;
    QPoint at;
    QColor colour;
  };
  const QStringList kind4 = QStringLiteral("1日,5強,0,4,,,,0,,,x").split(u',');
  const QStringList investigating = QStringLiteral("1日,5強,2,1,,,,0,,,x").split(u',');
  const Case cases[] = {
      {"earlier entries end on top", QStringLiteral("-A,+6強,*稚内市,+3,*稚内市"), kHeader, {94, 102}, QColor(224, 32, 32)},
      {"entries before the first + take its intensity", QStringLiteral("-A,*稚内市,+4,*酒田市"), kHeader, {94, 102}, QColor(112, 224, 128)},
      {"the first of two rows of one name", QStringLiteral("-A,+4,*酒田市"), kHeader, {194, 302}, QColor(112, 224, 128)},
      {"not the second", QStringLiteral("-A,+4,*酒田市"), kHeader, {394, 402}, sea},
      {"a station in a detailed bulletin is drawn at its municipality", QStringLiteral("-A,+1,*稚内市宗谷岬"), kind4, {94, 102}, QColor(160, 224, 255)},
      {"a municipality with 村 before 市 in its name", QStringLiteral("-A,+1,*田村市船引町"), kind4, {194, 102}, QColor(160, 224, 255)},
      {"not shortened in other kinds", QStringLiteral("-A,+1,*稚内市宗谷岬"), kHeader, {94, 102}, sea},
      {"containment when the epicentre is under investigation", QStringLiteral("-A,+2,*宮城県北部地方"), investigating, {494, 102}, QColor(160, 208, 255)},
      {"no containment otherwise", QStringLiteral("-A,+2,*宮城県北部地方"), kHeader, {494, 102}, sea},
      {"without any + entry black squares", QStringLiteral("-A,*稚内市"), kHeader, {94, 102}, QColor(Qt::black)},
      {"unknown places draw nothing", QStringLiteral("-A,+7,*どこか"), kHeader, {94, 102}, sea},
      {"a lone marker does no harm", QStringLiteral("*,+,-,"), kHeader, {94, 102}, sea},
  };
  for (const Case& c : cases) {
    const QImage map = Draw(a, c.points, c.header);
    EXPECT_EQ(At(map, c.at.x(), c.at.y()), c.colour) << c.what;
  }
  // No numeral on a black square of a list without intensities.
  EXPECT_EQ(WhiteRows(Draw(a, QStringLiteral("-A,*稚内市")), 100, 100).first, -1);
}

TEST(IntensityMap, LetsEventsRunEveryTwentyEntriesAndCanStop) {
  const auto a = MakeStandIns();
  QStringList entries{QStringLiteral("-A"), QStringLiteral("+3")};
  while (entries.size() < 45) entries << QStringLiteral("*稚内市");
  QImage map = BaseQuakeMap(a);
  int calls = 0;
  EXPECT_TRUE(DrawIntensityMarks(map, kHeader, entries.join(u','), a.places, [&] { return ++calls > 0; }));
  EXPECT_EQ(calls, 3);  // before entries 40, 20 and 0
  map = BaseQuakeMap(a);
  EXPECT_FALSE(DrawIntensityMarks(map, kHeader, entries.join(u','), a.places, [] { return false; }));
  EXPECT_EQ(At(map, 94, 102), QColor(176, 192, 255));  // entries 44..41 were drawn
}

TEST(CoastMap, RegionTakesItsLevelColourAndTheMapStaysAroundIt) {
  auto a = MakeStandIns();
  // A patterned base map, so that any change shows.
  QImage base(400, 240, QImage::Format_RGB32);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 400; ++x) base.setPixel(x, y, qRgb(x % 256, y, (x * 7 + y * 3) % 256));
  a.bitmaps[QStringLiteral("TW_MAP")] = base;
  const QImage map = PaintCoastMap(a, QStringLiteral("-津波注意報,+宮城県,+どこにもない沿岸,-津波警報,*岩手県"));
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 400; ++x) {
      const bool coast1 = x >= 100 && x < 125 && y >= 50 && y < 90;   // left half of tile 1
      const bool coast2 = x >= 200 && x < 250 && y >= 100 && y < 120; // top half of tile 2
      const QRgb want = coast1 ? test::kLevel1.rgb() : coast2 ? test::kLevel2.rgb() : base.pixel(x, y);
      ASSERT_EQ(map.pixel(x, y), want) << x << "," << y;
    }
  EXPECT_EQ(PaintCoastMap(a, QStringLiteral("解除")), base.convertToFormat(QImage::Format_RGB32));
}

TEST(CoastMap, FindsTheFirstSlotByName) {
  const auto a = MakeStandIns();
  EXPECT_EQ(FindCoast(a, QStringLiteral("宮城県")), 1);
  EXPECT_EQ(FindCoast(a, QStringLiteral("岩手県")), 2);
  EXPECT_EQ(FindCoast(a, QStringLiteral("宮城")), 0);
}

}  // namespace
}  // namespace orva::quake
