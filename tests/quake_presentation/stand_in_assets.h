#pragma once
// Small stand-in tables and pictures for the quake and tsunami pictures,
// and a loader of the real generated resources for the rendered views.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <map>

#include "client/quake/quake_assets.h"

namespace orva::quake::test {

struct StandInAssets : QuakeAssets {
  std::vector<PlaceRow> places;
  std::vector<CoastRow> coasts;
  std::map<QString, QImage> bitmaps;

  const std::vector<PlaceRow>& Places() const override { return places; }
  int CoastCount() const override { return int(coasts.size()); }
  CoastRow Coast(int slot) const override { return coasts.at(size_t(slot - 1)); }
  QImage Bitmap(const QString& name) const override {
    auto it = bitmaps.find(name);
    return it == bitmaps.end() ? QImage() : it->second;
  }

  static QImage Solid(int w, int h, QColor c) {
    QImage i(w, h, QImage::Format_RGB32);
    i.fill(c);
    return i;
  }
};

inline const QColor kSea(20, 40, 90);
inline const QColor kCoastPlain(200, 200, 200);
inline const QColor kLevel1(255, 255, 0);
inline const QColor kLevel2(255, 0, 0);

// Places (one name twice), two coasts. The mask of coast 1 is black in its left half
// only; coast 2's mask is black in its top half.
inline StandInAssets MakeStandIns() {
  StandInAssets a;
  a.places = {{QStringLiteral("稚内市"), 100, 100},
              {QStringLiteral("仙台宮城野区"), 300, 200},
              {QStringLiteral("酒田市"), 200, 300},
              {QStringLiteral("酒田市"), 400, 400},
              {QStringLiteral("宮城県北部"), 500, 100},
              {QStringLiteral("田村市"), 200, 100}};
  a.bitmaps[QStringLiteral("Q_MAP-AA")] = StandInAssets::Solid(640, 480, kSea);
  a.coasts = {{QStringLiteral("宮城県"), 100, 50}, {QStringLiteral("岩手県"), 200, 100}};
  a.bitmaps[QStringLiteral("TW_MAP")] = StandInAssets::Solid(400, 240, kCoastPlain);
  QImage m1 = StandInAssets::Solid(50, 40, Qt::white);
  QPainter(&m1).fillRect(0, 0, 25, 40, Qt::black);
  QImage m2 = StandInAssets::Solid(50, 40, Qt::white);
  QPainter(&m2).fillRect(0, 0, 50, 20, Qt::black);
  a.bitmaps[QStringLiteral("TW_001")] = m1;
  a.bitmaps[QStringLiteral("TW_002")] = m2;
  a.bitmaps[QStringLiteral("TW_LV1")] = StandInAssets::Solid(50, 40, kLevel1);
  a.bitmaps[QStringLiteral("TW_LV2")] = StandInAssets::Solid(50, 40, kLevel2);
  a.bitmaps[QStringLiteral("TW_LV3")] = StandInAssets::Solid(50, 40, QColor(160, 0, 160));
  return a;
}

// The generated tables and pictures of the source tree (resources/), for
// views of real bulletins. Empty where a file is missing.
inline StandInAssets LoadSourceResources() {
  StandInAssets a;
  const QString root = QStringLiteral(ORVA_SOURCE_DIR "/resources/");
  auto rows = [&](const QString& file) {
    QStringList out;
    QFile f(root + file);
    if (!f.open(QIODevice::ReadOnly)) return out;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QRegularExpression(QStringLiteral("\r?\n"))))
      if (!line.isEmpty()) out << line;
    return out;
  };
  for (const QString& r : rows(QStringLiteral("table/106.txt"))) {
    const QStringList c = r.split(u',');
    if (c.size() >= 3) a.places.push_back({c[0], qint16(c[1].toInt()), qint16(c[2].toInt())});
  }
  for (const QString& r : rows(QStringLiteral("table/104.txt"))) {
    const QStringList c = r.split(u',');
    if (c.size() >= 3) a.coasts.push_back({c[0], c[1].toInt(), c[2].toInt()});
  }
  for (const QFileInfo& fi : QDir(root + QStringLiteral("bitmap")).entryInfoList({QStringLiteral("*.png")}))
    if (!fi.baseName().startsWith(QStringLiteral("QU_"))) a.bitmaps[fi.baseName()] = QImage(fi.filePath());
  return a;
}

// A sample bulletin of devnet/samples: comment lines dropped, the first line
// the header (or the data), the rest joined into the point list.
struct Sample {
  QString header;
  QString points;
};
inline Sample ReadSample(const QString& name) {
  QFile f(QStringLiteral(ORVA_SOURCE_DIR "/devnet/samples/") + name);
  Sample s;
  if (!f.open(QIODevice::ReadOnly)) return s;
  QStringList lines;
  for (QString l : QString::fromUtf8(f.readAll()).split(u'\n')) {
    l = l.trimmed();
    while (l.endsWith(u',')) l.chop(1);
    if (!l.isEmpty() && !l.startsWith(u'#')) lines << l;
  }
  if (lines.isEmpty()) return s;
  s.header = lines.takeFirst();
  s.points = lines.join(u',');
  return s;
}

}  // namespace orva::quake::test
