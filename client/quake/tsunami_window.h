#pragma once
// The tsunami window: the coast map that blinks between the coloured and
// the plain picture, the reception time, the instruction, the bulletin text
// and the link to the tips. Closing it while a forecast is in force asks
// first.
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "client/quake/bulletin_screens.h"
#include "client/quake/quake_assets.h"

class QLabel;
class QPlainTextEdit;

namespace orva::quake {

class MapView;


class TsunamiWindow : public QWidget {
  Q_OBJECT
 public:
  explicit TsunamiWindow(const QuakeAssets& assets, QWidget* parent = nullptr);

  void Present(const TsunamiPlan& plan);
  // One step of the blink (the timer calls it; tests may too).
  void BlinkStep();

  // Asked when the user closes the window while a forecast is in force;
  // true lets it close. Unset: it closes.
  std::function<bool()> confirmClose;
  std::function<void(int page)> openTips;

  bool InForce() const { return inForce_; }
  bool ColouredShown() const { return colouredShown_; }
  QTimer& BlinkTimer() { return blink_; }
  MapView* Map() const { return map_; }
  const QImage& ColouredMap() const { return coloured_; }
  QString TimeText() const;
  QString InstructionText() const;
  QString BulletinText() const;
  QPlainTextEdit* TextField() const { return text_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOut();

  const QuakeAssets& assets_;
  MapView* map_;
  QLabel* time_;
  QLabel* instruction_;
  QLabel* link_;
  QPlainTextEdit* text_;
  QImage plain_;
  QImage coloured_;
  bool inForce_ = false;
  bool colouredShown_ = false;
  QTimer blink_;
};

}  // namespace orva::quake
