#include "client/quake/tables.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QStringList>

namespace orva {
namespace {

const QString kPrefix = QStringLiteral(":/orva/");

QByteArray ReadResource(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

int ToInt(const QString& field, const QString& row) {
  bool ok = false;
  const int v = field.trimmed().toInt(&ok);
  if (!ok) throw TableError("table row with a bad number: " + row.toStdString());
  return v;
}

qint16 ToInt16(const QString& field, const QString& row) {
  const int v = ToInt(field, row);
  if (v < -32768 || v > 32767) throw TableError("table row with a number out of range: " + row.toStdString());
  return static_cast<qint16>(v);
}

QStringList Rows(const QString& text) { return text.split(QStringLiteral("\r\n")); }

}  // namespace

// ---------------------------------------------------------------- regions

void RegionTable::Parse(const QString& text) {
  for (const QString& row : Rows(text)) {
    if (row.isEmpty() || row.startsWith(QStringLiteral("//"))) continue;
    const QStringList f = row.split(u',');
    if (f.size() < 8) throw TableError("region row with missing columns: " + row.toStdString());
    const int code = ToInt(f[0], row);
    if (code < 1 || code > kMaxCode) throw TableError("region code outside 1 to 999: " + row.toStdString());
    RegionEntry e;
    e.name = f[1];
    e.x = ToInt(f[2], row);
    e.y = ToInt(f[3], row);
    e.w = ToInt(f[4], row);
    e.h = ToInt(f[5], row);
    e.cx = ToInt(f[6], row);
    e.cy = ToInt(f[7], row);
    entries_[code] = e;
  }
}

void RegionTable::LoadEmbedded() { Parse(EmbeddedText(201)); }

const RegionEntry& RegionTable::At(int code) const {
  static const RegionEntry kNone{};
  if (code < 1 || code > kMaxCode) return kNone;
  return entries_[code];
}

RegionEntry* RegionTable::Find(int code) {
  if (code < 1 || code > kMaxCode) return nullptr;
  return &entries_[code];
}

std::vector<int> RegionTable::Codes() const {
  std::vector<int> out;
  for (int c = 1; c <= kMaxCode; ++c)
    if (!entries_[c].name.isEmpty()) out.push_back(c);
  return out;
}

void RegionTable::ResetCounters() {
  for (RegionEntry& e : entries_) e.peerCount = e.reportCount = 0;
}

// ----------------------------------------------------------------- tables

std::vector<ObservationPoint> Tables::ParsePoints(const QString& text, bool jmaOnly) {
  std::vector<ObservationPoint> out;
  for (const QString& row : Rows(text)) {
    if (row.isEmpty()) continue;
    const QStringList f = row.split(u',');
    if (f.size() < 4) throw TableError("observation point row with missing columns: " + row.toStdString());
    if (jmaOnly && f[3] != u"0") continue;
    out.push_back({f[0], ToInt16(f[1], row), ToInt16(f[2], row)});
  }
  return out;
}

int Tables::ParseCoasts(const QString& text, std::array<CoastEntry, kCoastSlots + 1>& table) {
  table.fill(CoastEntry{});
  int slot = 0;
  for (const QString& row : Rows(text)) {
    if (row.isEmpty()) continue;
    const QStringList f = row.split(u',');
    if (f.size() < 3) throw TableError("coast row with missing columns: " + row.toStdString());
    if (slot == kCoastSlots) throw TableError("coast table with more than 66 rows");
    table[++slot] = {f[0], ToInt(f[1], row), ToInt(f[2], row)};
  }
  return slot;
}

void Tables::Load(bool jmaOnly) {
  LoadFrom(EmbeddedText(201), EmbeddedText(106), EmbeddedText(104), jmaOnly);
}

void Tables::LoadFrom(const QString& regionText, const QString& pointText, const QString& coastText,
                      bool jmaOnly) {
  regions_.Parse(regionText);
  points_ = ParsePoints(pointText, jmaOnly);
  coastCount_ = ParseCoasts(coastText, coasts_);
}

const ObservationPoint* Tables::FindPoint(const QString& name) const {
  for (const ObservationPoint& p : points_)
    if (p.name == name) return &p;
  return nullptr;
}

const CoastEntry& Tables::Coast(int slot) const {
  static const CoastEntry kNone{};
  if (slot < 1 || slot > kCoastSlots) return kNone;
  return coasts_[slot];
}

int Tables::FindCoast(const QString& name) const {
  for (int s = 1; s <= kCoastSlots; ++s)
    if (!coasts_[s].name.isEmpty() && coasts_[s].name == name) return s;
  return 0;
}

// ------------------------------------------------------------- resources

QString EmbeddedText(int id) {
  if (id != 201 && id != 104 && id != 106) return {};
  return QString::fromUtf8(ReadResource(kPrefix + QStringLiteral("table/%1.txt").arg(id)));
}

QImage DecodePicture(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  if (!buffer.open(QIODevice::ReadOnly)) return {};
  QImageReader reader(&buffer);
  QImage img = reader.read();
  return img;
}

QImage LoadResourcePicture(int id) {
  const QByteArray bytes = ReadResource(kPrefix + QStringLiteral("custom/%1.gif").arg(id));
  if (bytes.isEmpty()) return {};
  return DecodePicture(bytes);
}

QImage LoadBitmap(const QString& name) {
  if (name.isEmpty() || name.contains(u'/')) return {};
  return DecodePicture(ReadResource(kPrefix + QStringLiteral("bitmap/") + name + QStringLiteral(".png")));
}

namespace {

QImage TrayImage(const QString& who, int index, int count) {
  if (index < 0 || index >= count) return {};
  return DecodePicture(ReadResource(kPrefix + QStringLiteral("icon/%1_tray%2.png").arg(who).arg(index)));
}

QIcon IconOf(const QImage& img) {
  if (img.isNull()) return {};
  return QIcon(QPixmap::fromImage(img));
}

QIcon ProgramIcon(const QString& who) {
  QIcon icon;
  for (int size : {16, 32, 48}) {
    const QImage img =
        DecodePicture(ReadResource(kPrefix + QStringLiteral("icon/%1_program%2.png").arg(who).arg(size)));
    if (!img.isNull()) icon.addPixmap(QPixmap::fromImage(img));
  }
  return icon;
}

}  // namespace

QImage LoadTrayImage(int index) { return TrayImage(QStringLiteral("client"), index, 9); }
QImage LoadPluginTrayImage(int index) { return TrayImage(QStringLiteral("plugin"), index, 3); }
QIcon LoadTrayIcon(int index) { return IconOf(LoadTrayImage(index)); }
QIcon LoadPluginTrayIcon(int index) { return IconOf(LoadPluginTrayImage(index)); }
QIcon LoadProgramIcon() { return ProgramIcon(QStringLiteral("client")); }
QIcon LoadPluginProgramIcon() { return ProgramIcon(QStringLiteral("plugin")); }

}  // namespace orva
