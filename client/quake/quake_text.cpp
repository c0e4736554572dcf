#include "client/quake/quake_text.h"

#include "client/core/settings.h"

namespace orva::quake {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QChar Marker(const QString& entry) { return entry.isEmpty() ? QChar() : entry.at(0); }

}  // namespace

int IntensityRank(const QString& text) {
  static const char16_t* const kScale[] = {u"1", u"2", u"3", u"4", u"5弱", u"5強", u"6弱", u"6強", u"7"};
  for (int i = 0; i < 9; ++i)
    if (text == QString::fromUtf16(kScale[i])) return i + 1;
  return 0;
}

QString MunicipalityName(QString name) {
  for (const QChar c : {QChar(u'村'), QChar(u'町'), QChar(u'市'), QChar(u'区')}) {
    const qsizetype at = name.indexOf(c);
    if (at >= 0) name.truncate(at + 1);
  }
  return name;
}

QString MunicipalityName(const QString& name, const KnownPlace& known) {
  const QString plain = MunicipalityName(name);
  if (!known || known(plain)) return plain;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const QChar c = name.at(i);
    if (c != u'村' && c != u'町' && c != u'市' && c != u'区') continue;
    const QString start = name.left(i + 1);
    if (known(start)) return start;
  }
  return plain;
}

QStringList PointEntries(const QString& pointList) { return pointList.split(QLatin1Char(',')); }

QString DetailText(const QString& pointList, bool lineBreaks, const QString& kind, const KnownPlace& known) {
  enum class Last { None, Area, Intensity, Place };
  Last last = Last::None;
  QString text;
  // Places already listed; a place named again (under a later intensity)
  // is left out. Compared by whole name, so that a place whose name is part
  // of another place's name is still listed.
  QStringList listed;
  for (const QString& entry : PointEntries(pointList)) {
    const QChar m = Marker(entry);
    const QString body = entry.mid(1);
    if (m == u'-') {
      if (text.isEmpty())
        text += u'[' + body + u']';
      else if (lineBreaks)
        text += kCrLf + u'[' + body + u']';
      else
        text += QStringLiteral("     [") + body + u']';
      last = Last::Area;
    } else if (m == u'+') {
      text += (last == Last::Area ? QStringLiteral("震度") : QStringLiteral("   震度")) + body + u'：';
      last = Last::Intensity;
    } else if (m == u'*') {
      const QString name = kind == u"4" ? MunicipalityName(body, known) : body;
      if (!listed.contains(name)) {
        if (last == Last::Place) text += u' ';
        text += name;
        listed << name;
      }
      last = Last::Place;
    }
  }
  return text;
}

QuakeLabels MakeQuakeLabels(const QStringList& h) {
  QuakeLabels l;
  l.time = h[0].isEmpty() ? QStringLiteral("発生時刻不明") : h[0];
  if (h[7] == u"1")
    l.time += QStringLiteral(" 震度訂正 ");
  else if (h[7] == u"2")
    l.time += QStringLiteral(" 震源訂正 ");
  else if (h[7] == u"3")
    l.time += QStringLiteral(" 震度・震源訂正 ");
  if (!h[1].isEmpty()) l.time += QStringLiteral("（最大震度") + h[1] + QStringLiteral("）");

  if (h[2] == u"0") {
    l.tsunami = QStringLiteral("心配はありません");
  } else if (h[2] == u"1") {
    l.tsunami = QStringLiteral("津波予報 発表中");
    l.tsunamiRed = true;
  } else if (h[2] == u"2") {
    l.tsunami = QStringLiteral("不明（震源調査中）");
  } else {
    l.tsunami = QStringLiteral("不明");
  }

  static const char16_t* const kKinds[] = {u"震度速報", u"震源情報", u"震度震源", u"地震情報", u"遠地地震"};
  bool ok = false;
  const int k = h[3].toInt(&ok);
  if (ok && k >= 1 && k <= 5 && h[3] == QString::number(k)) l.kind = QString::fromUtf16(kKinds[k - 1]);

  if (h[3] != u"1") {
    l.epicentre = h[4].isEmpty() ? QStringLiteral("不明") : h[4];
    if (!h[4].isEmpty() && !h[8].isEmpty())
      l.epicentre = h[4] + QStringLiteral("　(") + h[8] + u' ' + h[9] + u')';
    l.depth = h[5].isEmpty() ? QStringLiteral("不明") : h[5];
    l.magnitude = h[6].isEmpty() ? QStringLiteral("不明") : QStringLiteral("マグニチュード") + h[6];
  } else {
    l.epicentre = QStringLiteral("調査中");
    l.depth = QStringLiteral("--");
    l.magnitude = QStringLiteral("--");
  }
  l.office = h[10].isEmpty() ? QStringLiteral("発表管区不明") : h[10];
  return l;
}

QString WindowTitle(const QString& kindLabel, const QString& officeLabel) {
  return kindLabel + QStringLiteral("（発表：") + officeLabel + QStringLiteral("）");
}

QString CopyText(const QuakeLabels& l, const QString& detailText) {
  return QStringLiteral("地震情報 - ") + l.time + QStringLiteral(" 震源:") + l.epicentre +
         QStringLiteral(" (深さ") + l.depth + u',' + l.magnitude + u')' + QStringLiteral(" 津波:") + l.tsunami +
         kCrLf + QString(50, u'-') + kCrLf + detailText;
}

QString TickerSentence(const QStringList& h, const QString& pointList, const KnownPlace& known) {
  QString s = h[0] + QStringLiteral("、震度") + h[1] + QStringLiteral("の地震がありました。");
  if (h[2] == u"0")
    s += QStringLiteral("地震による津波の心配はありません。");
  else if (h[2] == u"1")
    s += QStringLiteral("現在、津波予報が発表されています。");
  else if (h[2] == u"2")
    s += QStringLiteral("震源・津波の有無は現在調査中です。");
  else if (h[2] == u"3")
    s += QStringLiteral("津波の有無に関しては不明です。");
  if (!h[4].isEmpty())
    s += QStringLiteral(" 震源地は") + h[4] + QStringLiteral("で、深さは") + h[5] +
         QStringLiteral("、マグニチュードは") + h[6] + QStringLiteral("と推定されます。");
  if (h[7] == u"1") s += QStringLiteral(" 震度が訂正されました。");
  s += QStringLiteral("  ") + DetailText(pointList, false, h[3], known);
  return s;
}

QStringList BreakTickerLines(const QString& sentence, bool scroll) {
  const qsizetype b = scroll ? 420 : 34;
  const qsizetype a = scroll ? 40 : 8;
  QStringList lines;
  QString r = sentence;
  while (b + a < r.size()) {
    const QString window = r.mid(b - 1, a);
    qsizetype d = window.indexOf(u' ');
    if (d < 0) d = window.indexOf(u'、');
    if (d < 0) d = window.indexOf(u'。');
    if (d >= 0) {
      lines << r.left(b + d);  // ends with the break character
      r = r.mid(b + d);
    } else {
      lines << r.left(b + a - 1);
      r = r.mid(b + a - 1);
    }
  }
  // A text that fits at once is one line; no empty line goes before it.
  lines << r;
  return lines;
}

QString TickerHeader(const QStringList& h) {
  if (h[2] == u"1") return QStringLiteral("<<津波>>");
  return QStringLiteral("震度") + h[1] + QStringLiteral("||");
}

QString TickerTitle(const QStringList& h) {
  QString t = QStringLiteral("地震情報　") + h[0] + QStringLiteral("ごろ 最大震度") + h[1];
  if (!h[10].isEmpty()) t += u'(' + h[10] + QStringLiteral("発表)");
  return t;
}

std::optional<bool> ShouldPresentQuake(const Settings& s, const QStringList& header) {
  if (s.Quake_View != 1) return false;
  if (s.Quake_LevelSpec != 1) return true;
  if (header.size() < 2) return std::nullopt;
  const QString& g = header[1];
  if (g == u"不明") return true;
  if (g == u"3以上") return s.Quake_Level <= 3;
  const int rank = IntensityRank(g);
  if (rank == 0) return std::nullopt;
  return rank >= s.Quake_Level;
}

QString QuakeSoundCode(const Settings& s, const QString& g) {
  if (s.Quake_ChangeSound != 1) return QStringLiteral("1");
  const int rank = IntensityRank(g);
  if (rank == 1 || rank == 2) return QStringLiteral("1");
  if (rank == 3 || rank == 4) return QStringLiteral("2");
  if (rank == 5 || rank == 6) return QStringLiteral("3");
  if (rank >= 7) return QStringLiteral("4");
  return QStringLiteral("0");
}

int TsunamiLevel(const QString& levelName) {
  if (levelName == u"大津波警報") return 3;
  if (levelName == u"津波警報") return 2;
  return 1;
}

QString TsunamiBulletinText(const QString& data) {
  if (data == kTsunamiCancelled)
    return QStringLiteral("===== 津波予報は解除されました  =====") + kCrLf +
           QStringLiteral("津波予報は、全て解除されました。") + kCrLf + kCrLf +
           QStringLiteral("若干の海面変動が続くことがありますが、被害の心配はありません。");
  enum class Last { Nothing, Heading, Region };
  Last last = Last::Nothing;
  bool immediate = false;
  QString text;
  for (const QString& entry : data.split(QLatin1Char(','))) {
    if (entry.isEmpty()) continue;
    const QChar m = entry.at(0);
    const QString body = entry.mid(1);
    if (m == u'-') {
      if (!text.isEmpty()) text += kCrLf + kCrLf;
      if (body == u"大津波警報")
        text += QStringLiteral("===== 大津波警報  3メートル以上 =====") + kCrLf;
      else if (body == u"津波警報")
        text += QStringLiteral("=====  津波警報   1～2メートル  =====") + kCrLf;
      else if (body == u"津波注意報")
        text += QStringLiteral("===== 津波注意報    50センチ    =====") + kCrLf;
      last = Last::Heading;
    } else {
      if (last == Last::Region) text += u'、';
      if (m == u'*') {
        text += QStringLiteral("[!]");
        immediate = true;
      }
      text += body;
      last = Last::Region;
    }
  }
  if (immediate)
    text = QStringLiteral("[!]マークの沿岸では、直ちに津波が来襲すると予想されます。") + kCrLf + kCrLf + text;
  return text;
}

QString TsunamiInstructionText(const QString& data) {
  const QString head = data.left(5);
  const QString major = QStringLiteral("大津波・津波警報が発令された沿岸では、") + kCrLf +
                        QStringLiteral("安全な高台などへ避難してください。") + kCrLf + kCrLf;
  const QString warning = QStringLiteral("津波警報が発令された沿岸では、") + kCrLf +
                          QStringLiteral("安全な高台などへ避難してください。") + kCrLf + kCrLf;
  const QString advisory = QStringLiteral("津波注意報が発令された沿岸では、") + kCrLf +
                           QStringLiteral("十分に注意してください。") + kCrLf + kCrLf;
  const QString cancelled = QStringLiteral("津波予報は全て解除されました。") + kCrLf + kCrLf + kCrLf;
  QString text;
  if (head == u"-大津波警")
    text = major;
  else if (head == u"-津波警報")
    text = warning;
  else if (head == u"-津波注意")
    text = advisory;
  else if (head == u"解除")
    text = cancelled;
  else if (data.contains(u"大津波警報"))
    text = major;
  else if (data.contains(u"津波警報"))
    text = warning;
  else if (data.contains(u"津波注意報"))
    text = advisory;
  else if (data.contains(u"解除"))
    text = cancelled;
  return text + QStringLiteral("稀に正しく表示されないことがあるため、") + kCrLf +
         QStringLiteral("必ず気象庁サイト・テレビ等で確認してください。");
}

}  // namespace orva::quake
