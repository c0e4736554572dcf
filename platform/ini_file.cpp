#include "ini_file.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "cp932.h"

namespace orva {
namespace {

QByteArray Trim(const QByteArray& s) {
  qsizetype b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.mid(b, e - b);
}

// ASCII case folding only, so that the code page 932 halves of names stay
// byte-exact (trail bytes may fall into the ASCII letter range).
QByteArray Fold(const QByteArray& s) {
  QByteArray out = s;
  bool trail = false;
  for (qsizetype i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (trail) {
      trail = false;
      continue;
    }
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      trail = true;
    } else if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    }
  }
  return out;
}

bool IsSectionHeader(const QByteArray& trimmed, QByteArray* name) {
  if (!trimmed.startsWith('[')) return false;
  const qsizetype close = trimmed.lastIndexOf(']');
  if (close < 1) return false;
  if (name) *name = Trim(trimmed.mid(1, close - 1));
  return true;
}

bool KeyOf(const QByteArray& line, QByteArray* key, QByteArray* value) {
  const qsizetype eq = line.indexOf('=');
  if (eq < 0) return false;
  const QByteArray k = Trim(line.left(eq));
  if (k.isEmpty() || k.startsWith(';')) return false;
  if (key) *key = k;
  if (value) {
    QByteArray v = Trim(line.mid(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
      v = v.mid(1, v.size() - 2);
    *value = v;
  }
  return true;
}

}  // namespace

IniDocument::IniDocument(const QByteArray& bytes) {
  if (bytes.isEmpty()) return;
  endsWithNewline_ = bytes.endsWith('\n');
  const QList<QByteArray> parts = bytes.split('\n');
  const qsizetype n = endsWithNewline_ ? parts.size() - 1 : parts.size();
  lines_.reserve(static_cast<size_t>(n));
  for (qsizetype i = 0; i < n; ++i) {
    QByteArray t = parts[i];
    if (t.endsWith('\r')) t.chop(1);
    lines_.push_back({t});
  }
}

IniDocument IniDocument::LoadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return IniDocument(f.readAll());
}

bool IniDocument::SaveFile(const QString& path) const {
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(Bytes());
  return f.commit();
}

QByteArray IniDocument::Bytes() const {
  QByteArray out;
  for (size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i].text;
    if (i + 1 < lines_.size() || endsWithNewline_) out += "\r\n";
  }
  return out;
}

std::optional<std::pair<size_t, size_t>> IniDocument::FindSection(const QByteArray& section) const {
  const QByteArray want = Fold(section);
  for (size_t i = 0; i < lines_.size(); ++i) {
    QByteArray name;
    if (IsSectionHeader(Trim(lines_[i].text), &name) && Fold(name) == want) {
      size_t end = i + 1;
      while (end < lines_.size() && !IsSectionHeader(Trim(lines_[end].text), nullptr)) ++end;
      return std::make_pair(i + 1, end);
    }
  }
  return std::nullopt;
}

bool IniDocument::HasSection(const QString& section) const {
  return FindSection(cp932::fromUnicode(section)).has_value();
}

std::optional<QString> IniDocument::Value(const QString& section, const QString& key) const {
  const auto range = FindSection(cp932::fromUnicode(section));
  if (!range) return std::nullopt;
  const QByteArray want = Fold(cp932::fromUnicode(key));
  for (size_t i = range->first; i < range->second; ++i) {
    QByteArray k, v;
    if (KeyOf(lines_[i].text, &k, &v) && Fold(k) == want) return cp932::toUnicode(v);
  }
  return std::nullopt;
}

void IniDocument::SetValue(const QString& section, const QString& key, const QString& value) {
  const QByteArray sec = cp932::fromUnicode(section);
  const QByteArray k = cp932::fromUnicode(key);
  const QByteArray line = k + '=' + cp932::fromUnicode(value);
  const auto range = FindSection(sec);
  if (!range) {
    if (!lines_.empty() && !endsWithNewline_) endsWithNewline_ = true;
    lines_.push_back({'[' + sec + ']'});
    lines_.push_back({line});
    endsWithNewline_ = true;
    return;
  }
  const QByteArray want = Fold(k);
  size_t lastContent = range->first;  // insert position for a new key
  for (size_t i = range->first; i < range->second; ++i) {
    QByteArray existing;
    if (KeyOf(lines_[i].text, &existing, nullptr) && Fold(existing) == want) {
      lines_[i].text = line;
      return;
    }
    if (!Trim(lines_[i].text).isEmpty()) lastContent = i + 1;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastContent), Line{line});
  if (lastContent == lines_.size() - 1) endsWithNewline_ = true;
}

QString GetProfileString(const QString& file, const QString& section, const QString& key,
                         const QString& defaultValue) {
  const auto v = IniDocument::LoadFile(file).Value(section, key);
  QString out = v ? *v : defaultValue;
  const qsizetype nul = out.indexOf(QChar(0));
  if (nul >= 0) out.truncate(nul);
  if (out.size() > 1023) out.truncate(1023);
  return out;
}

qint64 LeadingInteger(const QString& text) {
  const QString t = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
    negative = t[i] == '-';
    ++i;
  }
  qint64 value = 0;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    value = value * 10 + (t[i].unicode() - '0');
    if (value > (qint64(1) << 40)) break;  // far beyond any field; stop growing
  }
  return negative ? -value : value;
}

qint64 GetProfileInt(const QString& file, const QString& section, const QString& key,
                     qint64 defaultValue) {
  const auto v = IniDocument::LoadFile(file).Value(section, key);
  if (!v) return defaultValue;
  return LeadingInteger(*v);
}

bool WriteProfileString(const QString& file, const QString& section, const QString& key,
                        const QString& value) {
  IniDocument doc = IniDocument::LoadFile(file);
  doc.SetValue(section, key, value);
  return doc.SaveFile(file);
}

QString FindFileNoCase(const QString& folder, const QString& name) {
  QDir dir(folder);
  const QString exact = dir.filePath(name);
  if (QFileInfo::exists(exact)) return exact;
  const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& e : entries)
    if (e.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(e);
  return {};
}

}  // namespace orva
