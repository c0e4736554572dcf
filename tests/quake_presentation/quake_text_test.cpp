// Texts of quake and tsunami bulletins.
#include <gtest/gtest.h>

#include "client/core/settings.h"
#include "client/quake/quake_text.h"
#include "qstring_print.h"

namespace orva::quake {
namespace {

const QString CRLF = QStringLiteral("\r\n");

QStringList Header(const QString& text) { return text.split(u','); }

TEST(MunicipalityName, CutsAfterVillageTownCityWard) {
  const std::pair<const char*, const char*> cases[] = {
      {"稚内市宗谷岬", "稚内市"},   {"大崎市古川三日町", "大崎市"}, {"仙台宮城野区五輪", "仙台宮城野区"},
      {"大衡村大衡", "大衡村"},     {"涌谷町新町", "涌谷町"},       {"渡島支庁北部", "渡島支庁北部"},
      {"東京千代田区大手町", "東京千代田区"}, {"", ""}};
  for (const auto& [in, out] : cases) EXPECT_EQ(MunicipalityName(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}

TEST(MunicipalityName, KnownPlacesMendCutsThatNameNoPlace) {
  const QStringList rows = {QStringLiteral("田村市"), QStringLiteral("町田市"), QStringLiteral("四日市市"),
                            QStringLiteral("稚内市"), QStringLiteral("東村"), QStringLiteral("大崎市")};
  const KnownPlace known = [&rows](const QString& n) { return rows.contains(n); };
  const std::pair<const char*, const char*> cases[] = {
      {"田村市船引町", "田村市"},  // the plain cut stops at 村
      {"町田市中町", "町田市"},    // ... and at a leading 町
      {"四日市市日永", "四日市市"},
      {"稚内市宗谷岬", "稚内市"},  // the plain cut already names a place
      {"東村山市本町", "東村"},    // a known plain cut is kept
      {"大崎市古川三日町", "大崎市"},
      {"渡島支庁北部", "渡島支庁北部"},
      {"知らない町北", "知らない町"},  // no known start: the plain cut
      {"", ""}};
  for (const auto& [in, out] : cases)
    EXPECT_EQ(MunicipalityName(QString::fromUtf8(in), known), QString::fromUtf8(out)) << in;
  EXPECT_EQ(MunicipalityName(QStringLiteral("田村市船引町"), KnownPlace{}), QStringLiteral("田村"));
  EXPECT_EQ(DetailText(QStringLiteral("-福島県,+5弱,*田村市船引町,*田村市常葉町"), true, QStringLiteral("4"), known),
            QStringLiteral("[福島県]震度5弱：田村市"));
}

TEST(DetailText, Cases) {
  struct Case {
    const char* points;
    bool breaks;
    const char* kind;
    const char* expected;
  };
  const Case cases[] = {
      {"-宮城県,+5強,*仙台市,*石巻市,+4,*白石市", true, "3", "[宮城県]震度5強：仙台市 石巻市   震度4：白石市"},
      {"-宮城県,+5強,*仙台市,-岩手県,+4,*盛岡市", true, "3", "[宮城県]震度5強：仙台市\r\n[岩手県]震度4：盛岡市"},
      {"-宮城県,+5強,*仙台市,-岩手県,+4,*盛岡市", false, "3", "[宮城県]震度5強：仙台市     [岩手県]震度4：盛岡市"},
      // the same place under a second intensity is listed once, under the
      // first; the skipped entry still counts as a place written last
      {"-宮城県,+5強,*仙台市,+4,*仙台市,*白石市", true, "3", "[宮城県]震度5強：仙台市   震度4： 白石市"},
      // stations of one municipality in a detailed bulletin collapse into it
      {"-宮城県,+6弱,*大崎市古川三日町,*大崎市鹿島台,*登米市迫町", true, "4", "[宮城県]震度6弱：大崎市 登米市"},
      // a place whose name is part of another's is still listed
      {"-広島県,+3,*広島府中市,*府中市", true, "3", "[広島県]震度3：広島府中市 府中市"},
      // unknown markers and empty entries are skipped
      {"-A,?junk,,+3,*x", true, "3", "[A]震度3：x"},
      {"", true, "3", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DetailText(QString::fromUtf8(c.points), c.breaks, QString::fromUtf8(c.kind)), QString::fromUtf8(c.expected))
        << c.points;
}

TEST(QuakeLabels, FromHeader) {
  const QuakeLabels l = MakeQuakeLabels(Header(QStringLiteral("12日05時17分,6強,1,4,宮城県沖,40km,7.4,3,北緯38.3度,東経141.9度,気象庁")));
  EXPECT_EQ(l.kind, QStringLiteral("地震情報"));
  EXPECT_EQ(l.time, QStringLiteral("12日05時17分 震度・震源訂正 （最大震度6強）"));
  EXPECT_EQ(l.epicentre, QStringLiteral("宮城県沖　(北緯38.3度 東経141.9度)"));
  EXPECT_EQ(l.depth, QStringLiteral("40km"));
  EXPECT_EQ(l.magnitude, QStringLiteral("マグニチュード7.4"));
  EXPECT_EQ(l.tsunami, QStringLiteral("津波予報 発表中"));
  EXPECT_TRUE(l.tsunamiRed);
  EXPECT_EQ(l.office, QStringLiteral("気象庁"));
  EXPECT_EQ(WindowTitle(l.kind, l.office), QStringLiteral("地震情報（発表：気象庁）"));
}

TEST(QuakeLabels, EmptyFieldsAndFlash) {
  QuakeLabels l = MakeQuakeLabels(Header(QStringLiteral(",,0,2,,,,0,,,")));
  EXPECT_EQ(l.time, QStringLiteral("発生時刻不明"));
  EXPECT_EQ(l.epicentre, QStringLiteral("不明"));
  EXPECT_EQ(l.depth, QStringLiteral("不明"));
  EXPECT_EQ(l.magnitude, QStringLiteral("不明"));
  EXPECT_EQ(l.tsunami, QStringLiteral("心配はありません"));
  EXPECT_FALSE(l.tsunamiRed);
  EXPECT_EQ(l.office, QStringLiteral("発表管区不明"));
  // the position is only shown after a named epicentre
  l = MakeQuakeLabels(Header(QStringLiteral("1日,3,2,3,,10km,4.0,1,北緯1度,東経2度,x")));
  EXPECT_EQ(l.epicentre, QStringLiteral("不明"));
  EXPECT_EQ(l.time, QStringLiteral("1日 震度訂正 （最大震度3）"));
  EXPECT_EQ(l.tsunami, QStringLiteral("不明（震源調査中）"));
  // an intensity flash hides what H4 to H6 carry
  l = MakeQuakeLabels(Header(QStringLiteral("1日,3,3,1,宮城県沖,10km,4.0,0,,,x")));
  EXPECT_EQ(l.kind, QStringLiteral("震度速報"));
  EXPECT_EQ(l.epicentre, QStringLiteral("調査中"));
  EXPECT_EQ(l.depth, QStringLiteral("--"));
  EXPECT_EQ(l.magnitude, QStringLiteral("--"));
  EXPECT_EQ(l.tsunami, QStringLiteral("不明"));
  // an unknown kind names none (the window keeps the one it showed)
  EXPECT_TRUE(MakeQuakeLabels(Header(QStringLiteral("1日,3,0,9,,,,0,,,x"))).kind.isEmpty());
  EXPECT_TRUE(MakeQuakeLabels(Header(QStringLiteral("1日,3,0,04,,,,0,,,x"))).kind.isEmpty());
}

TEST(QuakeLabels, CopyText) {
  const QuakeLabels l = MakeQuakeLabels(Header(QStringLiteral("1日,3,0,3,宮城県沖,10km,4.0,0,,,x")));
  EXPECT_EQ(CopyText(l, QStringLiteral("[宮城県]震度3：仙台市")),
            QStringLiteral("地震情報 - 1日（最大震度3） 震源:宮城県沖 (深さ10km,マグニチュード4.0) 津波:心配はありません") + CRLF +
                QString(50, u'-') + CRLF + QStringLiteral("[宮城県]震度3：仙台市"));
}

TEST(Ticker, Sentence) {
  EXPECT_EQ(TickerSentence(Header(QStringLiteral("12日05時17分,5強,0,3,宮城県沖,40km,7.4,1,,,気象庁")),
                           QStringLiteral("-宮城県,+5強,*仙台市,-岩手県,+4,*盛岡市")),
            QStringLiteral("12日05時17分、震度5強の地震がありました。地震による津波の心配はありません。 震源地は宮城県沖で、"
                           "深さは40km、マグニチュードは7.4と推定されます。 震度が訂正されました。  [宮城県]震度5強：仙台市     "
                           "[岩手県]震度4：盛岡市"));
  const std::pair<const char*, const char*> tsunami[] = {
      {"1", "現在、津波予報が発表されています。"}, {"2", "震源・津波の有無は現在調査中です。"},
      {"3", "津波の有無に関しては不明です。"}, {"7", ""}};
  for (const auto& [code, text] : tsunami)
    EXPECT_EQ(TickerSentence(Header(QStringLiteral("1日,3,%1,1,,,,3,,,x").arg(QLatin1String(code))), QString()),
              QStringLiteral("1日、震度3の地震がありました。") + QString::fromUtf8(text) + QStringLiteral("  "));
  EXPECT_EQ(TickerHeader(Header(QStringLiteral("1日,5弱,0,1,,,,0,,,x"))), QStringLiteral("震度5弱||"));
  EXPECT_EQ(TickerHeader(Header(QStringLiteral("1日,5弱,1,1,,,,0,,,x"))), QStringLiteral("<<津波>>"));
  EXPECT_EQ(TickerTitle(Header(QStringLiteral("1日,5弱,1,1,,,,0,,,気象庁"))), QStringLiteral("地震情報　1日ごろ 最大震度5弱(気象庁発表)"));
  EXPECT_EQ(TickerTitle(Header(QStringLiteral("1日,5弱,1,1,,,,0,,,"))), QStringLiteral("地震情報　1日ごろ 最大震度5弱"));
}

TEST(Ticker, LineBreaking) {
  struct Case {
    QString text;
    bool scroll;
    QStringList lines;
  };
  const QString a34 = QString(34, u'あ');
  const Case cases[] = {
      // fits at once: one line
      {QString(42, u'あ'), false, {QString(42, u'あ')}},
      // a blank among characters 34..41 ends the line, the blank included
      {QString(33, u'あ') + QStringLiteral("い う") + QString(20, u'え'), false,
       {QString(33, u'あ') + QStringLiteral("い "), QStringLiteral("う") + QString(20, u'え')}},
      // no blank: "、" is taken, though a "。" comes first
      {a34 + QStringLiteral("。い、") + QString(20, u'う'), false,
       {a34 + QStringLiteral("。い、"), QString(20, u'う')}},
      // a blank before character 34 does not count
      {QStringLiteral("あ ") + QString(32, u'い') + QString(20, u'う'), false,
       {QStringLiteral("あ ") + QString(32, u'い') + QString(7, u'う'), QString(13, u'う')}},
      // none of the three: 41 characters, then on from character 42
      {QString(100, u'あ'), false, {QString(41, u'あ'), QString(41, u'あ'), QString(18, u'あ')}},
      // scroll mode: 420 + 40
      {QString(460, u'あ'), true, {QString(460, u'あ')}},
      {QString(419, u'あ') + u' ' + QString(100, u'い'), true, {QString(419, u'あ') + u' ', QString(100, u'い')}},
      {QString(), false, {QString()}},
  };
  for (const Case& c : cases) EXPECT_EQ(BreakTickerLines(c.text, c.scroll), c.lines) << c.text.toStdString();
}

TEST(PresentationTest, Cases) {
  struct Case {
    int view, levelSpec, level;
    const char* greatest;
    std::optional<bool> expected;
  };
  const Case cases[] = {
      {1, 0, 9, "1", true},      {0, 0, 1, "7", false},     {0, 1, 1, "junk", false},
      {1, 1, 8, "6弱", false},   {1, 1, 8, "6強", true},    {1, 1, 8, "7", true},
      {1, 1, 4, "3以上", false}, {1, 1, 3, "3以上", true},  {1, 1, 9, "不明", true},
      {1, 1, 5, "5弱", true},    {1, 1, 6, "5弱", false},   {1, 1, 1, "", std::nullopt},
      {1, 1, 1, "8", std::nullopt}, {1, 0, 1, "junk", true},
  };
  for (const Case& c : cases) {
    Settings s;
    s.Quake_View = quint8(c.view);
    s.Quake_LevelSpec = quint8(c.levelSpec);
    s.Quake_Level = c.level;
    EXPECT_EQ(ShouldPresentQuake(s, Header(QStringLiteral("1日,%1,0,1,,,,0,,,x").arg(QString::fromUtf8(c.greatest)))),
              c.expected)
        << c.greatest << " level " << c.level;
  }
}

TEST(QuakeSound, CodeByGreatestIntensity) {
  const std::pair<const char*, const char*> cases[] = {
      {"1", "1"}, {"2", "1"}, {"3", "2"}, {"4", "2"}, {"5弱", "3"}, {"5強", "3"},
      {"6弱", "4"}, {"6強", "4"}, {"7", "4"}, {"3以上", "0"}, {"不明", "0"}, {"", "0"}};
  Settings s;
  for (const auto& [g, code] : cases) EXPECT_EQ(QuakeSoundCode(s, QString::fromUtf8(g)), QLatin1String(code)) << g;
  s.Quake_ChangeSound = 0;
  EXPECT_EQ(QuakeSoundCode(s, QStringLiteral("7")), QStringLiteral("1"));
  EXPECT_EQ(QuakeSoundCode(s, QStringLiteral("不明")), QStringLiteral("1"));
}

TEST(TsunamiText, Bulletin) {
  const QString advisory = QStringLiteral("===== 津波注意報    50センチ    =====");
  const QString warning = QStringLiteral("=====  津波警報   1～2メートル  =====");
  const QString note = QStringLiteral("[!]マークの沿岸では、直ちに津波が来襲すると予想されます。") + CRLF + CRLF;
  const std::pair<QString, QString> cases[] = {
      {QStringLiteral("-津波注意報,+A,+B"), advisory + CRLF + QStringLiteral("A、B")},
      {QStringLiteral("-津波警報,*宮城県,+岩手県,-津波注意報,+青森県"),
       note + warning + CRLF + QStringLiteral("[!]宮城県、岩手県") + CRLF + CRLF + advisory + CRLF + QStringLiteral("青森県")},
      // two headings in a row: one empty line between them
      {QStringLiteral("-大津波警報,-津波警報,+X"),
       QStringLiteral("===== 大津波警報  3メートル以上 =====") + CRLF + CRLF + CRLF + warning + CRLF + QStringLiteral("X")},
      // an unknown level adds no heading; its regions are still listed
      {QStringLiteral("-高潮,+X,+Y"), QStringLiteral("X、Y")},
      {QStringLiteral("解除"), QStringLiteral("===== 津波予報は解除されました  =====") + CRLF +
                                   QStringLiteral("津波予報は、全て解除されました。") + CRLF + CRLF +
                                   QStringLiteral("若干の海面変動が続くことがありますが、被害の心配はありません。")},
  };
  for (const auto& [data, text] : cases) EXPECT_EQ(TsunamiBulletinText(data), text) << data.toStdString();
}

TEST(TsunamiText, Instruction) {
  const QString tail = QStringLiteral("稀に正しく表示されないことがあるため、") + CRLF +
                       QStringLiteral("必ず気象庁サイト・テレビ等で確認してください。");
  const QString major = QStringLiteral("大津波・津波警報が発令された沿岸では、") + CRLF +
                        QStringLiteral("安全な高台などへ避難してください。") + CRLF + CRLF;
  const QString warning = QStringLiteral("津波警報が発令された沿岸では、") + CRLF +
                          QStringLiteral("安全な高台などへ避難してください。") + CRLF + CRLF;
  const QString advisory = QStringLiteral("津波注意報が発令された沿岸では、") + CRLF +
                           QStringLiteral("十分に注意してください。") + CRLF + CRLF;
  const QString cancelled = QStringLiteral("津波予報は全て解除されました。") + CRLF + CRLF + CRLF;
  const std::pair<QString, QString> cases[] = {
      {QStringLiteral("-大津波警報,+A"), major},
      {QStringLiteral("-津波警報,+A,-大津波警報,+B"), warning},  // the first five characters decide
      {QStringLiteral("-津波注意報,+A,-大津波警報,+B"), advisory},
      {QStringLiteral("解除"), cancelled},
      {QStringLiteral("+A,-津波注意報,+B,-大津波警報,+C"), major},  // else the strongest name found
      {QStringLiteral("+A,-津波注意報,+B"), advisory},
      {QStringLiteral("+A"), QString()},
  };
  for (const auto& [data, text] : cases) EXPECT_EQ(TsunamiInstructionText(data), text + tail) << data.toStdString();
}

}  // namespace
}  // namespace orva::quake
