#pragma once
// The ticker: a small borderless window with a header at the left and a
// text strip to its right that shows a sentence line by line (page mode) or
// scrolls it (scroll mode). Drag it to move it, double-click it to close.
#include <QImage>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "client/quake/bulletin_screens.h"

namespace orva::quake {


// Layout units of 1/1440 inch to pixels of the primary screen.
QPoint TwipsToPixels(int x, int y);

class Ticker : public QWidget {
  Q_OBJECT
 public:
  explicit Ticker(QWidget* parent = nullptr);

  void Start(const TickerPlan& plan);
  // One timer tick (the timer calls it; tests may too).
  void Tick();

  QTimer& Timer() { return timer_; }
  int LineIndex() const { return lineIndex_; }
  int Passes() const { return passes_; }
  // The text now in the strip and the strip's left edge within its area.
  QString StripText() const { return stripText_; }
  int StripX() const { return stripX_; }
  int StripAreaWidth() const;
  int HeaderWidth() const { return header_.width(); }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QImage Print(const QString& text, int extra) const;
  void PrintStrip(const QString& text);
  void Finish();

  TickerPlan plan_;
  QFont font_;
  QImage header_;
  QImage strip_;
  QString stripText_;
  int stripX_ = 0;
  int lineIndex_ = 0;
  int passes_ = 0;
  QTimer timer_;
  bool dragging_ = false;
  QPoint dragOffset_;
};

}  // namespace orva::quake
