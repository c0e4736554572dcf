#pragma once
// INI files with the observable behaviour of the Windows private-profile
// routines: code page 932 bytes, section and key names matched without regard
// to ASCII case, values trimmed of blanks and of one pair of enclosing quotes,
// writes that keep every other line of the file as it was.
#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace orva {

class IniDocument {
 public:
  IniDocument() = default;
  // Parses raw file bytes; lines may end in CR LF or LF.
  explicit IniDocument(const QByteArray& bytes);

  static IniDocument LoadFile(const QString& path);  // empty when missing
  bool SaveFile(const QString& path) const;

  std::optional<QString> Value(const QString& section, const QString& key) const;
  void SetValue(const QString& section, const QString& key, const QString& value);
  bool HasSection(const QString& section) const;

  QByteArray Bytes() const;

 private:
  struct Line {
    QByteArray text;  // without line ending
  };
  // Index range [begin, end) of the lines of a section (after its header).
  std::optional<std::pair<size_t, size_t>> FindSection(const QByteArray& section) const;
  std::vector<Line> lines_;
  bool endsWithNewline_ = true;
};

// Private-profile style calls, one read or write of the file per call.
// Values longer than 1023 characters are cut to 1023.
QString GetProfileString(const QString& file, const QString& section, const QString& key,
                         const QString& defaultValue);
// The leading decimal number of the value (an optional sign and digits);
// 0 when it does not begin with one; `defaultValue` when the key is missing.
qint64 GetProfileInt(const QString& file, const QString& section, const QString& key,
                     qint64 defaultValue);
bool WriteProfileString(const QString& file, const QString& section, const QString& key,
                        const QString& value);

// Reads a decimal number as the profile routines do.
qint64 LeadingInteger(const QString& text);

// The path of `name` inside `folder`, matched without regard to case; empty
// when no such file exists.
QString FindFileNoCase(const QString& folder, const QString& name);

}  // namespace orva
