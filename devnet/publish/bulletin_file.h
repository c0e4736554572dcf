#pragma once
// Bulletin files: a bulletin in its wire form, written over several lines
// for readability. Files are UTF-8; lines starting with "#" and empty lines
// are skipped.
//
// Quake bulletin: the first line is the header; the following lines are the
// point list, wrapped at entry boundaries (lines are joined with ",").
// Tsunami bulletin: every line holds entries of the data (joined with ","),
// or the single word "解除".
#include <QString>
#include <QStringList>
#include <optional>

namespace orva::devnet {

struct Bulletin {
  enum class Kind { Quake, Tsunami } kind = Kind::Quake;
  QString header;  // quake
  QString points;  // quake
  QString data;    // tsunami

  // The fields as they travel after signature and expiry.
  QStringList Fields() const;
};

// Kind is guessed from the first line when not given: a tsunami bulletin
// starts with an entry marker or is "解除"; anything else is a quake.
std::optional<Bulletin> ParseBulletinText(const QString& text, QString* error,
                                          std::optional<Bulletin::Kind> kind = std::nullopt);
std::optional<Bulletin> LoadBulletinFile(const QString& path, QString* error,
                                         std::optional<Bulletin::Kind> kind = std::nullopt);

// Empty when the bulletin can go onto the network as it is; otherwise what
// is wrong with it.
QString CheckQuake(const QString& header, const QString& points);
QString CheckTsunami(const QString& data);

// True for the intensity texts of the scale ("1" .. "7").
bool IsScaleIntensity(const QString& text);

}  // namespace orva::devnet
