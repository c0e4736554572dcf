#include "client/quake/coast_map.h"

#include <QPainter>

#include "client/quake/quake_text.h"

namespace orva::quake {

namespace {

// A 50 x 40 tile in Format_RGB32; a missing picture becomes `fill`.
QImage Tile(const QImage& picture, Qt::GlobalColor fill) {
  if (picture.isNull()) {
    QImage t(kCoastTileWidth, kCoastTileHeight, QImage::Format_RGB32);
    t.fill(fill);
    return t;
  }
  QImage t = picture.convertToFormat(QImage::Format_RGB32);
  if (t.size() != QSize(kCoastTileWidth, kCoastTileHeight))
    t = t.scaled(kCoastTileWidth, kCoastTileHeight);
  return t;
}

}  // namespace

QImage PlainCoastMap(const QuakeAssets& assets) {
  QImage map(kCoastMapWidth, kCoastMapHeight, QImage::Format_RGB32);
  map.fill(Qt::white);
  const QImage base = assets.Bitmap(QStringLiteral("TW_MAP"));
  if (!base.isNull()) {
    QPainter p(&map);
    p.drawImage(QRect(0, 0, kCoastMapWidth, kCoastMapHeight), base);
  }
  return map;
}

int FindCoast(const QuakeAssets& assets, const QString& name) {
  const int count = assets.CoastCount();
  for (int slot = 1; slot <= count; ++slot)
    if (assets.Coast(slot).name == name) return slot;
  return 0;
}

void PaintMaskedTile(QImage& map, int x, int y, const QImage& colourTile, const QImage& mask) {
  const QImage colour = Tile(colourTile, Qt::black);
  // Without a mask nothing of the area belongs to the region.
  const QImage andMask = Tile(mask, Qt::white);
  QPainter p(&map);
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.drawImage(x, y, colour);
  p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
  p.drawImage(x, y, andMask);
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.drawImage(x, y, colour);
}

QImage PaintCoastMap(const QuakeAssets& assets, const QString& data) {
  QImage map = PlainCoastMap(assets);
  if (data == kTsunamiCancelled) return map;
  QImage colourTile;
  for (const QString& entry : data.split(QLatin1Char(','))) {
    if (entry.isEmpty()) continue;
    if (entry.at(0) == u'-') {
      colourTile = assets.Bitmap(QStringLiteral("TW_LV") + QString::number(TsunamiLevel(entry.mid(1))));
      continue;
    }
    const int slot = FindCoast(assets, entry.mid(1));
    if (slot == 0) continue;
    const CoastRow coast = assets.Coast(slot);
    const QImage mask = assets.Bitmap(QStringLiteral("TW_%1").arg(slot, 3, 10, QLatin1Char('0')));
    // A region named before any level heading takes the level-1 tile.
    if (colourTile.isNull()) colourTile = assets.Bitmap(QStringLiteral("TW_LV1"));
    PaintMaskedTile(map, coast.x, coast.y, colourTile, mask);
  }
  return map;
}

}  // namespace orva::quake
