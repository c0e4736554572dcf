#include "devnet/server/wire.h"

#include <QTimeZone>

namespace orva::devnet {

QDateTime ProtocolTimeNow() {
  // Japan Standard Time has no daylight saving: a fixed +9 h offset.
  return QDateTime::currentDateTimeUtc().toTimeZone(QTimeZone(9 * 3600));
}

QString ExpiryText(const QDateTime& t) {
  return t.toString(QStringLiteral("yyyy/MM/dd HH-mm-ss"));
}

std::optional<QDateTime> ParseExpiryText(const QString& text) {
  QDateTime t = QDateTime::fromString(text, QStringLiteral("yyyy/MM/dd HH-mm-ss"));
  if (!t.isValid()) return std::nullopt;
  // The text is the network's (Japan) time, not the machine's.
  t.setTimeZone(QTimeZone(9 * 3600));
  return t;
}

std::optional<Request> ParseRequest(const QString& line) {
  if (line.size() < 5) return std::nullopt;
  for (int i = 0; i < 3; ++i)
    if (!line[i].isDigit() || line[i].unicode() > 0x7f) return std::nullopt;
  if (line[3] != u' ' || line[4] != u'1') return std::nullopt;
  Request r;
  r.code = line.left(3).toInt();
  if (line.size() == 5) return r;
  if (line[5] != u' ') return std::nullopt;
  if (line.size() == 6) return r;
  r.hasArgs = true;
  r.args = line.mid(6).split(u':');
  return r;
}

QString ResponseLine(int code, const QString& args) {
  QString line = QString::number(code).rightJustified(3, u'0') + QStringLiteral(" 1");
  if (!args.isEmpty()) line += u' ' + args;
  return line;
}

std::optional<qint64> ParseUInt(const QString& s, qint64 max) {
  if (s.isEmpty() || s.size() > 18) return std::nullopt;
  qint64 v = 0;
  for (QChar c : s) {
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c.unicode() - u'0');
  }
  if (v > max) return std::nullopt;
  return v;
}

std::optional<double> ParseVersion(const QString& s) {
  bool ok = false;
  const float v = s.toFloat(&ok);
  if (!ok) return std::nullopt;
  return static_cast<double>(v);
}

}  // namespace orva::devnet

namespace orva::devnet {
QList<QByteArray> TakeLines(QByteArray& buffer) {
  QList<QByteArray> lines;
  qsizetype from = 0;
  for (;;) {
    const qsizetype at = buffer.indexOf("\r\n", from);
    if (at < 0) break;
    lines.append(buffer.mid(from, at - from));
    from = at + 2;
  }
  if (from > 0) buffer.remove(0, from);
  return lines;
}
}  // namespace orva::devnet
