// The sample bulletins: each reads, is in the wire form the clients expect
// and survives code page 932; and the reader refuses what would break them.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>

#include "devnet/publish/bulletin_file.h"
#include "platform/cp932.h"

namespace orva::devnet {
namespace {

QString Sample(const char* name) { return QStringLiteral(ORVA_SOURCE_DIR "/devnet/samples/") + QString::fromUtf8(name); }

Bulletin Load(const char* name) {
  QString error;
  const auto b = LoadBulletinFile(Sample(name), &error);
  EXPECT_TRUE(b) << error.toStdString();
  return b.value_or(Bulletin{});
}

int Rank(const QString& intensity) {
  static const QStringList kScale = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                     QStringLiteral("4"), QStringLiteral("5弱"), QStringLiteral("5強"),
                                     QStringLiteral("6弱"), QStringLiteral("6強"), QStringLiteral("7")};
  return static_cast<int>(kScale.indexOf(intensity)) + 1;
}

TEST(Samples, EverySampleSurvivesCodePage932) {
  const QStringList names = QDir(QStringLiteral(ORVA_SOURCE_DIR "/devnet/samples"))
                                .entryList({QStringLiteral("*.txt")}, QDir::Files);
  ASSERT_GE(names.size(), 5);
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    QString error;
    const auto b = LoadBulletinFile(QStringLiteral(ORVA_SOURCE_DIR "/devnet/samples/") + name, &error);
    ASSERT_TRUE(b) << error.toStdString();
    for (const QString& field : b->Fields())
      EXPECT_EQ(cp932::toUnicode(cp932::fromUnicode(field)), field);
  }
}

TEST(Samples, DetailedBulletinNamesOverAHundredStationsUpTo6Upper) {
  const Bulletin b = Load("quake_detail.txt");
  ASSERT_EQ(b.kind, Bulletin::Kind::Quake);
  const QStringList h = b.header.split(u',');
  ASSERT_GE(h.size(), 11);
  EXPECT_EQ(h[3], u"4");
  EXPECT_EQ(h[1], u"6強");
  QSet<QString> areas, places;
  int greatest = 0;
  for (const QString& e : b.points.split(u',')) {
    if (e[0] == u'-') areas.insert(e.mid(1));
    if (e[0] == u'+') greatest = std::max(greatest, Rank(e.mid(1)));
    if (e[0] == u'*') places.insert(e.mid(1));
  }
  EXPECT_GE(places.size(), 100);
  EXPECT_GE(areas.size(), 5);
  EXPECT_EQ(greatest, Rank(h[1]));  // the header agrees with the list
  // Groups come as area, intensity, places: the list starts with an area.
  EXPECT_TRUE(b.points.startsWith(u'-'));
}

TEST(Samples, FlashDistantAndTsunamiHaveTheirShapes) {
  const Bulletin flash = Load("quake_flash.txt");
  EXPECT_EQ(flash.header.split(u',')[3], u"1");
  const Bulletin distant = Load("quake_distant.txt");
  EXPECT_EQ(distant.header.split(u',')[3], u"5");
  const Bulletin warning = Load("tsunami_warning.txt");
  ASSERT_EQ(warning.kind, Bulletin::Kind::Tsunami);
  EXPECT_TRUE(warning.data.startsWith(QStringLiteral("-津波警報,")));
  EXPECT_TRUE(warning.data.contains(QStringLiteral(",*")));  // an immediate-arrival coast
  EXPECT_TRUE(warning.data.contains(QStringLiteral("-津波注意報")));
  const Bulletin cancel = Load("tsunami_cancel.txt");
  EXPECT_EQ(cancel.kind, Bulletin::Kind::Tsunami);
  EXPECT_EQ(cancel.data, u"解除");
}

TEST(Samples, ReaderRefusesBulletinsThatWouldBreakOnTheWire) {
  const char* const bad[] = {
      "12日05時17分,6強,1,4,宮城県沖,40km,7.4,0,北緯38.3度,東経141.9度\n-宮城県,+6強,*栗原市",   // 10 fields
      "12日05時17分,6強,1,4,宮城県沖,40km,7.4,0,北緯38.3度,東経141.9度,気象庁\n-宮城県,+6強,*栗:原市", // ':'
      "12日05時17分,6.5,1,4,宮城県沖,40km,7.4,0,北緯38.3度,東経141.9度,気象庁\n-宮城県",            // intensity
      "12日05時17分,6強,1,9,宮城県沖,40km,7.4,0,北緯38.3度,東経141.9度,気象庁\n-宮城県",            // kind
      "12日05時17分,6強,1,4,宮城県沖,40km,7.4,0,北緯38.3度,東経141.9度,気象庁\n-宮城県,+8,*栗原市",  // +8
      "12日05時17分,6強,1,4,宮城県沖,40km,7.4,0,北緯38.3度,東経141.9度,気象庁\n-宮城県,,*栗原市",    // empty entry
      "-大津波,+宮城県",  // unknown level
      "+宮城県",          // coast before any level
      "",
  };
  for (const char* text : bad) {
    QString error;
    EXPECT_FALSE(ParseBulletinText(QString::fromUtf8(text), &error)) << text;
    EXPECT_FALSE(error.isEmpty());
  }
}

// The station names of the detailed bulletin, shortened to their
// municipality as the clients do it for kind 4, and the coast names of the
// tsunami bulletin are rows of the client's tables. (The flash names
// forecast areas, which the map does not place.)
TEST(Samples, NamesAreInTheClientTables) {
  QFile points(QStringLiteral(ORVA_SOURCE_DIR "/resources/table/106.txt"));
  QFile coasts(QStringLiteral(ORVA_SOURCE_DIR "/resources/table/104.txt"));
  if (!points.open(QIODevice::ReadOnly) || !coasts.open(QIODevice::ReadOnly))
    GTEST_SKIP() << "tables not in resources/table/";
  auto names = [](QFile& f) {
    QSet<QString> set;
    for (QString row : QString::fromUtf8(f.readAll()).split(u'\n')) {
      row = row.trimmed();
      if (!row.isEmpty()) set.insert(row.section(u',', 0, 0));
    }
    return set;
  };
  const QSet<QString> pointNames = names(points), coastNames = names(coasts);
  const Bulletin detail = Load("quake_detail.txt");
  for (const QString& e : detail.points.split(u',')) {
    if (e[0] != u'*') continue;
    QString name = e.mid(1);
    for (QChar c : {u'村', u'町', u'市', u'区'})
      if (name.contains(c)) name = name.left(name.indexOf(c) + 1);
    EXPECT_TRUE(pointNames.contains(name)) << e.toStdString() << " -> " << name.toStdString();
  }
  for (const QString& e : Load("tsunami_warning.txt").data.split(u',')) {
    if (e[0] != u'-') {
      EXPECT_TRUE(coastNames.contains(e.mid(1))) << e.mid(1).toStdString();
    }
  }
}

}  // namespace
}  // namespace orva::devnet
