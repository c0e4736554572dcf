// Checks on the generated geographic data: masks fit their boxes and the
// region map, reference points sit on their regions, the regions of one
// prefecture do not overlap, every observation point is on land of the
// quake map inside its own prefecture, and every coast tile has its coast.
#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QStringList>

#include <cmath>

#include "client/quake/tables.h"

namespace orva {
namespace {

bool Inside(const QImage& mask, int x, int y) {
  return x >= 0 && y >= 0 && x < mask.width() && y < mask.height() && qGray(mask.pixel(x, y)) < 128;
}

QString Prefecture(const QString& regionName) {
  const QString p = regionName.section(u' ', 0, 0);
  return p == u"小笠原" ? QStringLiteral("東京") : p;
}

// The source rows of the observation points: name, prefecture, lat, lon, flag, region.
QList<QStringList> SourcePoints() {
  QFile f(QStringLiteral(ORVA_SOURCE_DIR "/tools/geo/points.csv"));
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  QList<QStringList> out;
  for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
    if (line.isEmpty() || line.startsWith(u'#')) continue;
    out << line.split(u',');
  }
  return out;
}

class GeneratedData : public ::testing::Test {
 protected:
  void SetUp() override {
    tables.Load(false);
    regionMap = LoadResourcePicture(101).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(regionMap.isNull());
  }
  Tables tables;
  QImage regionMap;
};

TEST_F(GeneratedData, EveryMaskHasItsBoxSizeSomethingInsideAndLiesOnLand) {
  const QRgb sea = regionMap.pixel(0, 0);
  int masks = 0;
  for (int code : tables.Regions().Codes()) {
    if (code >= 900) continue;
    SCOPED_TRACE(code);
    const RegionEntry& e = tables.Regions().At(code);
    const QImage mask = LoadBitmap(QStringLiteral("QU_%1").arg(code, 3, 10, QChar(u'0')));
    ASSERT_FALSE(mask.isNull());
    ++masks;
    EXPECT_EQ(mask.size(), QSize(e.w, e.h));
    EXPECT_EQ(mask.colorCount(), 2);
    EXPECT_EQ(qGray(mask.color(0)), 0);  // palette entry 0 is black
    int inside = 0, onSea = 0;
    for (int y = 0; y < mask.height(); ++y)
      for (int x = 0; x < mask.width(); ++x)
        if (Inside(mask, x, y)) {
          ++inside;
          if (regionMap.pixel(e.x + x, e.y + y) == sea) ++onSea;
        }
    EXPECT_GT(inside, 0);
    EXPECT_EQ(onSea, 0);
  }
  EXPECT_EQ(masks, 138);
}

TEST_F(GeneratedData, ReferencePointsLieInsideOrNextToTheirMasks) {
  // Given rows may place their point beside the shape (八重山 writes above
  // its islands); every other point is on the shape itself.
  const QHash<int, int> given = {{10, 12}, {250, 12}, {705, 12}};
  for (int code : tables.Regions().Codes()) {
    if (code >= 900) continue;
    SCOPED_TRACE(code);
    const RegionEntry& e = tables.Regions().At(code);
    const QImage mask = LoadBitmap(QStringLiteral("QU_%1").arg(code, 3, 10, QChar(u'0')));
    double nearest = 1e9;
    for (int y = 0; y < mask.height(); ++y)
      for (int x = 0; x < mask.width(); ++x)
        if (Inside(mask, x, y)) nearest = std::min(nearest, std::hypot(e.x + x - e.cx, e.y + y - e.cy));
    EXPECT_LE(nearest, given.value(code, 1));
  }
}

TEST_F(GeneratedData, RegionsOfOnePrefectureDoNotOverlap) {
  QHash<QString, QVector<int>> byPref;
  for (int code : tables.Regions().Codes())
    if (code < 900) byPref[Prefecture(tables.Regions().At(code).name)] << code;
  EXPECT_EQ(byPref.size(), 47);
  for (auto it = byPref.cbegin(); it != byPref.cend(); ++it) {
    QHash<quint32, int> owner;  // map pixel -> region
    for (int code : it.value()) {
      const RegionEntry& e = tables.Regions().At(code);
      const QImage mask = LoadBitmap(QStringLiteral("QU_%1").arg(code, 3, 10, QChar(u'0')));
      for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) {
          if (!Inside(mask, x, y)) continue;
          const quint32 key = quint32(e.y + y) * 1000u + quint32(e.x + x);
          const int before = owner.value(key, 0);
          EXPECT_EQ(before, 0) << it.key().toStdString() << ": " << code << " overlaps " << before;
          owner[key] = code;
        }
    }
  }
}

TEST_F(GeneratedData, ObservationPointsAreOnLandInsideTheirPrefecture) {
  const QImage quake = LoadBitmap(QStringLiteral("Q_MAP-AA")).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(quake.isNull());
  const QRgb sea = quake.pixel(0, 0);
  // Prefecture of every quake-map pixel (number in JIS order, 0 for sea).
  const QImage pref(QStringLiteral(ORVA_SOURCE_DIR "/resources/check/quake_prefectures.png"));
  ASSERT_EQ(pref.size(), quake.size());
  const QStringList order = QStringLiteral(
      "北海道 青森 岩手 宮城 秋田 山形 福島 茨城 栃木 群馬 埼玉 千葉 東京 神奈川 新潟 富山 石川 福井 山梨 長野 "
      "岐阜 静岡 愛知 三重 滋賀 京都 大阪 兵庫 奈良 和歌山 鳥取 島根 岡山 広島 山口 徳島 香川 愛媛 高知 福岡 "
      "佐賀 長崎 熊本 大分 宮崎 鹿児島 沖縄").split(u' ');
  ASSERT_EQ(order.size(), 47);

  const QList<QStringList> src = SourcePoints();
  ASSERT_EQ(src.size(), 872);
  const auto& pts = tables.Points();
  ASSERT_EQ(pts.size(), 872u);
  const QStringList rows = EmbeddedText(106).split(QStringLiteral("\r\n"));
  for (int i = 0; i < 872; ++i) {
    const ObservationPoint& p = pts[size_t(i)];
    SCOPED_TRACE(p.name.toStdString());
    // the table is generated from the source file, row for row
    EXPECT_EQ(src[i][0], p.name);
    EXPECT_EQ(src[i][4], rows[i].section(u',', 3, 3));
    ASSERT_TRUE(p.x >= 0 && p.x < 640 && p.y >= 0 && p.y < 480);
    EXPECT_NE(quake.pixel(p.x, p.y), sea);
    const int want = int(order.indexOf(src[i][1])) + 1;
    ASSERT_GT(want, 0);
    double nearest = 1e9;
    for (int dy = -3; dy <= 3; ++dy)
      for (int dx = -3; dx <= 3; ++dx) {
        const int x = p.x + dx, y = p.y + dy;
        if (x < 0 || y < 0 || x >= pref.width() || y >= pref.height()) continue;
        if (qGray(pref.pixel(x, y)) / 5 == want) nearest = std::min(nearest, std::hypot(dx, dy));
      }
    EXPECT_LE(nearest, 3.0);
    // and the point sits in its region's part of the region map (scaled 15/16)
    const RegionEntry& r = tables.Regions().At(src[i][5].toInt());
    const int rx = int(p.x * 600 / 640), ry = int(p.y * 450 / 480);
    EXPECT_TRUE(rx >= r.x - 4 && rx < r.x + r.w + 4 && ry >= r.y - 4 && ry < r.y + r.h + 4)
        << "region " << src[i][5].toStdString();
  }
}

TEST_F(GeneratedData, EveryCoastTileHoldsItsCoastInsideTheMap) {
  for (int s = 1; s <= Tables::kCoastSlots; ++s) {
    SCOPED_TRACE(s);
    const CoastEntry& c = tables.Coast(s);
    EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + 50 <= 400 && c.y + 40 <= 240);
    const QImage tile = LoadBitmap(QStringLiteral("TW_%1").arg(s, 3, 10, QChar(u'0')));
    ASSERT_FALSE(tile.isNull());
    int black = 0;
    for (int y = 0; y < tile.height(); ++y)
      for (int x = 0; x < tile.width(); ++x) black += qGray(tile.pixel(x, y)) < 128;
    EXPECT_GT(black, 0);
  }
}

}  // namespace
}  // namespace orva
