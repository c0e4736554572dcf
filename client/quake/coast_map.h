#pragma once
// The coast map of the tsunami window: "TW_MAP" with each named coastal
// region painted in the colour tile of its warning level.
#include <QImage>
#include <QString>

#include "client/quake/quake_assets.h"

namespace orva::quake {

inline constexpr int kCoastMapWidth = 400;
inline constexpr int kCoastMapHeight = 240;
inline constexpr int kCoastTileWidth = 50;
inline constexpr int kCoastTileHeight = 40;

// "TW_MAP" as a fresh 400 x 240 image in Format_RGB32.
QImage PlainCoastMap(const QuakeAssets& assets);

// Slot (1..) of the first coast named `name`; 0 when none is.
int FindCoast(const QuakeAssets& assets, const QString& name);

// Paints a 50 x 40 area at (x, y) of `map` in three steps: the colour tile
// combined by exclusive or, the mask by and, the colour tile by exclusive or
// again. Where the mask is black the area takes the tile's colour, where it
// is white the map stays as it was.
void PaintMaskedTile(QImage& map, int x, int y, const QImage& colourTile, const QImage& mask);

// The plain map with every region of the bulletin `data` painted; "解除"
// gives the plain map.
QImage PaintCoastMap(const QuakeAssets& assets, const QString& data);

}  // namespace orva::quake
