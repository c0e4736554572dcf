#include "client/quake/tsunami_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>

#include "client/quake/coast_map.h"
#include "client/quake/map_view.h"

namespace orva::quake {

namespace {

constexpr int kMargin = 6;
constexpr int kSideWidth = 300;

QString ForDisplay(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

}  // namespace

TsunamiWindow::TsunamiWindow(const QuakeAssets& assets, QWidget* parent)
    : QWidget(parent, Qt::Window), assets_(assets) {
  setWindowTitle(QStringLiteral("津波予報"));
  map_ = new MapView(QSize(kCoastMapWidth, kCoastMapHeight), this);
  plain_ = PlainCoastMap(assets_);
  map_->SetImage(plain_);
  time_ = new QLabel(this);
  QFont bold = time_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.2);
  time_->setFont(bold);
  instruction_ = new QLabel(this);
  instruction_->setWordWrap(true);
  instruction_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  link_ = new QLabel(QStringLiteral("<a href=\"tips\">→津波予報の時は...</a>"), this);
  link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(link_, &QLabel::linkActivated, this, [this] {
    if (openTips) openTips(0);
  });
  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  // The level headings are laid out for a fixed-width font.
  QFont fixed = text_->font();
  fixed.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("Monospace")});
  fixed.setStyleHint(QFont::TypeWriter);
  text_->setFont(fixed);
  blink_.setSingleShot(true);
  connect(&blink_, &QTimer::timeout, this, &TsunamiWindow::BlinkStep);
  resize(kMargin * 3 + kCoastMapWidth + kSideWidth, kMargin * 3 + kCoastMapHeight + 200);
  setMinimumSize(kMargin * 3 + kCoastMapWidth / 2 + 160, kMargin * 3 + kCoastMapHeight / 2 + 60);
  LayOut();
}

void TsunamiWindow::LayOut() {
  // The map keeps its logical size (smaller only when the window is), the
  // labels sit beside it, and the text field takes the full width from
  // below the map to the bottom.
  const int mapW = std::min(kCoastMapWidth, std::max(kCoastMapWidth / 2, width() - 2 * kMargin - 160 - kMargin));
  const int mapH = mapW * kCoastMapHeight / kCoastMapWidth;
  map_->setGeometry(kMargin, kMargin, mapW, mapH);
  const int sideX = kMargin * 2 + mapW;
  const int sideW = std::max(0, width() - sideX - kMargin);
  time_->setGeometry(sideX, kMargin, sideW, time_->sizeHint().height());
  const int linkH = link_->sizeHint().height();
  const int instrY = kMargin + time_->height() + kMargin;
  instruction_->setGeometry(sideX, instrY, sideW, std::max(0, kMargin + mapH - linkH - instrY));
  link_->setGeometry(sideX, kMargin + mapH - linkH, sideW, linkH);
  const int textY = kMargin * 2 + mapH;
  text_->setGeometry(0, textY, width(), std::max(0, height() - textY));
}

void TsunamiWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
}

void TsunamiWindow::Present(const TsunamiPlan& plan) {
  blink_.stop();
  plain_ = PlainCoastMap(assets_);
  map_->SetImage(plain_);
  time_->setText(plan.timeText);
  coloured_ = PaintCoastMap(assets_, plan.data);
  map_->SetImage(coloured_);
  colouredShown_ = true;
  text_->setPlainText(ForDisplay(plan.bulletinText));
  instruction_->setText(ForDisplay(plan.instructionText));
  inForce_ = plan.inForce;

  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != plan.topMost)
    setWindowFlag(Qt::WindowStaysOnTopHint, plan.topMost);
  setAttribute(Qt::WA_ShowWithoutActivating, plan.noFocus);
  if (isMinimized()) showNormal();
  show();
  if (!plan.noFocus) {
    raise();
    activateWindow();
  }
  LayOut();
  blink_.start(2500);
}

void TsunamiWindow::BlinkStep() {
  blink_.stop();
  if (colouredShown_) {
    map_->SetImage(plain_);
    colouredShown_ = false;
    blink_.start(1000);
  } else {
    map_->SetImage(coloured_);
    colouredShown_ = true;
    blink_.start(2500);
  }
}

void TsunamiWindow::closeEvent(QCloseEvent* event) {
  if (inForce_ && confirmClose && !confirmClose()) {
    event->ignore();
    return;
  }
  blink_.stop();
  event->accept();
}

QString TsunamiWindow::TimeText() const { return time_->text(); }
QString TsunamiWindow::InstructionText() const { return instruction_->text(); }
QString TsunamiWindow::BulletinText() const { return text_->toPlainText(); }

}  // namespace orva::quake
