#include "client_node.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include "client/core/named_sound.h"
#include "client/core/ogg_player.h"
#include "platform/control_endpoint.h"
#include "platform/ini_file.h"
#include "platform/instance_lock.h"
#include "platform/launcher.h"
#include "platform/timing.h"

namespace orva {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kUpdaterTitle = QStringLiteral("Orvalis for Peer アップデータ");
const QString kUpdaterClass = QStringLiteral("OrvaUpdaterWindow");
}  // namespace

QString ClientNode::ProgramTitle() {
  return QStringLiteral("Orvalis Beta3(Rev%1)").arg(kBuildRevision - 1000);
}

ClientNode::ClientNode(NodeOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
  if (!options_.programFolder.endsWith(QLatin1Char('/'))) options_.programFolder += QLatin1Char('/');
  ctx_.programFolder = options_.programFolder;
  ogg_ = std::make_unique<OggPlayer>(options_.programFolder);
  wav_ = MakeSdlWavPlayer();
  // Ogg files go to the Ogg playback of the sound subsystem once it is
  // wired in; until then straight to the player, which skips them when the
  // library is missing.
  sound_ = std::make_unique<NamedSound>(options_.programFolder, wav_.get(),
                                        [this](const QString& path) { ogg_->Play(path); });
  ctx_.playNamedSound = [this](const QString& name) { sound_->PlayNamedSound(name); };
  mainTimer_.setInterval(60000);
  connect(&mainTimer_, &QTimer::timeout, this, &ClientNode::MainTimerTick);
  soundTimer_.setInterval(500);
  connect(&soundTimer_, &QTimer::timeout, this, [this] {
    if (hooks_.soundTimerTick) hooks_.soundTimerTick();
  });
}

ClientNode::~ClientNode() = default;

bool ClientNode::KeyExpired() const {
  const QDateTime& expiry = ctx_.net.key.expiry;
  return !expiry.isValid() || expiry < ctx_.ProtocolNow();
}

void ClientNode::SetTray(int icon, const QString& tip) {
  if (!ctx_.ui.tray) return;
  ctx_.ui.tray->SetIcon(icon);
  ctx_.ui.tray->SetToolTip(tip);
}

bool ClientNode::ShowBox(const QString& text, int icon, bool yesNo, bool defaultYes) {
  if (!ctx_.ui.boxes) return defaultYes;
  const BoxAnswer def = yesNo ? (defaultYes ? BoxAnswer::Yes : BoxAnswer::No) : BoxAnswer::Ok;
  const BoxAnswer a = ctx_.ui.boxes->Show(text, static_cast<BoxIcon>(icon),
                                          yesNo ? BoxButtons::YesNo : BoxButtons::Ok, def);
  return a == BoxAnswer::Yes || a == BoxAnswer::Ok;
}

void ClientNode::Startup() {
  Log& log = ctx_.log;
  // 1. Tray icon.
  if (ctx_.ui.tray) ctx_.ui.tray->AddIcon(1, QStringLiteral("接続されていません。"));

  // 2.1 Title.
  log.WriteLog(ProgramTitle(), 1);

  // 2.2 A second copy of the same program folder ends here, before any socket.
  if (options_.singleInstance) {
    lock_ = std::make_unique<InstanceLock>(QStringLiteral("Orva_Client"), options_.programFolder);
    if (!lock_->TryAcquire()) {
      lock_.reset();
      ShowBox(QStringLiteral("ソフトウェアは既に起動されています。"), static_cast<int>(BoxIcon::Warning),
              false, true);
      Shutdown();
      return;
    }
  }

  started_ = true;

  // 2.3 Random source, log level, Ogg probe.
  random_.seed(static_cast<quint32>(QDateTime::currentMSecsSinceEpoch()));
  log.SetLevel(1);
  ogg_->Probe();

  // 2.4 Settings.
  LoadSettings(options_.programFolder, ctx_.settings);
  log.SetLevel(ctx_.settings.LogLevel);
  if (ogg_->Available()) ogg_->SetVolume(ctx_.settings.Snd_Volume * 65535 / 200);
  if (hooks_.setIntensityColours) hooks_.setIntensityColours();
  ctx_.net.key.privateKey = QStringLiteral("Unknown");

  // 2.5 - 2.6 Tables, peer sockets, plugin port.
  if (hooks_.loadTables) hooks_.loadTables();
  if (hooks_.createPeerSockets) hooks_.createPeerSockets();
  if (hooks_.openPluginPort) hooks_.openPluginPort();

  // 2.7 Updater.
  ReplaceUpdater();
  if (ended_) return;

  // 2.8
  log.WriteLog(QStringLiteral("各種初期化完了"), 0);
  log.SetStatus(QStringLiteral("初期化が完了しました。"), 1);
  mainTimer_.start();

  // 3. Update check at start.
  if (ctx_.settings.SoftwareStart_Check == 1) StartChecker(true);

  // 4.
  if (ctx_.settings.In_TaskTray == 1 && ctx_.ui.windows) ctx_.ui.windows->HideMainWindow();

  // 5. / 6. The start decision.
  const bool fileExists = !FindFileNoCase(options_.programFolder, kSettingsFileName).isEmpty();
  if (!fileExists) {
    // Without a screen there is nobody to walk through the wizard: the
    // defaults stand and nothing is written.
    if (!options_.headless && ctx_.ui.windows && ctx_.ui.windows->ShowFirstRunWizard()) return;
    NormalStart();
    return;
  }
  const float version = ctx_.settings.Software_Version;
  if (version >= 3 && version <= 20000) {
    if (BuildVersionNumber() > static_cast<double>(version) + 1e-6) {
      if (ctx_.ui.windows) ctx_.ui.windows->ShowUpdateNotice();
      SaveSettings(options_.programFolder, ctx_.settings);
    }
  } else {
    const QString question = QStringLiteral("「Orvalis」の新しいバージョン\"Beta 3\"に更新されました。") + kCrLf +
                             QStringLiteral("地域区分が変更になっているため、再設定する必要があります。") +
                             kCrLf + kCrLf + QStringLiteral("「初期設定ウィザード」で地域を再設定しますか？");
    // Headless answers No: it keeps running with the file as it is.
    if (ShowBox(question, static_cast<int>(BoxIcon::Question), true, false)) {
      if (ctx_.ui.windows && ctx_.ui.windows->ShowFirstRunWizard()) return;
    }
  }
  NormalStart();
}

void ClientNode::ContinueStartupAfterWizard() { NormalStart(); }

void ClientNode::NormalStart() {
  if (ended_ || shuttingDown_) return;
  if (hooks_.startPlugins) hooks_.startPlugins();
  if (ctx_.ui.windows) {
    ctx_.ui.windows->ShowMainWindow(false);
    if (ctx_.settings.In_TaskTray == 1) ctx_.ui.windows->HideMainWindow();
  }
  if (ctx_.settings.Auto_Connect == 1 && hooks_.connectServer) hooks_.connectServer(1);
}

void ClientNode::StartChecker(bool automatic) {
  QString path = FindFileNoCase(options_.programFolder, QStringLiteral("Orva_Checker"));
  if (path.isEmpty()) path = options_.programFolder + QStringLiteral("Orva_Checker");
  QString error;
  if (!StartProgram(path, automatic ? QStringList{QStringLiteral("auto")} : QStringList{},
                    options_.programFolder, &error) &&
      !automatic) {
    // What the system reports, as the desktop would show it.
    ShowBox(error, static_cast<int>(BoxIcon::Critical), false, true);
  }
}

void ClientNode::ReplaceUpdater() {
  const QString folder = options_.programFolder;
  const QString fresh = FindFileNoCase(folder, QStringLiteral("Orva_Updater2"));
  if (fresh.isEmpty()) return;
  ctx_.log.SetStatus(QStringLiteral("アップデータを更新しています..."), 1);
  const QString failure = QStringLiteral("「Orvalis アップデータ」の更新に失敗しました。");
  SendControlRequest(kUpdaterClass, kUpdaterTitle, QStringLiteral("close"), 500);
  const quint32 start = TickCount();
  while (ControlWindowExists(kUpdaterClass, kUpdaterTitle, 200)) {
    WaitMs(250);
    if (TickCount() - start > 9999) {
      ctx_.log.WriteLog(QStringLiteral("アップデータの更新に失敗しました。"), 3);
      ShowBox(failure, static_cast<int>(BoxIcon::Information), false, true);
      return;
    }
  }
  WaitMs(250);
  // A first installation has no old updater to remove; that is no failure.
  const QString old = FindFileNoCase(folder, QStringLiteral("Orva_Updater"));
  if (!old.isEmpty() && !QFile::remove(old))
    ShowBox(failure, static_cast<int>(BoxIcon::Information), false, true);
  if (!QFile::rename(fresh, folder + QStringLiteral("Orva_Updater")))
    ShowBox(failure, static_cast<int>(BoxIcon::Information), false, true);
  ctx_.log.WriteLog(QStringLiteral("アップデータを更新しました。"), 2);
}

void ClientNode::MainTimerTick() {
  if (ended_) return;
  if (hooks_.sweepPeerSlots) hooks_.sweepPeerSlots();
  if (hooks_.sweepPluginSlots) hooks_.sweepPluginSlots();
  if (hooks_.sendToPeers) hooks_.sendToPeers(QStringLiteral("611 1"));
  LifecycleState& life = ctx_.life;
  if (Joined()) life.tickCount += 1;
  if (Joined() && (KeyExpired() || ctx_.net.connectedPeers < 2)) life.tickCount = 10;
  if (life.tickCount >= 10) {
    if (hooks_.connectServer) hooks_.connectServer(2);
    life.tickCount = 0;
  }
  if (life.joinRetryPending == 1 && !Joined() && hooks_.connectServer) hooks_.connectServer(1);
  if (Joined()) {
    SetTray(0, QStringLiteral("接続中 総参加:%1 接続:%2").arg(ctx_.net.totalPeers).arg(ctx_.net.connectedPeers));
    ctx_.status.Set(StatusField::KeyState, KeyExpired() ? QStringLiteral("無効") : QStringLiteral("有効"));
    if (ctx_.net.connectedPeers == 0 && ctx_.ui.tray) ctx_.ui.tray->SetIcon(7);
  }
}

void ClientNode::CloseRequested(bool fromCloseBox) {
  if (fromCloseBox) {
    if (ctx_.ui.windows) ctx_.ui.windows->HideMainWindow();
    return;
  }
  Shutdown();
}

void ClientNode::Exit() {
  if (ctx_.life.quitState != 0) {
    EndProgram();
    return;
  }
  ctx_.life.quitState = 1;
  Shutdown();
}

void ClientNode::Shutdown() {
  if (shuttingDown_ || ended_) return;
  shuttingDown_ = true;
  mainTimer_.stop();
  soundTimer_.stop();
  // A copy that ended at the instance check touched no socket and must not.
  if (started_ && ctx_.settings.Use_UPnP == 1 && hooks_.removePortMapping) hooks_.removePortMapping();
  if (hooks_.stopOgg) hooks_.stopOgg();
  if (ctx_.ui.windows) ctx_.ui.windows->UnloadSecondaryWindows();
  if (Joined()) {
    ctx_.life.quitState = 2;
    if (hooks_.connectServer) hooks_.connectServer(3);
    // The leave normally ends within a few server round trips. A server
    // that accepts and then stays silent would hold the program forever, so
    // the wait has an upper bound; a second Exit ends it at once.
    const quint32 start = TickCount();
    while (Joined() && !ended_ && static_cast<int>(TickCount() - start) < leaveWaitLimitMs)
      ProcessEventsAndSleep(50);
  }
  EndProgram();
}

void ClientNode::EndProgram() {
  if (ended_) return;
  ctx_.life.quitState = 1;
  ended_ = true;
  mainTimer_.stop();
  if (ctx_.ui.tray) ctx_.ui.tray->RemoveIcon();
  lock_.reset();
  if (ctx_.ui.windows) ctx_.ui.windows->EndProgram(exitCode_);
  emit ended(exitCode_);
}

void ClientNode::RunCommand(Command command) {
  switch (command) {
    case Command::Exit:
      Exit();
      break;
    case Command::QuakeRedisplay:
      if (hooks_.quakeRedisplay) hooks_.quakeRedisplay();
      break;
    case Command::PeerMap:
      if (ctx_.ui.windows) ctx_.ui.windows->ShowPeerMap();
      break;
    case Command::PeerNetwork:
      break;
    case Command::UpdateCheck:
      StartChecker(false);
      break;
    case Command::Options:
      if (ctx_.ui.windows) ctx_.ui.windows->ShowOptionsDialog();
      break;
    case Command::Connect:
      if (hooks_.connectServer) hooks_.connectServer(1);
      break;
    case Command::Disconnect:
      if (hooks_.connectServer) hooks_.connectServer(3);
      break;
    case Command::Plugin1:
    case Command::Plugin2:
    case Command::Plugin3:
    case Command::Plugin4:
    case Command::Plugin5:
      if (hooks_.pluginOptions)
        hooks_.pluginOptions(static_cast<int>(command) - static_cast<int>(Command::Plugin1) + 1);
      break;
    case Command::Help:
      OpenWithDesktop(options_.programFolder + QStringLiteral("Orva_Client.chm"));
      break;
    case Command::Site:
      OpenWithDesktop(QStringLiteral(ORVA_SITE_URL));
      break;
    case Command::Version:
      ShowBox(ProgramTitle(), static_cast<int>(BoxIcon::Information), false, true);
      break;
    case Command::ShowMain:
      if (ctx_.ui.windows) ctx_.ui.windows->ShowMainWindow(true);
      break;
    case Command::SendReport:
      if (hooks_.sendUserQuake) hooks_.sendUserQuake();
      break;
  }
}

}  // namespace orva
