#include "client/quake/map_view.h"

#include <QKeyEvent>
#include <QPainter>

namespace orva::quake {

MapView::MapView(QSize logicalSize, QWidget* parent) : QWidget(parent), logical_(logicalSize) {
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void MapView::SetImage(const QImage& image) {
  image_ = image;
  update();
}

QRect MapView::PictureRect() const {
  const QSize fitted = logical_.scaled(size(), Qt::KeepAspectRatio);
  return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void MapView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(24, 40, 88));
  if (image_.isNull()) return;
  const QRect target = PictureRect();
  p.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != logical_);
  p.drawImage(target, image_);
}

void MapView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    if (onCopy) onCopy();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MapView::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  QWidget::mousePressEvent(event);
}

}  // namespace orva::quake
