#include "client/quake/intensity_map.h"

#include <QFontMetrics>
#include <QPainter>

#include "client/quake/quake_text.h"

namespace orva::quake {

QColor IntensityColour(const QString& t) {
  if (t == u"1") return QColor(160, 224, 255);
  if (t == u"2") return QColor(160, 208, 255);
  if (t == u"3") return QColor(176, 192, 255);
  if (t == u"4") return QColor(112, 224, 128);
  if (t == u"5弱" || t == u"5弱以上（推定）") return QColor(128, 192, 0);
  if (t == u"5強") return QColor(240, 128, 0);
  if (t == u"6弱") return QColor(208, 112, 0);
  if (t == u"6強") return QColor(224, 32, 32);
  if (t == u"7") return QColor(160, 0, 32);
  return QColor(0, 0, 0);
}

IntensityMark MarkOf(const QString& t) {
  if (t == u"5弱以上（推定）") return {QString(), MarkKind::Estimated, 0};
  if (t.endsWith(u'弱')) return {t.left(1), MarkKind::Lower, 5};
  if (t.endsWith(u'強')) return {t.left(1), MarkKind::Upper, 15};
  return {t, MarkKind::Plain, 0};
}

int FindPlace(const std::vector<PlaceRow>& places, const QString& name, bool containment) {
  for (size_t i = 0; i < places.size(); ++i) {
    const QString& row = places[i].name;
    if (row == name) return int(i);
    if (containment && !row.isEmpty() && name.contains(row)) return int(i);
  }
  return -1;
}

KnownPlace PlaceNames(const std::vector<PlaceRow>& places) {
  return [&places](const QString& name) { return FindPlace(places, name, false) >= 0; };
}

QImage BaseQuakeMap(const QuakeAssets& assets) {
  QImage map(kQuakeMapWidth, kQuakeMapHeight, QImage::Format_RGB32);
  map.fill(QColor(24, 40, 88));
  const QImage base = assets.Bitmap(QStringLiteral("Q_MAP-AA"));
  if (!base.isNull()) {
    QPainter p(&map);
    p.drawImage(QRect(0, 0, kQuakeMapWidth, kQuakeMapHeight), base);
  }
  return map;
}

QFont MarkFont() {
  QFont f;
  f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("IPAGothic")});
  f.setPixelSize(11);
  f.setBold(true);
  f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

namespace {

// Prints `text` with its top left at (x, y): black at the nine positions
// around it, then white.
void PrintWithHalo(QPainter& p, const QFontMetrics& fm, int x, int y, const QString& text) {
  p.setPen(Qt::black);
  for (int i = -1; i <= 1; ++i)
    for (int j = -1; j <= 1; ++j) p.drawText(QPoint(x + i, y + j + fm.ascent()), text);
  p.setPen(Qt::white);
  p.drawText(QPoint(x, y + fm.ascent()), text);
}

// First and last rows of ink of `text` printed with its top left at (0, 0);
// (0, -1) for a text without ink.
std::pair<int, int> InkRows(const QFont& font, const QFontMetrics& fm, const QString& text) {
  QImage probe(std::max(1, fm.horizontalAdvance(text) + 4), fm.height() + 4, QImage::Format_RGB32);
  probe.fill(Qt::black);
  {
    QPainter p(&probe);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QPoint(0, fm.ascent()), text);
  }
  int top = -1, bottom = -1;
  for (int y = 0; y < probe.height(); ++y)
    for (int x = 0; x < probe.width(); ++x)
      if (probe.pixel(x, y) != qRgb(0, 0, 0)) {
        if (top < 0) top = y;
        bottom = y;
        break;
      }
  return top < 0 ? std::pair(0, -1) : std::pair(top, bottom);
}

}  // namespace

bool DrawIntensityMarks(QImage& map, const QStringList& header, const QString& pointList,
                        const std::vector<PlaceRow>& places, const std::function<bool()>& letEventsRun) {
  const QStringList entries = PointEntries(pointList);
  const bool shorten = header.value(3) == u"4";
  const bool containment = header.value(2) == u"2";
  const KnownPlace known = PlaceNames(places);
  // Nearest "+" entry before each position (-1: none).
  std::vector<int> plusBefore(entries.size(), -1);
  for (qsizetype i = 1; i < entries.size(); ++i)
    plusBefore[i] = entries[i - 1].startsWith(u'+') ? int(i - 1) : plusBefore[i - 1];

  QPainter p(&map);
  const QFont font = MarkFont();
  p.setFont(font);
  const QFontMetrics fm(font);
  // The bar's offsets (5 below, 15 above) are meant for a font whose "_"
  // sits 10 rows below its top and whose numerals fill rows 3 to 10. For
  // the font at hand the bar is moved so that it keeps one clear row (its
  // halo) from the numeral's ink: above it for the upper kind, below it for
  // the lower.
  const auto bar = InkRows(font, fm, QStringLiteral("_"));
  const auto digit = InkRows(font, fm, QStringLiteral("5"));
  const int upperShift = (digit.first - 2) - bar.second - (-15 + 6);
  const int lowerShift = (digit.second + 2) - bar.first - (-5 + 6);
  QString current;
  QColor colour(0, 0, 0);
  IntensityMark mark = MarkOf(QString());
  for (qsizetype i = entries.size() - 1; i >= 0; --i) {
    if (i % 20 == 0 && letEventsRun && !letEventsRun()) return false;
    const QString& entry = entries[i];
    const QChar m = entry.isEmpty() ? QChar() : entry.at(0);
    if (m == u'+' || current.isEmpty()) {
      const int j = plusBefore[i];
      if (j >= 0) {
        current = entries[j].mid(1);
        colour = IntensityColour(current);
        mark = MarkOf(current);
      }
    }
    if (m != u'*') continue;
    const QString name = shorten ? MunicipalityName(entry.mid(1), known) : entry.mid(1);
    const int row = FindPlace(places, name, containment);
    if (row < 0) continue;
    const int x = places[row].x;
    const int y = places[row].y;
    p.fillRect(QRect(x - 7, y - 8, 12, 12), colour);
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(x - 7, y - 8, 11, 11));
    if (mark.kind == MarkKind::Estimated) continue;
    PrintWithHalo(p, fm, x - 3, y - 6, mark.numeral);
    if (mark.kind == MarkKind::Lower || mark.kind == MarkKind::Upper)
      PrintWithHalo(p, fm, x - 4,
                    y - mark.barOffset + (mark.kind == MarkKind::Upper ? upperShift : lowerShift),
                    QStringLiteral("_"));
  }
  return true;
}

}  // namespace orva::quake
