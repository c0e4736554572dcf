#pragma once
// The narrow interfaces through which a client node reaches the screen.
// The Qt windows implement them; the headless front end logs and answers
// message boxes with their default.
#include <QString>

namespace orva {

// The five value labels of the status box.
enum class StatusField { StatusLine, PortCheck, KeyState, ConnectedPeers, TotalPeers };

class StatusView {
 public:
  virtual ~StatusView() = default;
  virtual void ShowStatusValue(StatusField field, const QString& text) = 0;
};

class LogView {
 public:
  virtual ~LogView() = default;
  // The whole text of the log box: 30 entries, each followed by CR LF.
  virtual void ShowLogText(const QString& boxText) = 0;
};

// Tip texts are the line shown under the program title; an empty text
// leaves the tip as it is.
class TrayView {
 public:
  virtual ~TrayView() = default;
  virtual bool AddIcon(int icon, const QString& toolTip) = 0;
  virtual void SetIcon(int icon) = 0;
  virtual void SetToolTip(const QString& toolTip) = 0;
  virtual void RemoveIcon() = 0;
};

// Menu entries whose enabled state or text the node changes. Each applies to
// the main menu and the tray pop-up menu alike.
enum class MenuEntry { Connect, Disconnect, QuakeRedisplay, Plugin1, Plugin2, Plugin3, Plugin4, Plugin5 };

class MenuView {
 public:
  virtual ~MenuView() = default;
  virtual void SetEntryEnabled(MenuEntry entry, bool enabled) = 0;
  virtual void SetEntryText(MenuEntry entry, const QString& text) = 0;
};

enum class BoxIcon { None, Information, Warning, Question, Critical };
enum class BoxButtons { Ok, YesNo, OkCancel };
enum class BoxAnswer { Ok, Yes, No, Cancel };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows a box and returns the answer; `defaultAnswer` is what a headless
  // front end answers without asking anybody.
  virtual BoxAnswer Show(const QString& text, BoxIcon icon, BoxButtons buttons,
                         BoxAnswer defaultAnswer) = 0;
};

// The node's own windows and the main window's visibility.
class WindowHost {
 public:
  virtual ~WindowHost() = default;
  virtual void ShowMainWindow(bool activate) = 0;
  virtual void HideMainWindow() = 0;
  // Shows the first-run wizard, which carries on the start-up when it
  // finishes. Returns false where no wizard can be shown (the node then
  // carries on by itself).
  virtual bool ShowFirstRunWizard() = 0;
  virtual void ShowUpdateNotice() = 0;
  virtual void ShowOptionsDialog() = 0;
  virtual void ShowPeerMap() = 0;
  virtual void ShowTips() = 0;
  // Unloads every secondary window (quake, tsunami, user quake, options,
  // ticker, peer map, peer network) on the way out.
  virtual void UnloadSecondaryWindows() = 0;
  // Ends the application's event loop.
  virtual void EndProgram(int exitCode) = 0;
};

// Everything a node may reach; unset members are treated as absent screens.
struct NodeUi {
  StatusView* status = nullptr;
  LogView* log = nullptr;
  TrayView* tray = nullptr;
  MenuView* menus = nullptr;
  MessageBoxes* boxes = nullptr;
  WindowHost* windows = nullptr;
};

}  // namespace orva
