#include "client/quake/bulletin_widgets.h"

#include "client/quake/quake_window.h"
#include "client/quake/ticker.h"
#include "client/quake/tsunami_window.h"

namespace orva::quake {

BulletinWidgets::BulletinWidgets(const QuakeAssets& assets) : assets_(assets) {}

BulletinWidgets::~BulletinWidgets() = default;

void BulletinWidgets::ShowQuakeMap(const QStringList& header, const QString& pointList, bool noFocus,
                                   bool topMost) {
  if (!quake_) {
    quake_ = std::make_unique<QuakeWindow>(assets_);
    quake_->openTips = [this](int page) {
      if (openTips) openTips(page);
    };
  }
  quake_->Present(header, pointList, noFocus, topMost);
}

void BulletinWidgets::ShowTicker(const TickerPlan& plan) {
  if (!ticker_) ticker_ = std::make_unique<Ticker>();
  ticker_->Start(plan);
}

void BulletinWidgets::ShowTsunami(const TsunamiPlan& plan) {
  if (!tsunami_) {
    tsunami_ = std::make_unique<TsunamiWindow>(assets_);
    tsunami_->openTips = [this](int page) {
      if (openTips) openTips(page);
    };
    tsunami_->confirmClose = [this] { return ConfirmTsunamiClose(); };
  }
  tsunami_->Present(plan);
}

bool BulletinWidgets::ConfirmTsunamiClose() {
  const QString title = applicationTitle + QStringLiteral(" - 津波予報発表中");
  const QString text = QStringLiteral("本当に閉じてもよろしいですか？\r\n（再表示することは出来ません）");
  if (askClose) return askClose(title, text);
  if (boxes) return boxes->Show(text, BoxIcon::Question, BoxButtons::YesNo, BoxAnswer::No) == BoxAnswer::Yes;
  return true;
}

void BulletinWidgets::Unload() {
  if (tsunami_) tsunami_->confirmClose = nullptr;
  quake_.reset();
  ticker_.reset();
  tsunami_.reset();
}

}  // namespace orva::quake
