#include "devnet/publish/bulletin_file.h"

#include <QFile>

namespace orva::devnet {

QStringList Bulletin::Fields() const {
  if (kind == Kind::Quake) return {header, points};
  return {data};
}

bool IsScaleIntensity(const QString& text) {
  static const QStringList kScale = {QStringLiteral("1"),   QStringLiteral("2"),
                                     QStringLiteral("3"),   QStringLiteral("4"),
                                     QStringLiteral("5弱"), QStringLiteral("5強"),
                                     QStringLiteral("6弱"), QStringLiteral("6強"),
                                     QStringLiteral("7")};
  return kScale.contains(text);
}

namespace {

QString CheckCommon(const QString& text) {
  if (text.contains(u':')) return QStringLiteral("contains ':'");
  if (text.contains(u'\r') || text.contains(u'\n')) return QStringLiteral("contains a line break");
  return QString();
}

}  // namespace

QString CheckQuake(const QString& header, const QString& points) {
  for (const QString* t : {&header, &points}) {
    const QString e = CheckCommon(*t);
    if (!e.isEmpty()) return e;
  }
  const QStringList h = header.split(u',');
  if (h.size() < 11) return QStringLiteral("header has %1 fields, needs 11").arg(h.size());
  const QString& greatest = h[1];
  if (!greatest.isEmpty() && !IsScaleIntensity(greatest) && greatest != u"3以上" &&
      greatest != u"不明")
    return QStringLiteral("greatest intensity \"%1\" is not an intensity").arg(greatest);
  if (h[3].size() != 1 || h[3] < u"1" || h[3] > u"5")
    return QStringLiteral("bulletin kind \"%1\" is not 1 to 5").arg(h[3]);
  if (points.isEmpty()) return QString();
  for (const QString& entry : points.split(u',')) {
    if (entry.size() < 2) return QStringLiteral("empty point-list entry");
    const QChar m = entry[0];
    if (m != u'-' && m != u'+' && m != u'*')
      return QStringLiteral("point-list entry \"%1\" has no marker").arg(entry);
    if (m == u'+' && !IsScaleIntensity(entry.mid(1)) && entry.mid(1) != u"5弱以上（推定）")
      return QStringLiteral("\"%1\" is not an intensity").arg(entry.mid(1));
  }
  return QString();
}

QString CheckTsunami(const QString& data) {
  const QString e = CheckCommon(data);
  if (!e.isEmpty()) return e;
  if (data == u"解除") return QString();
  if (data.isEmpty()) return QStringLiteral("empty tsunami bulletin");
  static const QStringList kLevels = {QStringLiteral("大津波警報"), QStringLiteral("津波警報"),
                                      QStringLiteral("津波注意報")};
  bool levelSeen = false;
  for (const QString& entry : data.split(u',')) {
    if (entry.size() < 2) return QStringLiteral("empty tsunami entry");
    if (entry[0] == u'-') {
      if (!kLevels.contains(entry.mid(1)))
        return QStringLiteral("\"%1\" is not a warning level").arg(entry.mid(1));
      levelSeen = true;
    } else if (!levelSeen) {
      return QStringLiteral("region \"%1\" before any warning level").arg(entry.mid(1));
    }
  }
  return QString();
}

std::optional<Bulletin> ParseBulletinText(const QString& text, QString* error,
                                          std::optional<Bulletin::Kind> kind) {
  QStringList lines;
  for (QString line : text.split(u'\n')) {
    if (line.endsWith(u'\r')) line.chop(1);
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith(u'#')) continue;
    // Entries of a wrapped list may end a line with their comma.
    while (line.endsWith(u',')) line.chop(1);
    lines.append(line);
  }
  auto fail = [&](const QString& why) -> std::optional<Bulletin> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (lines.isEmpty()) return fail(QStringLiteral("no bulletin in the file"));
  Bulletin b;
  if (kind) {
    b.kind = *kind;
  } else {
    const QChar first = lines[0][0];
    b.kind = (first == u'-' || first == u'*' || lines[0] == u"解除") ? Bulletin::Kind::Tsunami
                                                                     : Bulletin::Kind::Quake;
  }
  QString problem;
  if (b.kind == Bulletin::Kind::Quake) {
    b.header = lines.takeFirst();
    b.points = lines.join(u',');
    problem = CheckQuake(b.header, b.points);
  } else {
    b.data = lines.join(u',');
    problem = CheckTsunami(b.data);
  }
  if (!problem.isEmpty()) return fail(problem);
  return b;
}

std::optional<Bulletin> LoadBulletinFile(const QString& path, QString* error,
                                         std::optional<Bulletin::Kind> kind) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    if (error) *error = path + QStringLiteral(": ") + f.errorString();
    return std::nullopt;
  }
  const QByteArray bytes = f.readAll();
  QString text = QString::fromUtf8(bytes);
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  if (text.contains(QChar(0xFFFD))) {
    if (error) *error = path + QStringLiteral(": not UTF-8 text");
    return std::nullopt;
  }
  QString why;
  auto b = ParseBulletinText(text, &why, kind);
  if (!b && error) *error = path + QStringLiteral(": ") + why;
  return b;
}

}  // namespace orva::devnet
