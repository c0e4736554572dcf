#pragma once
// The Qt screens of the quake and tsunami records: the quake window, the
// ticker and the tsunami window, each created on first use.
#include <QString>

#include <functional>
#include <memory>

#include "client/core/ui.h"
#include "client/quake/bulletin_screens.h"
#include "client/quake/quake_assets.h"

namespace orva::quake {

class QuakeWindow;
class Ticker;
class TsunamiWindow;

class BulletinWidgets : public QuakeScreen, public TsunamiScreen {
 public:
  explicit BulletinWidgets(const QuakeAssets& assets);
  ~BulletinWidgets() override;

  // Opens the tips window at a page (0 tsunami, 1 quake).
  std::function<void(int page)> openTips;
  // Asks the close question of the tsunami window (title, text); true
  // closes. Unset: asked through `boxes` when set, else the window closes.
  std::function<bool(const QString& title, const QString& text)> askClose;
  MessageBoxes* boxes = nullptr;
  QString applicationTitle;

  void ShowQuakeMap(const QStringList& header, const QString& pointList, bool noFocus, bool topMost) override;
  void ShowTicker(const TickerPlan& plan) override;
  void ShowTsunami(const TsunamiPlan& plan) override;

  // The windows once created (null before).
  QuakeWindow* Quake() const { return quake_.get(); }
  Ticker* TickerWindow() const { return ticker_.get(); }
  TsunamiWindow* Tsunami() const { return tsunami_.get(); }
  // Closes and destroys every window (on the way out).
  void Unload();

 private:
  bool ConfirmTsunamiClose();

  const QuakeAssets& assets_;
  std::unique_ptr<QuakeWindow> quake_;
  std::unique_ptr<Ticker> ticker_;
  std::unique_ptr<TsunamiWindow> tsunami_;
};

}  // namespace orva::quake
