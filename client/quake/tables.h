#pragma once
// The embedded tables (regions, observation points, coasts) and the embedded
// pictures: region map, quake map, tsunami map and tiles, region masks,
// legend, wizard and tips pictures, tray icons.
#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QString>

#include <array>
#include <stdexcept>
#include <vector>

namespace orva {

// A table text that cannot be loaded: a region code outside 1 to 999, a row
// with missing columns or a number that does not read. Loading stops at the
// first such row; what was loaded before it stays.
struct TableError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One region of the region map (600 x 450 pixels).
struct RegionEntry {
  QString name;                 // empty for a code that no row names
  int x = 0, y = 0, w = 0, h = 0;  // bounding box on the region map
  int cx = 0, cy = 0;           // reference point (counts and marks go here)
  int peerCount = 0;            // peers known in the region (peer map)
  int reportCount = 0;          // user-quake reports in the current event
};

// The region table, indexed directly by region code 1 to 999.
class RegionTable {
 public:
  static constexpr int kMaxCode = 999;

  // Rows "code,name,x,y,w,h,cx,cy" separated by CR LF; empty rows and rows
  // beginning with "//" are skipped. Throws TableError as described above.
  void Parse(const QString& text);
  // Parses the embedded region table (string 201).
  void LoadEmbedded();

  // The entry of a code; outside 1 to 999 an empty entry.
  const RegionEntry& At(int code) const;
  // The entry of a code for changing its counters; nullptr outside 1 to 999.
  RegionEntry* Find(int code);
  // Codes that a row names, ascending.
  std::vector<int> Codes() const;
  // Sets both counters of every region to 0.
  void ResetCounters();

 private:
  std::array<RegionEntry, kMaxCode + 1> entries_{};
};

// One place of the quake map (640 x 480 pixels).
struct ObservationPoint {
  QString name;
  qint16 x = 0;
  qint16 y = 0;
};

// One coastal forecast region: its tile lies at x, y on the tsunami map.
struct CoastEntry {
  QString name;
  int x = 0;
  int y = 0;
};

class Tables {
 public:
  static constexpr int kCoastSlots = 66;

  // Loads the region table, then the observation points (only the JMA's own
  // points, source flag "0", when jmaOnly), then the coast table, from the
  // embedded texts. Throws TableError for a bad row (see above).
  void Load(bool jmaOnly);

  // The same from given texts (the embedded ones are in EmbeddedText).
  void LoadFrom(const QString& regionText, const QString& pointText, const QString& coastText,
                bool jmaOnly);

  RegionTable& Regions() { return regions_; }
  const RegionTable& Regions() const { return regions_; }

  // Observation points in table order; names repeat, the first match counts.
  const std::vector<ObservationPoint>& Points() const { return points_; }
  // First point of that name, or nullptr.
  const ObservationPoint* FindPoint(const QString& name) const;

  // Coast slot 1 to 66; an empty entry outside that range.
  const CoastEntry& Coast(int slot) const;
  // Slot of the first coast of that name, 0 when none.
  int FindCoast(const QString& name) const;
  int CoastCount() const { return coastCount_; }

  // Parsers of the two other tables, usable on their own.
  static std::vector<ObservationPoint> ParsePoints(const QString& text, bool jmaOnly);
  // Fills slots 1.. in order; more than 66 rows is an error.
  static int ParseCoasts(const QString& text, std::array<CoastEntry, kCoastSlots + 1>& table);

 private:
  RegionTable regions_;
  std::vector<ObservationPoint> points_;
  std::array<CoastEntry, kCoastSlots + 1> coasts_{};
  int coastCount_ = 0;
};

// The embedded table texts: 201 regions, 104 coasts, 106 observation points.
// An empty string for any other identifier.
QString EmbeddedText(int id);

// Decodes picture bytes (GIF, PNG, BMP); a null image when they do not decode.
QImage DecodePicture(const QByteArray& bytes);
// A "CUSTOM" picture by identifier (101 region map, 102, 103, 104 and 107
// wizard pages, 105 tips, 106 legend); a null image when it is missing or
// does not decode, and the caller then draws without it.
QImage LoadResourcePicture(int id);
// A bitmap by name: "Q_MAP-AA", "TW_MAP", "TW_001".."TW_066", "TW_LV1"..
// "TW_LV3", "QU_" + three-digit region code. Null when there is none.
QImage LoadBitmap(const QString& name);
// Tray icons: the client's 0 to 8 and the plugin's 0 to 2 (see the icon
// files' names under resources/icon for what each shows). Null image or
// empty icon for any other index.
QImage LoadTrayImage(int index);
QImage LoadPluginTrayImage(int index);
QIcon LoadTrayIcon(int index);
QIcon LoadPluginTrayIcon(int index);
// The program icons (client and plugin), several sizes.
QIcon LoadProgramIcon();
QIcon LoadPluginProgramIcon();

}  // namespace orva
