#pragma once
// One client node: settings, log, network, signed data and records, with
// its start-up, main timer and shutdown. Several nodes can live in one
// process; each reaches the screen only through its NodeUi.
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

#include "client/core/node_context.h"

namespace orva {

class InstanceLock;
class OggPlayer;
class NamedSound;
class WavPlayer;

struct NodeOptions {
  QString programFolder;  // ends in "/"
  bool headless = false;
  QStringList servers;    // replaces the built-in server list when not empty
  QString bindAddress;    // local address for server and peer sockets
  quint16 serverPort = 0; // replaces the network's server port when not 0
  bool singleInstance = true;  // tests that run many nodes turn this off
};

// Commands of the main menu and the tray pop-up menu.
enum class Command {
  Exit, QuakeRedisplay, PeerMap, PeerNetwork, UpdateCheck, Options, Connect, Disconnect,
  Plugin1, Plugin2, Plugin3, Plugin4, Plugin5, Help, Site, Version, ShowMain, SendReport,
};

// Entry points into subsystems that are wired in by the node's owner or by
// later subsystems; every hook that is not set does nothing.
struct NodeHooks {
  std::function<void(int purpose)> connectServer;
  std::function<void()> sweepPeerSlots;      // main timer step 1
  std::function<void()> sweepPluginSlots;    // main timer step 2
  std::function<void(const QString&)> sendToPeers;  // main timer step 3
  std::function<void()> loadTables;
  std::function<void()> createPeerSockets;
  std::function<void()> openPluginPort;
  std::function<void()> startPlugins;
  std::function<void(int slot)> pluginOptions;  // "OPTI" to plugin slot n
  std::function<void()> quakeRedisplay;
  std::function<void()> sendUserQuake;
  std::function<void()> removePortMapping;
  std::function<void()> soundTimerTick;     // every 500 ms while enabled
  std::function<void()> stopOgg;  // stops an Ogg sound that is playing
  std::function<void()> setIntensityColours;
};

class ClientNode : public QObject {
  Q_OBJECT
 public:
  static QString ProgramTitle();  // "Orvalis Beta3(Rev11)"
  static constexpr const char* kWindowClass = "QuakeClientMainWindow";
  static QString WindowTitle() { return QStringLiteral("Orvalis"); }

  explicit ClientNode(NodeOptions options, QObject* parent = nullptr);
  ~ClientNode() override;

  NodeContext& Context() { return ctx_; }
  const NodeOptions& Options() const { return options_; }
  NodeHooks& Hooks() { return hooks_; }
  OggPlayer& Ogg() { return *ogg_; }
  QRandomGenerator& Random() { return random_; }

  // The start-up sequence, run when the main window loads. Ends through
  // Shutdown when another copy already runs.
  void Startup();
  // Carries on the start-up after the first-run wizard finished.
  void ContinueStartupAfterWizard();
  // One tick of the main timer; the node's own timer calls it every 60 s.
  void MainTimerTick();
  // A close request: from the close box it only minimises; from anywhere
  // else it runs Shutdown.
  void CloseRequested(bool fromCloseBox);
  void RunCommand(Command command);
  void Exit();
  void Shutdown();

  bool Ended() const { return ended_; }
  int ExitCode() const { return exitCode_; }
  bool Joined() const { return ctx_.net.ownPeerId != 0; }
  bool KeyExpired() const;
  QTimer& MainTimer() { return mainTimer_; }
  // The playback monitor's timer: 500 ms, disabled at start.
  QTimer& SoundTimer() { return soundTimer_; }
  // Upper bound of the leave wait during shutdown, in milliseconds.
  int leaveWaitLimitMs = 30000;

 signals:
  void ended(int exitCode);

 private:
  void NormalStart();
  void StartChecker(bool automatic);
  void ReplaceUpdater();
  void EndProgram();
  bool ShowBox(const QString& text, int icon, bool yesNo, bool defaultYes);
  void SetTray(int icon, const QString& tip);

  NodeOptions options_;
  NodeContext ctx_;
  NodeHooks hooks_;
  QRandomGenerator random_;
  std::unique_ptr<InstanceLock> lock_;
  std::unique_ptr<OggPlayer> ogg_;
  std::unique_ptr<WavPlayer> wav_;
  std::unique_ptr<NamedSound> sound_;
  QTimer mainTimer_;
  QTimer soundTimer_;
  bool started_ = false;  // past the single-instance check
  bool shuttingDown_ = false;
  bool ended_ = false;
  int exitCode_ = 0;
};

}  // namespace orva
