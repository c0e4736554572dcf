#pragma once
// The screens of a node that runs without any window: the log goes to
// standard output, message boxes are logged and take their default answer.
#include <QString>

#include "client/core/client_node.h"
#include "client/core/ui.h"

namespace orva {

class HeadlessUi : public MessageBoxes, public WindowHost, public TrayView, public MenuView {
 public:
  explicit HeadlessUi(ClientNode& node);
  void Attach();

  BoxAnswer Show(const QString& text, BoxIcon icon, BoxButtons buttons, BoxAnswer defaultAnswer) override;
  void ShowMainWindow(bool) override {}
  void HideMainWindow() override {}
  bool ShowFirstRunWizard() override { return false; }
  void ShowUpdateNotice() override {}
  void ShowOptionsDialog() override {}
  void ShowPeerMap() override {}
  void ShowTips() override {}
  void UnloadSecondaryWindows() override {}
  void EndProgram(int exitCode) override;
  bool AddIcon(int, const QString&) override { return true; }
  void SetIcon(int) override {}
  void SetToolTip(const QString&) override {}
  void RemoveIcon() override {}
  void SetEntryEnabled(MenuEntry, bool) override {}
  void SetEntryText(MenuEntry, const QString&) override {}

 private:
  ClientNode& node_;
};

// Prints a line to standard output in UTF-8 and flushes it at once.
void PrintLine(const QString& line);

}  // namespace orva
