#pragma once
// The quake window: the intensity map, the labels of the bulletin, the
// detail list and the link to the tips. It shows what it is given.
#include <QStringList>
#include <QWidget>

#include <functional>

#include "client/quake/quake_assets.h"
#include "client/quake/quake_text.h"

class QLabel;
class QPlainTextEdit;

namespace orva::quake {

class MapView;

class QuakeWindow : public QWidget {
  Q_OBJECT
 public:
  explicit QuakeWindow(const QuakeAssets& assets, QWidget* parent = nullptr);

  // Fills the window from a bulletin (header with at least kHeaderFields
  // fields) and shows it.
  void Present(const QStringList& header, const QString& pointList, bool noFocus, bool topMost);

  // Ctrl+C in the map area.
  void CopyToClipboard();

  // Opens the tips window at a page; the link passes page 1.
  std::function<void(int page)> openTips;

  MapView* Map() const { return map_; }
  QString KindText() const;
  QString TimeText() const;
  QString EpicentreText() const;
  QString DepthText() const;
  QString MagnitudeText() const;
  QString TsunamiText() const;
  QColor TsunamiColour() const;
  QString OfficeText() const;
  QString DetailListText() const { return detail_; }
  QString ClipboardText() const;

 private:
  void SetTsunamiColour(const QColor& colour);

  const QuakeAssets& assets_;
  MapView* map_;
  QLabel* kind_;
  QLabel* time_;
  QLabel* epicentre_;
  QLabel* depth_;
  QLabel* magnitude_;
  QLabel* tsunami_;
  QLabel* office_;
  QLabel* link_;
  QPlainTextEdit* detailView_;
  QuakeLabels labels_;
  QString detail_;
  // Counts fills; a fill that let events run and finds a newer fill begun
  // leaves the map to that one.
  quint64 generation_ = 0;
};

}  // namespace orva::quake
