#include "client/quake/quake_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "client/quake/intensity_map.h"
#include "client/quake/map_view.h"

namespace orva::quake {

namespace {

QLabel* ValueLabel(QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setWordWrap(true);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return l;
}

void ShowWindow(QWidget* w, bool noFocus, bool topMost) {
  const bool wasTop = w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
  if (wasTop != topMost) w->setWindowFlag(Qt::WindowStaysOnTopHint, topMost);
  w->setAttribute(Qt::WA_ShowWithoutActivating, noFocus);
  if (w->isMinimized()) w->showNormal();
  w->show();
  if (!noFocus) {
    w->raise();
    w->activateWindow();
  }
}

}  // namespace

QuakeWindow::QuakeWindow(const QuakeAssets& assets, QWidget* parent)
    : QWidget(parent, Qt::Window), assets_(assets) {
  map_ = new MapView(QSize(kQuakeMapWidth, kQuakeMapHeight), this);
  map_->SetImage(BaseQuakeMap(assets_));
  map_->onCopy = [this] { CopyToClipboard(); };

  auto* side = new QWidget(this);
  side->setFixedWidth(300);
  kind_ = new QLabel(side);
  QFont big = kind_->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  big.setBold(true);
  kind_->setFont(big);
  time_ = ValueLabel(side);
  epicentre_ = ValueLabel(side);
  depth_ = ValueLabel(side);
  magnitude_ = ValueLabel(side);
  tsunami_ = ValueLabel(side);
  office_ = ValueLabel(side);
  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->setRowWrapPolicy(QFormLayout::DontWrapRows);
  form->addRow(QStringLiteral("発生時刻"), time_);
  form->addRow(QStringLiteral("震源"), epicentre_);
  form->addRow(QStringLiteral("深さ"), depth_);
  form->addRow(QStringLiteral("規模"), magnitude_);
  form->addRow(QStringLiteral("津波"), tsunami_);
  form->addRow(QStringLiteral("発表"), office_);
  detailView_ = new QPlainTextEdit(side);
  detailView_->setReadOnly(true);
  link_ = new QLabel(QStringLiteral("<a href=\"tips\">→地震情報は5種類？</a>"), side);
  link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(link_, &QLabel::linkActivated, this, [this] {
    if (openTips) openTips(1);
  });
  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->setContentsMargins(0, 0, 0, 0);
  sideLayout->addWidget(kind_);
  sideLayout->addLayout(form);
  sideLayout->addWidget(detailView_, 1);
  sideLayout->addWidget(link_, 0, Qt::AlignRight);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(map_, 1);
  layout->addWidget(side);
  resize(kQuakeMapWidth + 300 + 18, kQuakeMapHeight + 12);
}

void QuakeWindow::SetTsunamiColour(const QColor& colour) {
  QPalette pal = tsunami_->palette();
  pal.setColor(QPalette::WindowText, colour);
  tsunami_->setPalette(pal);
}

void QuakeWindow::Present(const QStringList& header, const QString& pointList, bool noFocus, bool topMost) {
  const quint64 generation = ++generation_;
  // Base map; the tsunami label starts black.
  QImage map = BaseQuakeMap(assets_);
  map_->SetImage(map);
  SetTsunamiColour(Qt::black);

  labels_ = MakeQuakeLabels(header);
  // A kind the window does not know leaves the kind it showed before.
  if (!labels_.kind.isEmpty()) kind_->setText(labels_.kind);
  labels_.kind = kind_->text();
  time_->setText(labels_.time);
  tsunami_->setText(labels_.tsunami);
  if (labels_.tsunamiRed) SetTsunamiColour(QColor(255, 0, 0));
  epicentre_->setText(labels_.epicentre);
  depth_->setText(labels_.depth);
  magnitude_->setText(labels_.magnitude);
  office_->setText(labels_.office);
  setWindowTitle(WindowTitle(kind_->text(), office_->text()));

  detail_ = DetailText(pointList, true, header[3], PlaceNames(assets_.Places()));
  detailView_->setPlainText(QString(detail_).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

  // The marks are drawn on a copy and shown together when all are done.
  const bool complete = DrawIntensityMarks(map, header, pointList, assets_.Places(), [this, generation] {
    QCoreApplication::processEvents();
    return generation == generation_;
  });
  if (!complete) return;
  map_->SetImage(map);

  ShowWindow(this, noFocus, topMost);
  QCoreApplication::processEvents();
}

QString QuakeWindow::ClipboardText() const { return CopyText(labels_, detail_); }

void QuakeWindow::CopyToClipboard() {
  if (QClipboard* c = QGuiApplication::clipboard()) c->setText(ClipboardText());
}

QString QuakeWindow::KindText() const { return kind_->text(); }
QString QuakeWindow::TimeText() const { return time_->text(); }
QString QuakeWindow::EpicentreText() const { return epicentre_->text(); }
QString QuakeWindow::DepthText() const { return depth_->text(); }
QString QuakeWindow::MagnitudeText() const { return magnitude_->text(); }
QString QuakeWindow::TsunamiText() const { return tsunami_->text(); }
QColor QuakeWindow::TsunamiColour() const { return tsunami_->palette().color(QPalette::WindowText); }
QString QuakeWindow::OfficeText() const { return office_->text(); }

}  // namespace orva::quake
