#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/cp932.h"
#include "platform/ini_file.h"

using namespace orva;

namespace {
QByteArray Sjis(const char* utf8) { return cp932::fromUnicode(QString::fromUtf8(utf8)); }
}  // namespace

TEST(IniDocument, ReadsLikeThePrivateProfileRoutines) {
  const QByteArray file = "; comment\r\n[Connection/" + Sjis("接続") + "]\r\n"
                          "listen_port = 7000 \r\n"
                          "Quoted=\"a b\"\r\n"
                          "Empty=\r\n"
                          "[Other]\r\nListen_Port=1\r\n";
  const IniDocument doc(file);
  struct Case {
    const char* section;
    const char* key;
    std::optional<QString> expected;
  } cases[] = {
      {"Connection/接続", "Listen_Port", QStringLiteral("7000")},
      {"CONNECTION/接続", "LISTEN_PORT", QStringLiteral("7000")},  // ASCII case ignored
      {"Connection/接続", "Quoted", QStringLiteral("a b")},
      {"Connection/接続", "Empty", QString()},
      {"Connection", "Listen_Port", std::nullopt},  // the Japanese half is part of the name
      {"Connection/接続", "Missing", std::nullopt},
      {"Other", "listen_port", QStringLiteral("1")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(doc.Value(QString::fromUtf8(c.section), QString::fromUtf8(c.key)), c.expected);
  }
}

TEST(IniDocument, WritesKeepEveryOtherLine) {
  const QByteArray original = "; keep me\r\n[A]\r\nx=1\r\n  odd line  \r\n\r\n[B]\r\ny=2\r\n";
  IniDocument doc(original);
  doc.SetValue(QStringLiteral("a"), QStringLiteral("X"), QStringLiteral("5"));
  doc.SetValue(QStringLiteral("A"), QStringLiteral("z"), QStringLiteral("9"));
  doc.SetValue(QStringLiteral("C/地域"), QStringLiteral("k"), QStringLiteral("v"));
  EXPECT_EQ(doc.Bytes(), "; keep me\r\n[A]\r\nX=5\r\n  odd line  \r\nz=9\r\n\r\n[B]\r\ny=2\r\n[C/" + Sjis("地域") +
                             "]\r\nk=v\r\n");
}

TEST(IniDocument, FileWithoutFinalLineBreakGetsOneBeforeNewSection) {
  IniDocument doc(QByteArray("[A]\r\nx=1"));
  doc.SetValue(QStringLiteral("B"), QStringLiteral("y"), QStringLiteral("2"));
  EXPECT_EQ(doc.Bytes(), QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n"));
}

TEST(ProfileCalls, LongValuesAreCutAndIntegersReadFromLeadingDigits) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("t.ini"));
  ASSERT_TRUE(WriteProfileString(path, QStringLiteral("S"), QStringLiteral("long"), QString(1500, QLatin1Char('x'))));
  EXPECT_EQ(GetProfileString(path, QStringLiteral("S"), QStringLiteral("long"), {}).size(), 1023);
  EXPECT_EQ(GetProfileString(path, QStringLiteral("S"), QStringLiteral("none"), QStringLiteral("d")), QStringLiteral("d"));

  struct {
    const char* text;
    qint64 value;
  } ints[] = {{"42", 42}, {"42abc", 42}, {"abc", 0}, {"", 0}, {"-7", -7}, {" 12 ", 12}};
  for (const auto& c : ints) EXPECT_EQ(LeadingInteger(QString::fromUtf8(c.text)), c.value) << c.text;
  EXPECT_EQ(GetProfileInt(path, QStringLiteral("S"), QStringLiteral("none"), 77), 77);
}

TEST(ProfileCalls, FileNamesMatchWithoutRegardToCase) {
  QTemporaryDir dir;
  QFile f(dir.filePath(QStringLiteral("ORVA_client.INI")));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  EXPECT_FALSE(FindFileNoCase(dir.path(), QStringLiteral("orva_client.ini")).isEmpty());
  EXPECT_TRUE(FindFileNoCase(dir.path(), QStringLiteral("other.ini")).isEmpty());
}
