#pragma once
// The intensity map of the quake window: the base map, the intensity colours
// and marks, the place search and the drawing of the marks, on a 640 x 480
// image.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "client/quake/quake_assets.h"
#include "client/quake/quake_text.h"

namespace orva::quake {

inline constexpr int kQuakeMapWidth = 640;
inline constexpr int kQuakeMapHeight = 480;

QColor IntensityColour(const QString& intensity);

enum class MarkKind { Plain, Lower, Upper, Estimated };
struct IntensityMark {
  QString numeral;
  MarkKind kind = MarkKind::Plain;
  int barOffset = 0;  // how far above the point the bar's top sits
};
IntensityMark MarkOf(const QString& intensity);

// Index of the first row named `name` (or, with `containment`, whose name
// occurs inside `name`); -1 when none matches.
int FindPlace(const std::vector<PlaceRow>& places, const QString& name, bool containment);

// The names of `places` (kept by reference) for shortening station names.
KnownPlace PlaceNames(const std::vector<PlaceRow>& places);

// The base map "Q_MAP-AA" as a fresh 640 x 480 image (a plain sea colour
// when the bitmap is missing).
QImage BaseQuakeMap(const QuakeAssets& assets);

// The font of numerals and bars: about 12 units high.
QFont MarkFont();

// Draws the marks of `pointList` onto `map` (640 x 480), from the last
// entry to the first. `letEventsRun` is called before every entry whose
// position is a multiple of 20; when it returns false the drawing stops
// there. Returns false when it stopped early.
bool DrawIntensityMarks(QImage& map, const QStringList& header, const QString& pointList,
                        const std::vector<PlaceRow>& places, const std::function<bool()>& letEventsRun);

}  // namespace orva::quake
