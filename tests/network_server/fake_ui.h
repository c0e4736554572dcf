#pragma once
// Recording stand-ins for the node's screens.
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

#include "client/core/ui.h"

namespace orva::test {

class FakeTray : public TrayView {
 public:
  bool AddIcon(int icon, const QString& toolTip) override {
    icons.push_back(icon);
    tips << toolTip;
    return true;
  }
  void SetIcon(int icon) override { icons.push_back(icon); }
  void SetToolTip(const QString& toolTip) override { tips << toolTip; }
  void RemoveIcon() override {}
  int LastIcon() const { return icons.empty() ? -1 : icons.back(); }
  QString LastTip() const { return tips.isEmpty() ? QString() : tips.back(); }

  std::vector<int> icons;
  QStringList tips;
};

class FakeMenus : public MenuView {
 public:
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

class FakeBoxes : public MessageBoxes {
 public:
  BoxAnswer Show(const QString& text, BoxIcon icon, BoxButtons, BoxAnswer defaultAnswer) override {
    texts << text;
    icons.push_back(icon);
    return defaultAnswer;
  }
  QStringList texts;
  std::vector<BoxIcon> icons;
};

class FakeWindows : public WindowHost {
 public:
  void ShowMainWindow(bool) override { ++mainShown; }
  void HideMainWindow() override {}
  bool ShowFirstRunWizard() override { return false; }
  void ShowUpdateNotice() override {}
  void ShowOptionsDialog() override {}
  void ShowPeerMap() override {}
  void ShowTips() override {}
  void UnloadSecondaryWindows() override {}
  void EndProgram(int) override {}
  int mainShown = 0;
};

}  // namespace orva::test
