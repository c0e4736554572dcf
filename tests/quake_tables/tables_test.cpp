// Loading the embedded tables and pictures, and the loaders' handling of
// rows they must skip or refuse.
#include <gtest/gtest.h>

#include <QSet>

#include "client/quake/tables.h"

namespace orva {
namespace {

TEST(EmbeddedTables, LoadWithTheirCounts) {
  Tables all;
  all.Load(false);
  EXPECT_EQ(all.Points().size(), 872u);
  EXPECT_EQ(all.Regions().Codes().size(), 141u);
  EXPECT_EQ(all.CoastCount(), 66);

  Tables jma;
  jma.Load(true);
  ASSERT_EQ(jma.Points().size(), 737u);
  // The JMA-only list is the full list without the other rows, order kept.
  const QStringList flags = [] {
    QStringList out;
    for (const QString& row : EmbeddedText(106).split(QStringLiteral("\r\n")))
      if (!row.isEmpty()) out << row.section(u',', 3, 3);
    return out;
  }();
  ASSERT_EQ(flags.size(), 872);
  EXPECT_EQ(flags.count(QStringLiteral("0")), 737);
  EXPECT_EQ(flags.count(QStringLiteral("1")), 128);
  EXPECT_EQ(flags.count(QStringLiteral("2")), 7);
  size_t j = 0;
  for (int i = 0; i < 872; ++i) {
    if (flags[i] != u"0") continue;
    ASSERT_LT(j, jma.Points().size());
    EXPECT_EQ(jma.Points()[j].name, all.Points()[i].name);
    EXPECT_EQ(jma.Points()[j].x, all.Points()[i].x);
    ++j;
  }
}

TEST(EmbeddedTables, TellingRegionRowsAndSpecialCodes) {
  RegionTable r;
  r.LoadEmbedded();
  struct Row { int code; const char16_t* name; int x, y, w, h, cx, cy; };
  const Row rows[] = {
      {900, u"地域未設定", 0, 0, 0, 0, 0, 0}, {901, u"地域不明", 0, 0, 0, 0, 0, 0},
      {905, u"日本以外", 0, 0, 0, 0, 0, 0},   {10, u"北海道 石狩", 448, 63, 28, 36, 459, 88},
      {250, u"東京", 354, 311, 36, 12, 373, 318}, {705, u"沖縄 八重山", 227, 431, 20, 8, 237, 423},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    const RegionEntry& e = r.At(row.code);
    EXPECT_EQ(e.name, QString::fromUtf16(row.name));
    EXPECT_EQ((std::array{e.x, e.y, e.w, e.h, e.cx, e.cy}),
              (std::array{row.x, row.y, row.w, row.h, row.cx, row.cy}));
    EXPECT_EQ(e.peerCount, 0);
    EXPECT_EQ(e.reportCount, 0);
  }
  // The table's own order and first and last codes.
  const QStringList lines = EmbeddedText(201).split(QStringLiteral("\r\n"));
  EXPECT_TRUE(lines.first().startsWith(u"900,"));
  EXPECT_TRUE(lines.last().startsWith(u"710,沖縄 大東島,"));
  // A code that no row names: empty name, zero box; outside 1-999 likewise.
  for (int code : {1, 11, 899, 999, 0, -5, 1000}) {
    EXPECT_TRUE(r.At(code).name.isEmpty()) << code;
    EXPECT_EQ(r.At(code).w, 0) << code;
  }
  EXPECT_EQ(r.Find(0), nullptr);
  EXPECT_EQ(r.Find(1000), nullptr);
  ASSERT_NE(r.Find(999), nullptr);
}

TEST(EmbeddedTables, CoastsInOrderWithoutFinalBreakAndPointsWithOne) {
  const QString coast = EmbeddedText(104);
  EXPECT_FALSE(coast.endsWith(QStringLiteral("\n")));
  EXPECT_TRUE(EmbeddedText(106).endsWith(QStringLiteral("\r\n")));
  EXPECT_FALSE(EmbeddedText(201).endsWith(QStringLiteral("\n")));
  Tables t;
  t.Load(false);
  EXPECT_EQ(t.Coast(1).name, u"オホーツク海沿岸");
  EXPECT_EQ((std::pair{t.Coast(1).x, t.Coast(1).y}), (std::pair{350, 0}));
  EXPECT_EQ(t.Coast(2).name, u"北海道日本海沿岸北部");
  EXPECT_EQ((std::pair{t.Coast(2).x, t.Coast(2).y}), (std::pair{320, 0}));
  EXPECT_EQ(t.Coast(3).name, u"北海道日本海沿岸南部");
  EXPECT_EQ((std::pair{t.Coast(3).x, t.Coast(3).y}), (std::pair{310, 30}));
  EXPECT_EQ(t.Coast(66).name, u"宮古島・八重山地方");
  EXPECT_EQ((std::pair{t.Coast(66).x, t.Coast(66).y}), (std::pair{155, 200}));
  EXPECT_EQ(t.FindCoast(QStringLiteral("宮古島・八重山地方")), 66);
  EXPECT_EQ(t.FindCoast(QStringLiteral("東京湾内湾")) > 0, true);
  EXPECT_EQ(t.FindCoast(QStringLiteral("どこでもない")), 0);
  EXPECT_TRUE(t.Coast(0).name.isEmpty());
  EXPECT_TRUE(t.Coast(67).name.isEmpty());
  QSet<QString> names;
  for (int s = 1; s <= 66; ++s) names.insert(t.Coast(s).name);
  EXPECT_EQ(names.size(), 66);
}

TEST(EmbeddedTables, RepeatedPointNamesTakeTheFirstRow) {
  Tables t;
  t.Load(false);
  int sakata = 0;
  const ObservationPoint* first = nullptr;
  for (const ObservationPoint& p : t.Points())
    if (p.name == u"酒田市") {
      if (!first) first = &p;
      ++sakata;
    }
  ASSERT_EQ(sakata, 2);
  EXPECT_EQ(t.FindPoint(QStringLiteral("酒田市")), first);
  EXPECT_NE(t.FindPoint(QStringLiteral("稚内市")), nullptr);
  EXPECT_EQ(t.FindPoint(QStringLiteral("存在しない町")), nullptr);
}

TEST(RegionParse, SkipsEmptyAndCommentRowsAndReadsCodesAsNumbers) {
  RegionTable r;
  r.Parse(QStringLiteral("// comment\r\n\r\n010,北海道 石狩,1,2,3,4,5,6\r\n//250,東京,9,9,9,9,9,9\r\n"
                         "999,最後,0,0,1,1,0,0"));
  EXPECT_EQ(r.At(10).name, u"北海道 石狩");
  EXPECT_EQ(r.At(10).cy, 6);
  EXPECT_TRUE(r.At(250).name.isEmpty());
  EXPECT_EQ(r.At(999).name, u"最後");
  EXPECT_EQ(r.Codes(), (std::vector<int>{10, 999}));
  r.Find(10)->peerCount = 3;
  r.Find(10)->reportCount = 2;
  r.ResetCounters();
  EXPECT_EQ(r.At(10).peerCount + r.At(10).reportCount, 0);
}

TEST(RegionParse, BadRowStopsLoadingKeepingEarlierRows) {
  const char16_t* bad[] = {u"0,零,0,0,0,0,0,0", u"1000,千,0,0,0,0,0,0", u"-1,負,0,0,0,0,0,0",
                           u"abc,文字,0,0,0,0,0,0", u"020,短い,1,2", u"030,数字でない,1,2,x,4,5,6"};
  for (const char16_t* row : bad) {
    SCOPED_TRACE(QString::fromUtf16(row).toStdString());
    RegionTable r;
    EXPECT_THROW(r.Parse(QStringLiteral("010,前,1,1,1,1,1,1\r\n") + QString::fromUtf16(row) +
                         QStringLiteral("\r\n040,後,1,1,1,1,1,1")),
                 TableError);
    EXPECT_EQ(r.At(10).name, u"前");
    EXPECT_TRUE(r.At(40).name.isEmpty());
  }
}

TEST(PointAndCoastParse, FilterFinalBreakAndBadRows) {
  const QString text = QStringLiteral("甲市,1,2,0\r\n乙町,-3,40,1\r\n丙村,5,6,2\r\n甲市,7,8,0\r\n");
  const auto all = Tables::ParsePoints(text, false);
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[1].x, -3);
  EXPECT_EQ(all[3].y, 8);
  const auto jma = Tables::ParsePoints(text, true);
  ASSERT_EQ(jma.size(), 2u);
  EXPECT_EQ(jma[1].x, 7);
  EXPECT_THROW(Tables::ParsePoints(QStringLiteral("甲市,1,2\r\n"), false), TableError);
  EXPECT_THROW(Tables::ParsePoints(QStringLiteral("甲市,1,99999,0\r\n"), false), TableError);

  std::array<CoastEntry, Tables::kCoastSlots + 1> table;
  EXPECT_EQ(Tables::ParseCoasts(QStringLiteral("一,1,2\r\n二,3,4"), table), 2);
  EXPECT_EQ(table[2].name, u"二");
  EXPECT_EQ(table[2].y, 4);
  QStringList many;
  for (int i = 0; i < 67; ++i) many << QStringLiteral("c%1,0,0").arg(i);
  EXPECT_THROW(Tables::ParseCoasts(many.join(QStringLiteral("\r\n")), table), TableError);
}

TEST(Pictures, CustomPicturesDecodeWithTheirSizes) {
  const struct { int id; int w, h; } pics[] = {{101, 600, 450}, {103, 128, 200}, {104, 128, 200},
                                               {107, 128, 200}, {105, 150, 50},  {106, 54, 132}};
  for (const auto& p : pics) {
    const QImage img = LoadResourcePicture(p.id);
    ASSERT_FALSE(img.isNull()) << p.id;
    EXPECT_EQ(img.size(), QSize(p.w, p.h)) << p.id;
  }
  EXPECT_FALSE(LoadResourcePicture(102).isNull());
  EXPECT_TRUE(LoadResourcePicture(100).isNull());
  EXPECT_TRUE(LoadResourcePicture(108).isNull());
  EXPECT_TRUE(DecodePicture(QByteArray("GIF89a but then nothing")).isNull());
  EXPECT_TRUE(DecodePicture(QByteArray()).isNull());
}

TEST(Pictures, NamedBitmapsHaveTheirSizesAndColourCounts) {
  const struct { const char* name; int w, h, colours; } maps[] = {
      {"Q_MAP-AA", 640, 480, 256}, {"TW_MAP", 400, 240, 16}, {"TW_LV1", 50, 40, 256},
      {"TW_LV2", 50, 40, 256},     {"TW_LV3", 50, 40, 256},  {"TW_001", 50, 40, 16},
      {"TW_066", 50, 40, 16},      {"QU_250", 36, 12, 2},    {"QU_010", 28, 36, 2}};
  for (const auto& m : maps) {
    SCOPED_TRACE(m.name);
    const QImage img = LoadBitmap(QString::fromLatin1(m.name));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(m.w, m.h));
    ASSERT_TRUE(img.format() == QImage::Format_Indexed8 || img.format() == QImage::Format_Mono ||
                img.format() == QImage::Format_MonoLSB);
    EXPECT_LE(img.colorCount(), m.colours);
  }
  EXPECT_TRUE(LoadBitmap(QStringLiteral("QU_900")).isNull());
  EXPECT_TRUE(LoadBitmap(QStringLiteral("TW_067")).isNull());
  EXPECT_TRUE(LoadBitmap(QStringLiteral("../table/201")).isNull());
  EXPECT_TRUE(LoadBitmap(QString()).isNull());
}

TEST(Pictures, TrayIconsExistAndDifferByState) {
  QSet<QByteArray> seen;
  for (int i = 0; i <= 8; ++i) {
    const QImage img = LoadTrayImage(i);
    ASSERT_FALSE(img.isNull()) << i;
    seen.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes()));
    EXPECT_FALSE(LoadTrayIcon(i).isNull()) << i;
  }
  EXPECT_EQ(seen.size(), 9);
  seen.clear();
  for (int i = 0; i <= 2; ++i) {
    const QImage img = LoadPluginTrayImage(i);
    ASSERT_FALSE(img.isNull()) << i;
    seen.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes()));
  }
  EXPECT_EQ(seen.size(), 3);
  EXPECT_TRUE(LoadTrayImage(9).isNull());
  EXPECT_TRUE(LoadTrayImage(-1).isNull());
  EXPECT_TRUE(LoadPluginTrayImage(3).isNull());
  EXPECT_TRUE(LoadTrayIcon(9).isNull());
  EXPECT_FALSE(LoadProgramIcon().isNull());
  EXPECT_FALSE(LoadPluginProgramIcon().isNull());
}

}  // namespace
}  // namespace orva
