#include "settings.h"

#include <limits>
#include <variant>

#include "platform/ini_file.h"

namespace orva {

cProfileSection cProfile::Section(const QString& sectionName) const {
  if (Name.isEmpty()) throw ProfileError(0x80040201u);
  cProfileSection s;
  s.internalInitialize(Name, sectionName);
  return s;
}

void cProfileSection::internalInitialize(const QString& fileName, const QString& sectionName) {
  if (!sectionName_.isEmpty()) return;
  fileName_ = fileName;
  sectionName_ = sectionName;
}

QString cProfileSection::StringValue(const QString& key, const QString& defaultValue) const {
  return GetProfileString(fileName_, sectionName_, key, defaultValue);
}

void cProfileSection::SetStringValue(const QString& key, const QString& value) const {
  WriteProfileString(fileName_, sectionName_, key, value);
}

qint64 cProfileSection::LongValue(const QString& key, qint64 defaultValue) const {
  return GetProfileInt(fileName_, sectionName_, key, defaultValue);
}

void cProfileSection::SetLongValue(const QString& key, qint32 value) const {
  SetStringValue(key, QString::number(value));
}

bool cProfileSection::HasKey(const QString& key) const {
  return IniDocument::LoadFile(fileName_).Value(sectionName_, key).has_value();
}

QString BuildVersionText() {
  return QStringLiteral("3.") + QStringLiteral("%1").arg(kBuildRevision, 4, 10, QLatin1Char('0'));
}

double BuildVersionNumber() { return BuildVersionText().toDouble(); }

namespace {

using Field = std::variant<quint8 Settings::*, qint16 Settings::*, qint32 Settings::*>;

struct Entry {
  SettingKey key;
  Field field;
  qint64 min;  // values outside [min, max] are treated like a missing key
  qint64 max;
};

constexpr const char* kVersion = "Version/バージョン";
constexpr const char* kSystem = "System/システム";
constexpr const char* kConnection = "Connection/接続";
constexpr const char* kAutoUpdate = "AutoUpdate/自動更新";
constexpr const char* kQuake = "Quake/地震情報";
constexpr const char* kTidal = "Tidalwave/津波予報";
constexpr const char* kArea = "Area/地域";
constexpr const char* kSound = "Sound/サウンド";
constexpr const char* kUserQuake = "UserQuake/地震感知情報";
constexpr const char* kPlugin = "Plugin/プラグイン";
constexpr const char* kWren = "WrenB";

constexpr qint64 kI16Min = std::numeric_limits<qint16>::min();
constexpr qint64 kI16Max = std::numeric_limits<qint16>::max();
constexpr qint64 kI32Min = std::numeric_limits<qint32>::min();
constexpr qint64 kI32Max = std::numeric_limits<qint32>::max();

#define ORVA_FLAG(sec, name) Entry{{sec, #name, SettingKind::Flag, true}, &Settings::name, 0, 255}
#define ORVA_COUNT(sec, name) Entry{{sec, #name, SettingKind::Count8, true}, &Settings::name, 0, 255}
#define ORVA_I16(sec, name, lo, hi) Entry{{sec, #name, SettingKind::Int16, true}, &Settings::name, lo, hi}
#define ORVA_I32(sec, name, lo, hi) Entry{{sec, #name, SettingKind::Int32, true}, &Settings::name, lo, hi}

// Software_Version is handled on its own (a decimal fraction read as text).
const std::vector<Entry>& Entries() {
  static const std::vector<Entry> entries = {
      Entry{{kSystem, "LogLevel", SettingKind::Int32, false}, &Settings::LogLevel, kI32Min, kI32Max},
      ORVA_FLAG(kConnection, Auto_Connect),
      ORVA_FLAG(kConnection, Use_UPnP),
      ORVA_FLAG(kConnection, In_TaskTray),
      ORVA_FLAG(kConnection, Port_Listen),
      // A port or slot count outside what a socket can use is no value at all.
      ORVA_I32(kConnection, Listen_Port, 1, 65535),
      ORVA_I32(kConnection, Peer_Socket, 1, 255),
      ORVA_I16(kConnection, Peer_Timeout, 0, kI16Max),
      ORVA_I16(kConnection, Server_Timeout, 0, kI16Max),
      ORVA_FLAG(kAutoUpdate, Update_Use),
      ORVA_FLAG(kAutoUpdate, SoftwareStart_Check),
      ORVA_FLAG(kAutoUpdate, Regulation_Check),
      ORVA_FLAG(kAutoUpdate, Before_Prompt),
      ORVA_FLAG(kAutoUpdate, Modify_Prompt),
      ORVA_FLAG(kQuake, Quake_NoVerify),
      ORVA_FLAG(kQuake, Quake_View),
      ORVA_FLAG(kQuake, Quake_Map),
      ORVA_FLAG(kQuake, Quake_MapJMAOnly),
      ORVA_FLAG(kQuake, Quake_Sound),
      ORVA_FLAG(kQuake, Quake_ChangeSound),
      ORVA_FLAG(kQuake, Quake_LevelSpec),
      Entry{{kQuake, "Quake_RefreshSound", SettingKind::Flag, false}, &Settings::Quake_RefreshSound, 0, 255},
      ORVA_I32(kQuake, Quake_Level, kI32Min, kI32Max),
      ORVA_FLAG(kQuake, Quake_TopMost),
      ORVA_FLAG(kQuake, Quake_NoFocus),
      ORVA_FLAG(kQuake, Quake_Scroll),
      ORVA_I32(kQuake, Quake_ScrollInt, kI32Min, kI32Max),
      ORVA_I32(kQuake, Quake_ScrollSpd, kI32Min, kI32Max),
      ORVA_I32(kQuake, Quake_ViewCount, kI32Min, kI32Max),
      ORVA_I32(kQuake, Quake_ViewX, kI32Min, kI32Max),
      ORVA_I32(kQuake, Quake_ViewY, kI32Min, kI32Max),
      ORVA_FLAG(kTidal, Tidal_NoVefiry),
      ORVA_FLAG(kTidal, Tidal_View),
      ORVA_FLAG(kTidal, Tidal_Sound),
      ORVA_FLAG(kTidal, Tidal_RenewSound),
      ORVA_FLAG(kTidal, Tidal_CancelSound),
      ORVA_FLAG(kTidal, Tidal_TopMost),
      ORVA_FLAG(kTidal, Tidal_NoFocus),
      ORVA_I16(kArea, Area_Code, kI16Min, kI16Max),
      ORVA_I16(kSound, Snd_Volume, kI16Min, kI16Max),
      ORVA_FLAG(kUserQuake, UQuake_TrayLeftC),
      ORVA_FLAG(kUserQuake, UQuake_TrayLeftDC),
      ORVA_FLAG(kUserQuake, UQuake_TrayCenterC),
      ORVA_FLAG(kUserQuake, UQuake_TrayCenterDC),
      ORVA_FLAG(kUserQuake, UQuake_TrayRightDC),
      ORVA_FLAG(kUserQuake, UQuake_TrayPopup),
      ORVA_FLAG(kUserQuake, UQuake_NoVerify),
      ORVA_FLAG(kUserQuake, UQuake_View),
      ORVA_FLAG(kUserQuake, UQuake_NewJudge),
      ORVA_COUNT(kUserQuake, UQuake_NewJudgePer),
      ORVA_FLAG(kUserQuake, UQuake_PerView),
      ORVA_COUNT(kUserQuake, UQuake_ViewPer),
      ORVA_FLAG(kUserQuake, UQuake_PerSound),
      ORVA_COUNT(kUserQuake, UQuake_SoundPer),
      ORVA_FLAG(kUserQuake, UQuake_BeforeNotify),
      ORVA_FLAG(kUserQuake, UQuake_AfterNotify),
      ORVA_FLAG(kUserQuake, UQuake_TopMost),
      ORVA_FLAG(kUserQuake, UQuake_NoFocus),
      ORVA_FLAG(kPlugin, UsePelion),
      ORVA_FLAG(kWren, UseEEW),
  };
  return entries;
}

#undef ORVA_FLAG
#undef ORVA_COUNT
#undef ORVA_I16
#undef ORVA_I32

qint64 Get(const Settings& s, const Field& f) {
  return std::visit([&](auto member) -> qint64 { return s.*member; }, f);
}

void Set(Settings& s, const Field& f, qint64 v) {
  std::visit([&](auto member) { s.*member = static_cast<std::remove_reference_t<decltype(s.*member)>>(v); }, f);
}

}  // namespace

const std::vector<SettingKey>& SettingKeys() {
  static const std::vector<SettingKey> keys = [] {
    std::vector<SettingKey> k{{kVersion, "Software_Version", SettingKind::Float, true}};
    for (const Entry& e : Entries()) k.push_back(e.key);
    return k;
  }();
  return keys;
}

void LoadSettings(const QString& programFolder, Settings& settings) {
  const Settings defaults;
  cProfile profile;
  profile.Name = programFolder + kSettingsFileName;
  // One parse of the file serves every key; the lookups are the same as
  // one private-profile call per key.
  const IniDocument doc = IniDocument::LoadFile(profile.Name);

  const QString version =
      doc.Value(QString::fromUtf8(kVersion), QStringLiteral("Software_Version")).value_or(QStringLiteral("2"));
  bool ok = false;
  const float v = version.trimmed().toFloat(&ok);
  settings.Software_Version = ok ? v : defaults.Software_Version;

  for (const Entry& e : Entries()) {
    const auto text = doc.Value(QString::fromUtf8(e.key.section), QString::fromUtf8(e.key.key));
    qint64 value = Get(defaults, e.field);
    if (text) {
      const qint64 read = LeadingInteger(*text);
      if (read >= e.min && read <= e.max) value = read;
    }
    Set(settings, e.field, value);
  }
}

void SaveSettings(const QString& programFolder, const Settings& settings) {
  const QString path = programFolder + kSettingsFileName;
  IniDocument doc = IniDocument::LoadFile(path);
  doc.SetValue(QString::fromUtf8(kVersion), QStringLiteral("Software_Version"), BuildVersionText());
  for (const Entry& e : Entries()) {
    if (!e.key.saved) continue;
    qint64 value = Get(settings, e.field);
    if (e.key.kind == SettingKind::Flag) value = value != 0 ? 1 : 0;
    doc.SetValue(QString::fromUtf8(e.key.section), QString::fromUtf8(e.key.key), QString::number(value));
  }
  doc.SaveFile(path);
}

}  // namespace orva
