#pragma once
// The screens through which the quake and tsunami records show bulletins.
// The Qt implementation is BulletinWidgets; a node without screens leaves
// them unset.
#include <QPoint>
#include <QString>
#include <QStringList>

namespace orva::quake {

struct TickerPlan {
  QString header;      // "震度5強||" or "<<津波>>"
  QString title;       // printed first into the strip
  QStringList lines;
  bool scroll = false;
  int scrollIntervalMs = 10;
  int scrollStep = 2;  // units the strip moves per tick in scroll mode
  int viewCount = 2;   // passes before the ticker closes; 0 repeats forever
  QPoint position;     // top left in pixels
  bool topMost = false;
  bool noFocus = false;
};

struct TsunamiPlan {
  QString data;
  QString timeText;         // "津波予報（hh:nn:ss受信）"
  QString bulletinText;
  QString instructionText;
  bool inForce = false;     // the data is not "解除"
  bool noFocus = false;
  bool topMost = false;
};

class QuakeScreen {
 public:
  virtual ~QuakeScreen() = default;
  // The quake window with its map; `header` holds at least 11 fields.
  virtual void ShowQuakeMap(const QStringList& header, const QString& pointList, bool noFocus, bool topMost) = 0;
  virtual void ShowTicker(const TickerPlan& plan) = 0;
};

class TsunamiScreen {
 public:
  virtual ~TsunamiScreen() = default;
  virtual void ShowTsunami(const TsunamiPlan& plan) = 0;
};

}  // namespace orva::quake
