#pragma once
// A map area: shows a picture of fixed logical size scaled to the widget,
// keeping its proportions, and hands Ctrl+C to its owner.
#include <QImage>
#include <QWidget>

#include <functional>

namespace orva::quake {

class MapView : public QWidget {
  Q_OBJECT
 public:
  MapView(QSize logicalSize, QWidget* parent = nullptr);

  void SetImage(const QImage& image);
  const QImage& Image() const { return image_; }
  // Where the logical picture lies inside the widget.
  QRect PictureRect() const;

  std::function<void()> onCopy;

  QSize sizeHint() const override { return logical_; }
  QSize minimumSizeHint() const override { return logical_ / 4; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QSize logical_;
  QImage image_;
};

}  // namespace orva::quake
