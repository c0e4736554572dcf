#pragma once
// Texts made from quake and tsunami bulletins: the detail list, the window
// labels, the copy text, the ticker sentence and its lines, the presentation
// test and the sound choice, the tsunami bulletin and instruction texts.
// Pure functions of their inputs.
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace orva {
struct Settings;
}

namespace orva::quake {

inline constexpr int kHeaderFields = 11;

// Rank 1-9 of an intensity text ("1" .. "7"); 0 for any other text.
int IntensityRank(const QString& text);

// Cuts a station name after the first "村", then "町", "市", "区".
QString MunicipalityName(QString name);

// Tells whether a name is the name of a row of the observation-point table.
using KnownPlace = std::function<bool(const QString& name)>;

// The municipality of a station name when the place names are at hand. The
// plain cut above stops at the first of those characters, so it turns
// "田村市船引町" into "田村" and "町田市中町" into "町", names of no place.
// This keeps the plain cut when it names a known place; otherwise it takes
// the shortest start of the name that ends in one of the four characters
// and names a known place; when none does, the plain cut.
QString MunicipalityName(const QString& name, const KnownPlace& known);

// The point list split into its entries.
QStringList PointEntries(const QString& pointList);

// The detail list of a point list; `lineBreaks` starts each area on a new
// line (CR LF); `kind` is header field 3. With `known`, station names are
// shortened by the place names (see above).
QString DetailText(const QString& pointList, bool lineBreaks, const QString& kind,
                   const KnownPlace& known = {});

// Texts of the quake window. `kind` is empty when header field 3 names no
// known kind: the window then keeps the kind it showed before.
struct QuakeLabels {
  QString kind;
  QString time;
  QString epicentre;
  QString depth;
  QString magnitude;
  QString tsunami;
  bool tsunamiRed = false;
  QString office;
};
// `header` must hold at least kHeaderFields fields.
QuakeLabels MakeQuakeLabels(const QStringList& header);
QString WindowTitle(const QString& kindLabel, const QString& officeLabel);
// The text Ctrl+C puts on the clipboard.
QString CopyText(const QuakeLabels& labels, const QString& detailText);

// The ticker: its sentence, its header and title, and the sentence broken
// into lines for page mode (34 + 8) or scroll mode (420 + 40).
QString TickerSentence(const QStringList& header, const QString& pointList, const KnownPlace& known = {});
QStringList BreakTickerLines(const QString& sentence, bool scroll);
QString TickerHeader(const QStringList& header);
QString TickerTitle(const QStringList& header);

// The presentation test; no value when the greatest intensity is none of
// "不明", "3以上" or a text of the scale (a malformed bulletin).
std::optional<bool> ShouldPresentQuake(const Settings& settings, const QStringList& header);

// Sound code of a quake by its greatest intensity.
QString QuakeSoundCode(const Settings& settings, const QString& greatestIntensity);

// Tsunami: level of a "-" entry's name (3, 2, 1; other names 1) and the
// texts of the window.
inline const QString kTsunamiCancelled = QStringLiteral("解除");
int TsunamiLevel(const QString& levelName);
QString TsunamiBulletinText(const QString& data);
QString TsunamiInstructionText(const QString& data);

}  // namespace orva::quake
