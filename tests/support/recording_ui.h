#pragma once
// Screens for tests: each records what a node shows on it; message boxes
// give the answers queued for them, else their default.
#include <QString>
#include <QStringList>

#include <deque>
#include <map>
#include <vector>

#include "client/core/ui.h"

namespace orva::test {

struct RecordingStatus : StatusView {
  void ShowStatusValue(StatusField field, const QString& text) override { values[field] = text; }
  std::map<StatusField, QString> values;
};

struct RecordingLog : LogView {
  void ShowLogText(const QString& boxText) override { text = boxText; }
  QString text;
};

struct RecordingTray : TrayView {
  bool AddIcon(int icon, const QString& toolTip) override {
    icons.push_back(icon);
    tips << toolTip;
    shown = true;
    return true;
  }
  void SetIcon(int icon) override { icons.push_back(icon); }
  void SetToolTip(const QString& toolTip) override { tips << toolTip; }
  void RemoveIcon() override { shown = false; }
  int LastIcon() const { return icons.empty() ? -1 : icons.back(); }
  QString LastTip() const { return tips.isEmpty() ? QString() : tips.back(); }

  std::vector<int> icons;
  QStringList tips;
  bool shown = false;
};

struct RecordingMenus : MenuView {
  void SetEntryEnabled(MenuEntry entry, bool enabled) override { enabledState[entry] = enabled; }
  void SetEntryText(MenuEntry, const QString&) override {}
  bool Enabled(MenuEntry entry) const {
    auto it = enabledState.find(entry);
    // Start state: "接続(&C)" enabled, "切断(&D)" disabled.
    if (it == enabledState.end()) return entry == MenuEntry::Connect;
    return it->second;
  }
  std::map<MenuEntry, bool> enabledState;
};

struct RecordingBoxes : MessageBoxes {
  BoxAnswer Show(const QString& text, BoxIcon icon, BoxButtons, BoxAnswer defaultAnswer) override {
    texts << text;
    icons.push_back(icon);
    if (answers.empty()) return defaultAnswer;
    const BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  QStringList texts;            // texts of the boxes shown
  std::vector<BoxIcon> icons;
  std::deque<BoxAnswer> answers;  // given in order
};

// Window requests as words: "show", "hide", "wizard", "notice", "options",
// "peermap", "tips", "unload".
struct RecordingWindows : WindowHost {
  void ShowMainWindow(bool) override { calls << QStringLiteral("show"); }
  void HideMainWindow() override { calls << QStringLiteral("hide"); }
  bool ShowFirstRunWizard() override {
    calls << QStringLiteral("wizard");
    return wizardAvailable;
  }
  void ShowUpdateNotice() override { calls << QStringLiteral("notice"); }
  void ShowOptionsDialog() override { calls << QStringLiteral("options"); }
  void ShowPeerMap() override { calls << QStringLiteral("peermap"); }
  void ShowTips() override { calls << QStringLiteral("tips"); }
  void UnloadSecondaryWindows() override { calls << QStringLiteral("unload"); }
  void EndProgram(int code) override { endedWith = code; }
  int Count(const QString& call) const { return static_cast<int>(calls.count(call)); }

  QStringList calls;
  bool wizardAvailable = false;
  int endedWith = -1;
};

struct RecordingUi {
  RecordingStatus status;
  RecordingLog log;
  RecordingTray tray;
  RecordingMenus menus;
  RecordingBoxes boxes;
  RecordingWindows windows;

  NodeUi All() { return NodeUi{&status, &log, &tray, &menus, &boxes, &windows}; }
};

}  // namespace orva::test
