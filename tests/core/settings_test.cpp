#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "client/core/settings.h"
#include "platform/cp932.h"
#include "platform/ini_file.h"

using namespace orva;

namespace {

class SettingsFile : public ::testing::Test {
 protected:
  QString Folder() const { return dir_.path() + QLatin1Char('/'); }
  QString Path() const { return Folder() + kSettingsFileName; }
  void Write(const QString& utf8Text) {
    QFile f(Path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(cp932::fromUnicode(utf8Text));
  }
  QByteArray Read() const {
    QFile f(Path());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QTemporaryDir dir_;
};

}  // namespace

TEST_F(SettingsFile, MissingFileGivesEveryDefault) {
  Settings s;
  s.Listen_Port = 1;
  LoadSettings(Folder(), s);
  EXPECT_FLOAT_EQ(s.Software_Version, 2.0f);
  EXPECT_EQ(s.Listen_Port, 6911);
  EXPECT_EQ(s.Peer_Socket, 7);
  EXPECT_EQ(s.Area_Code, 901);
  EXPECT_EQ(s.UQuake_NewJudgePer, 3);
  EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(SettingsFile, ValuesThatDoNotFitTheirFieldAreTreatedAsMissing) {
  Write(QStringLiteral("[Connection/接続]\r\nAuto_Connect=256\r\nListen_Port=-5\r\nPeer_Socket=7000\r\n"
                       "Server_Timeout=40000\r\nPeer_Timeout=abc\r\nUse_UPnP=0\r\n"
                       "[Area/地域]\r\nArea_Code=250\r\n[UserQuake/地震感知情報]\r\nUQuake_ViewPer=200\r\n"));
  Settings s;
  LoadSettings(Folder(), s);
  EXPECT_EQ(s.Auto_Connect, 1);       // 256 does not fit a flag
  EXPECT_EQ(s.Listen_Port, 6911);     // no port is negative
  EXPECT_EQ(s.Peer_Socket, 7);        // more slots than a link table holds
  EXPECT_EQ(s.Server_Timeout, 2000);  // beyond a 16-bit field
  EXPECT_EQ(s.Peer_Timeout, 0);       // not a number reads as 0
  EXPECT_EQ(s.Use_UPnP, 0);
  EXPECT_EQ(s.Area_Code, 250);
  EXPECT_EQ(s.UQuake_ViewPer, 200);
}

TEST_F(SettingsFile, SectionsMatchAsWholeNamesIncludingTheJapaneseHalf) {
  Write(QStringLiteral("[Connection]\r\nListen_Port=7000\r\n[connection/接続]\r\npeer_socket=9\r\n"));
  Settings s;
  LoadSettings(Folder(), s);
  EXPECT_EQ(s.Listen_Port, 6911);
  EXPECT_EQ(s.Peer_Socket, 9);
}

TEST_F(SettingsFile, SaveWritesBuildVersionAndKeepsHandWrittenKeys) {
  Write(QStringLiteral("; my notes\r\n[Version/バージョン]\r\nSoftware_Version=3.1000\r\n"
                       "[System/システム]\r\nLogLevel=0\r\n[Quake/地震情報]\r\nQuake_RefreshSound=1\r\n"));
  Settings s;
  LoadSettings(Folder(), s);
  EXPECT_NEAR(s.Software_Version, 3.1f, 1e-6);
  EXPECT_EQ(s.LogLevel, 0);
  EXPECT_EQ(s.Quake_RefreshSound, 1);
  s.Quake_RefreshSound = 0;
  s.LogLevel = 4;
  s.Quake_Sound = 9;  // a flag is written as 0 or 1
  SaveSettings(Folder(), s);

  const QByteArray bytes = Read();
  EXPECT_TRUE(bytes.startsWith("; my notes\r\n"));
  EXPECT_TRUE(bytes.contains("Software_Version=3.1011\r\n"));
  EXPECT_TRUE(bytes.contains("LogLevel=0\r\n"));
  EXPECT_TRUE(bytes.contains("Quake_RefreshSound=1\r\n"));
  EXPECT_TRUE(bytes.contains("Quake_Sound=1\r\n"));
  EXPECT_TRUE(bytes.contains("[" + cp932::fromUnicode(QStringLiteral("UserQuake/地震感知情報")) + "]\r\n"));
  EXPECT_TRUE(bytes.contains("[WrenB]\r\nUseEEW=0\r\n"));

  Settings again;
  LoadSettings(Folder(), again);
  EXPECT_NEAR(again.Software_Version, BuildVersionNumber(), 1e-4);
  EXPECT_FALSE(BuildVersionNumber() > static_cast<double>(again.Software_Version) + 1e-6);
}

TEST_F(SettingsFile, SaveWritesEverySavedKeyInTableOrder) {
  Settings s;
  SaveSettings(Folder(), s);
  const QString text = cp932::toUnicode(Read());
  qsizetype last = -1;
  for (const SettingKey& k : SettingKeys()) {
    const QString needle = QString::fromUtf8(k.key) + QLatin1Char('=');
    const qsizetype at = text.indexOf(needle);
    if (!k.saved) {
      EXPECT_EQ(at, -1) << k.key;
      continue;
    }
    EXPECT_GT(at, last) << k.key;
    last = at;
  }
  EXPECT_TRUE(text.contains(QStringLiteral("Tidal_NoVefiry=0")));
}

TEST_F(SettingsFile, FileWithoutVersionReadsAsVersionTwo) {
  Write(QStringLiteral("[Connection/接続]\r\nAuto_Connect=0\r\n"));
  Settings s;
  LoadSettings(Folder(), s);
  EXPECT_FLOAT_EQ(s.Software_Version, 2.0f);
  EXPECT_EQ(s.LogLevel, 1);
  EXPECT_EQ(s.Auto_Connect, 0);
}

TEST(Profile, SectionWithoutNameFailsAndBoundSectionStaysBound) {
  cProfile p;
  try {
    p.Section(QStringLiteral("S"));
    FAIL() << "no error";
  } catch (const ProfileError& e) {
    EXPECT_EQ(e.code, 0x80040201u);
  }
  p.Name = QStringLiteral("/tmp/x.ini");
  cProfileSection s = p.Section(QStringLiteral("A"));
  s.internalInitialize(QStringLiteral("/tmp/y.ini"), QStringLiteral("B"));
  EXPECT_EQ(s.SectionName(), QStringLiteral("A"));
  EXPECT_EQ(s.FileName(), QStringLiteral("/tmp/x.ini"));
}
