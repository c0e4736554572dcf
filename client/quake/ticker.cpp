#include "client/quake/ticker.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace orva::quake {

namespace {

// Room for the longest page-mode line (34 + 8 characters) in the strip.
constexpr int kStripChars = 42;

}  // namespace

QPoint TwipsToPixels(int x, int y) {
  double dpiX = 96, dpiY = 96;
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    dpiX = s->logicalDotsPerInchX();
    dpiY = s->logicalDotsPerInchY();
  }
  return QPoint(int(x * dpiX / 1440.0), int(y * dpiY / 1440.0));
}

Ticker::Ticker(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
  font_.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("IPAPGothic")});
  font_.setPixelSize(14);
  font_.setBold(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setWindowTitle(QStringLiteral("地震情報"));
  connect(&timer_, &QTimer::timeout, this, &Ticker::Tick);
  const QFontMetrics fm(font_);
  setFixedSize(sizeHint());
  header_ = Print(QString(), 2);
}

QSize Ticker::sizeHint() const {
  const QFontMetrics fm(font_);
  const int headerRoom = fm.horizontalAdvance(QStringLiteral("震度5弱以上||")) + 2;
  return QSize(headerRoom + fm.horizontalAdvance(QString(kStripChars, u'震')) + 8, fm.height() + 4);
}

int Ticker::StripAreaWidth() const { return width() - header_.width(); }

QImage Ticker::Print(const QString& text, int extra) const {
  const QFontMetrics fm(font_);
  QImage area(std::max(1, fm.horizontalAdvance(text) + extra), height(), QImage::Format_RGB32);
  area.fill(Qt::black);
  QPainter p(&area);
  p.setFont(font_);
  p.setPen(QColor(0, 128, 0));
  p.drawText(QPoint(3, 2 + fm.ascent()), text);
  p.setPen(QColor(0, 255, 0));
  p.drawText(QPoint(2, 1 + fm.ascent()), text);
  return area;
}

void Ticker::PrintStrip(const QString& text) {
  stripText_ = text;
  strip_ = Print(text, 4);
  stripX_ = plan_.scroll ? StripAreaWidth() : 0;
  update();
}

void Ticker::Start(const TickerPlan& plan) {
  plan_ = plan;
  header_ = Print(plan_.header, 2);
  lineIndex_ = 0;
  passes_ = 0;
  timer_.stop();
  timer_.setInterval(plan_.scroll ? std::max(1, plan_.scrollIntervalMs) : 3500);
  timer_.start();
  PrintStrip(plan_.title);

  move(plan_.position);
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != plan_.topMost)
    setWindowFlag(Qt::WindowStaysOnTopHint, plan_.topMost);
  setAttribute(Qt::WA_ShowWithoutActivating, plan_.noFocus);
  show();
  if (!plan_.noFocus) {
    raise();
    activateWindow();
  }
}

void Ticker::Tick() {
  if (plan_.scroll) {
    stripX_ -= plan_.scrollStep;
    update();
    if (stripX_ > -strip_.width()) return;
  }
  if (lineIndex_ >= plan_.lines.size()) {
    lineIndex_ = 0;
    ++passes_;
    if (plan_.viewCount != 0 && passes_ >= plan_.viewCount) {
      Finish();
      return;
    }
  }
  if (plan_.lines.isEmpty()) return;
  PrintStrip(plan_.lines.at(lineIndex_));
  ++lineIndex_;
}

void Ticker::Finish() {
  timer_.stop();
  close();
}

void Ticker::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  p.drawImage(0, 0, header_);
  p.setClipRect(QRect(header_.width(), 0, StripAreaWidth(), height()));
  p.drawImage(header_.width() + stripX_, 0, strip_);
}

void Ticker::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void Ticker::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - dragOffset_);
}

void Ticker::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void Ticker::mouseDoubleClickEvent(QMouseEvent*) {
  dragging_ = false;
  Finish();
}

}  // namespace orva::quake
