#pragma once
// The settings record of the client and its INI file Orva_Client.ini.
#include <QString>

#include <memory>
#include <vector>

#include "platform/ini_file.h"

namespace orva {

// One INI file.
class cProfileSection;
class cProfile {
 public:
  // Full path of the file; set once, right after creation.
  QString Name;
  // A new section object bound to this file; throws ProfileError
  // (0x80040201) while Name is empty.
  cProfileSection Section(const QString& sectionName) const;
};

struct ProfileError : std::runtime_error {
  explicit ProfileError(unsigned code) : std::runtime_error("profile error"), code(code) {}
  unsigned code;
};

// One section of one INI file.
class cProfileSection {
 public:
  // Binds the object; only takes effect while the section name is empty.
  void internalInitialize(const QString& fileName, const QString& sectionName);

  QString StringValue(const QString& key, const QString& defaultValue) const;
  void SetStringValue(const QString& key, const QString& value) const;
  qint64 LongValue(const QString& key, qint64 defaultValue) const;
  void SetLongValue(const QString& key, qint32 value) const;
  // True when the key is present in the section.
  bool HasKey(const QString& key) const;

  const QString& FileName() const { return fileName_; }
  const QString& SectionName() const { return sectionName_; }

 private:
  QString fileName_;
  QString sectionName_;
};

struct Settings {
  float Software_Version = 2.0f;
  qint32 LogLevel = 1;
  // Connection/接続
  quint8 Auto_Connect = 1;
  quint8 Use_UPnP = 1;
  quint8 In_TaskTray = 1;
  quint8 Port_Listen = 1;
  qint32 Listen_Port = 6911;
  qint32 Peer_Socket = 7;
  qint16 Peer_Timeout = 1000;
  qint16 Server_Timeout = 2000;
  // AutoUpdate/自動更新
  quint8 Update_Use = 1;
  quint8 SoftwareStart_Check = 0;
  quint8 Regulation_Check = 0;
  quint8 Before_Prompt = 0;
  quint8 Modify_Prompt = 1;
  // Quake/地震情報
  quint8 Quake_NoVerify = 0;
  quint8 Quake_View = 1;
  quint8 Quake_Map = 1;
  quint8 Quake_MapJMAOnly = 0;
  quint8 Quake_Sound = 1;
  quint8 Quake_ChangeSound = 1;
  quint8 Quake_LevelSpec = 0;
  quint8 Quake_RefreshSound = 0;
  qint32 Quake_Level = 3;
  quint8 Quake_TopMost = 0;
  quint8 Quake_NoFocus = 0;
  quint8 Quake_Scroll = 0;
  qint32 Quake_ScrollInt = 10;
  qint32 Quake_ScrollSpd = 2;
  qint32 Quake_ViewCount = 2;
  qint32 Quake_ViewX = 0;
  qint32 Quake_ViewY = 0;
  // Tidalwave/津波予報
  quint8 Tidal_NoVefiry = 0;
  quint8 Tidal_View = 1;
  quint8 Tidal_Sound = 1;
  quint8 Tidal_RenewSound = 1;
  quint8 Tidal_CancelSound = 0;
  quint8 Tidal_TopMost = 0;
  quint8 Tidal_NoFocus = 0;
  // Area/地域
  qint16 Area_Code = 901;
  // Sound/サウンド
  qint16 Snd_Volume = 100;
  // UserQuake/地震感知情報
  quint8 UQuake_TrayLeftC = 0;
  quint8 UQuake_TrayLeftDC = 0;
  quint8 UQuake_TrayCenterC = 0;
  quint8 UQuake_TrayCenterDC = 0;
  quint8 UQuake_TrayRightDC = 0;
  quint8 UQuake_TrayPopup = 0;
  quint8 UQuake_NoVerify = 0;
  quint8 UQuake_View = 1;
  quint8 UQuake_NewJudge = 1;
  quint8 UQuake_NewJudgePer = 3;
  quint8 UQuake_PerView = 1;
  quint8 UQuake_ViewPer = 2;
  quint8 UQuake_PerSound = 1;
  quint8 UQuake_SoundPer = 3;
  quint8 UQuake_BeforeNotify = 0;
  quint8 UQuake_AfterNotify = 1;
  quint8 UQuake_TopMost = 0;
  quint8 UQuake_NoFocus = 0;
  // Plugin/プラグイン
  quint8 UsePelion = 1;
  // WrenB
  quint8 UseEEW = 0;
};

// The build revision and the version number it writes ("3." + four digits).
constexpr int kBuildRevision = 1011;
QString BuildVersionText();   // "3.1011"
double BuildVersionNumber();  // 3.1011

inline const QString kSettingsFileName = QStringLiteral("Orva_Client.ini");

// Kinds of settings fields.
enum class SettingKind { Flag, Count8, Int16, Int32, Float };

struct SettingKey {
  const char* section;  // UTF-8; stored in code page 932
  const char* key;
  SettingKind kind;
  bool saved;
};

// Every key in the order in which it is read and written.
const std::vector<SettingKey>& SettingKeys();

// Fills `settings` from the file `folder` + Orva_Client.ini. A missing file
// or key, or a value that does not fit its field, takes the default.
void LoadSettings(const QString& programFolder, Settings& settings);
// Writes every saved key, and Software_Version as BuildVersionText().
void SaveSettings(const QString& programFolder, const Settings& settings);

}  // namespace orva
