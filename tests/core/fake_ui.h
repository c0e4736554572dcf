#pragma once
// Screens that record what a node shows and answer boxes as told.
#include <QStringList>

#include <deque>
#include <map>

#include "client/core/ui.h"

namespace orva::test {

struct FakeUi : StatusView, LogView, TrayView, MenuView, MessageBoxes, WindowHost {
  std::map<StatusField, QString> status;
  QString logText;
  int trayIcon = -1;
  QString trayTip;
  bool trayShown = false;
  std::map<MenuEntry, bool> enabled;
  QStringList boxes;            // texts of the boxes shown
  std::deque<BoxAnswer> answers;  // given in order; the default when empty
  QStringList windowCalls;
  bool wizardAvailable = false;
  int endedWith = -1;

  void ShowStatusValue(StatusField f, const QString& t) override { status[f] = t; }
  void ShowLogText(const QString& t) override { logText = t; }
  bool AddIcon(int icon, const QString& tip) override {
    trayIcon = icon;
    trayTip = tip;
    trayShown = true;
    return true;
  }
  void SetIcon(int icon) override { trayIcon = icon; }
  void SetToolTip(const QString& tip) override { trayTip = tip; }
  void RemoveIcon() override { trayShown = false; }
  void SetEntryEnabled(MenuEntry e, bool on) override { enabled[e] = on; }
  void SetEntryText(MenuEntry, const QString&) override {}
  BoxAnswer Show(const QString& text, BoxIcon, BoxButtons, BoxAnswer def) override {
    boxes << text;
    if (answers.empty()) return def;
    const BoxAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  void ShowMainWindow(bool) override { windowCalls << QStringLiteral("show"); }
  void HideMainWindow() override { windowCalls << QStringLiteral("hide"); }
  bool ShowFirstRunWizard() override {
    windowCalls << QStringLiteral("wizard");
    return wizardAvailable;
  }
  void ShowUpdateNotice() override { windowCalls << QStringLiteral("notice"); }
  void ShowOptionsDialog() override { windowCalls << QStringLiteral("options"); }
  void ShowPeerMap() override { windowCalls << QStringLiteral("peermap"); }
  void ShowTips() override { windowCalls << QStringLiteral("tips"); }
  void UnloadSecondaryWindows() override { windowCalls << QStringLiteral("unload"); }
  void EndProgram(int code) override { endedWith = code; }

  NodeUi All() { return NodeUi{this, this, this, this, this, this}; }
};

}  // namespace orva::test
