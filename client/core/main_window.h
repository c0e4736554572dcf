#pragma once
// The main window "Orvalis": status box, log box, main menu, tray icon and
// tray pop-up menu. It only shows what the node tells it and hands every
// command back to the node.
#include <QMainWindow>
#include <QSystemTrayIcon>

#include <array>
#include <functional>
#include <map>

#include "client/core/client_node.h"
#include "client/core/ui.h"

class QLabel;
class QGroupBox;
class QPlainTextEdit;
class QMenu;
class QAction;

namespace orva {

class ControlEndpoint;

class MainWindow : public QMainWindow,
                   public StatusView,
                   public LogView,
                   public MenuView,
                   public TrayView,
                   public MessageBoxes,
                   public WindowHost {
  Q_OBJECT
 public:
  explicit MainWindow(ClientNode& node);
  ~MainWindow() override;

  // Installs this window as the node's screens.
  void Attach();

  // StatusView / LogView
  void ShowStatusValue(StatusField field, const QString& text) override;
  void ShowLogText(const QString& boxText) override;
  // MenuView
  void SetEntryEnabled(MenuEntry entry, bool enabled) override;
  void SetEntryText(MenuEntry entry, const QString& text) override;
  // TrayView
  bool AddIcon(int icon, const QString& toolTip) override;
  void SetIcon(int icon) override;
  void SetToolTip(const QString& toolTip) override;
  void RemoveIcon() override;
  // MessageBoxes
  BoxAnswer Show(const QString& text, BoxIcon icon, BoxButtons buttons, BoxAnswer defaultAnswer) override;
  // WindowHost
  void ShowMainWindow(bool activate) override;
  void HideMainWindow() override;
  bool ShowFirstRunWizard() override;
  void ShowUpdateNotice() override;
  void ShowOptionsDialog() override;
  void ShowPeerMap() override;
  void ShowTips() override;
  void UnloadSecondaryWindows() override;
  void EndProgram(int exitCode) override;

  // Unloads the windows that other subsystems own (quake, tsunami, ...).
  std::function<void()> unloadSecondaryWindows;

  QString LogText() const;
  QString StatusValue(StatusField field) const;
  QMenu* TrayMenu() const { return trayMenu_; }
  QString TrayToolTip() const { return trayTip_; }
  int TrayIconIndex() const { return trayIcon_; }

  // The tray's mouse messages by their numbers (0x201 left down, 0x203 left
  // double click, 0x204 right down, 0x206 right double click, 0x207 middle
  // down, 0x209 middle double click).
  void HandleTrayMessage(int message);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildMenus();
  QMenu* AddToolsMenu(QMenu* parent);
  QMenu* AddConnectionMenu(QMenu* parent);
  QMenu* AddPluginMenu(QMenu* parent);
  QMenu* AddHelpMenu(QMenu* parent);
  QAction* AddCommand(QMenu* menu, const QString& text, Command command);
  static QIcon TrayIcon(int index);

  ClientNode& node_;
  QGroupBox* statusBox_ = nullptr;
  std::array<QLabel*, 5> values_{};
  QPlainTextEdit* logEdit_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  std::multimap<MenuEntry, QAction*> entries_;
  QSystemTrayIcon* tray_ = nullptr;
  QString trayTip_;
  int trayIcon_ = -1;
  ControlEndpoint* endpoint_ = nullptr;
  bool ending_ = false;
};

}  // namespace orva
