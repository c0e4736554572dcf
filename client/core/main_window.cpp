#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "client/quake/tables.h"
#include "platform/control_endpoint.h"

namespace orva {

namespace {
struct StatusRow {
  const char* caption;
  const char* tip;
};
// Caption and tool tip of each value label, in StatusField order.
constexpr StatusRow kStatusRows[5] = {
    {"[状態]", "現在の接続状態。"},
    {"ポート開放：", "ポートが適切に開放されているかどうか。"},
    {"鍵の状態：", "地震感知情報・伝言板を発信する際に必要な鍵データの状態。"},
    {"接続数：", "現在このソフトウェアと接続しているピアの数。"},
    {"参加総数：", "「Orvalis」に参加しているピアの総数。"},
};
}  // namespace

MainWindow::MainWindow(ClientNode& node) : node_(node) {
  setWindowTitle(ClientNode::WindowTitle());
  setWindowIcon(LoadProgramIcon());
  setObjectName(QString::fromLatin1(ClientNode::kWindowClass));
  resize(460, 420);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(8, 8, 8, 8);

  statusBox_ = new QGroupBox(QStringLiteral("ステータス"), central);
  auto* grid = new QGridLayout(statusBox_);
  const NodeContext& ctx = node_.Context();
  for (int i = 0; i < 5; ++i) {
    auto* caption = new QLabel(QString::fromUtf8(kStatusRows[i].caption), statusBox_);
    auto* value = new QLabel(statusBox_);
    value->setToolTip(QString::fromUtf8(kStatusRows[i].tip));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    values_[i] = value;
    if (i == 0) {
      grid->addWidget(caption, 0, 0);
      grid->addWidget(value, 0, 1, 1, 3);
    } else {
      const int row = 1 + (i - 1) / 2, col = ((i - 1) % 2) * 2;
      grid->addWidget(caption, row, col);
      grid->addWidget(value, row, col + 1);
    }
    value->setText(i == 0 ? ctx.log.StatusLine() : ctx.status.Value(static_cast<StatusField>(i)));
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  layout->addWidget(statusBox_);

  auto* logBox = new QGroupBox(QStringLiteral("システムログ"), central);
  auto* logLayout = new QVBoxLayout(logBox);
  logEdit_ = new QPlainTextEdit(logBox);
  logEdit_->setReadOnly(true);
  logEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  logLayout->addWidget(logEdit_);
  layout->addWidget(logBox, 1);
  setCentralWidget(central);

  BuildMenus();

  endpoint_ = new ControlEndpoint(QString::fromLatin1(ClientNode::kWindowClass), ClientNode::WindowTitle(), this);
  endpoint_->onClose = [this] { node_.CloseRequested(false); };
  endpoint_->onQuit = [this] { node_.Exit(); };
}

MainWindow::~MainWindow() {
  NodeUi& ui = node_.Context().ui;
  if (ui.status == this) ui = NodeUi{};
}

void MainWindow::Attach() {
  NodeContext& ctx = node_.Context();
  ctx.ui.status = this;
  ctx.ui.log = this;
  ctx.ui.menus = this;
  ctx.ui.tray = this;
  ctx.ui.boxes = this;
  ctx.ui.windows = this;
  ctx.log.SetViews(this, this);
  ctx.status.SetView(this);
  endpoint_->Open();
}

QAction* MainWindow::AddCommand(QMenu* menu, const QString& text, Command command) {
  QAction* a = menu->addAction(text);
  connect(a, &QAction::triggered, this, [this, command] { node_.RunCommand(command); });
  return a;
}

QMenu* MainWindow::AddToolsMenu(QMenu* parent) {
  QMenu* m = parent ? parent->addMenu(QStringLiteral("ツール(&T)")) : menuBar()->addMenu(QStringLiteral("ツール(&T)"));
  QAction* redisplay = AddCommand(m, QStringLiteral("地震情報再表示(&Q)"), Command::QuakeRedisplay);
  redisplay->setEnabled(false);
  entries_.emplace(MenuEntry::QuakeRedisplay, redisplay);
  AddCommand(m, QStringLiteral("ピア分布図(&M)"), Command::PeerMap);
  AddCommand(m, QStringLiteral("ピアネットワーク図(&N)"), Command::PeerNetwork);
  m->addSeparator();
  AddCommand(m, QStringLiteral("アップデートチェック(&U)"), Command::UpdateCheck);
  m->addSeparator();
  AddCommand(m, QStringLiteral("オプション(&O)"), Command::Options);
  return m;
}

QMenu* MainWindow::AddConnectionMenu(QMenu* parent) {
  QMenu* m = parent ? parent->addMenu(QStringLiteral("接続操作(&C)"))
                    : menuBar()->addMenu(QStringLiteral("接続操作(&C)"));
  entries_.emplace(MenuEntry::Connect, AddCommand(m, QStringLiteral("接続(&C)"), Command::Connect));
  QAction* disconnect = AddCommand(m, QStringLiteral("切断(&D)"), Command::Disconnect);
  disconnect->setEnabled(false);
  entries_.emplace(MenuEntry::Disconnect, disconnect);
  return m;
}

QMenu* MainWindow::AddPluginMenu(QMenu* parent) {
  QMenu* m = parent ? parent->addMenu(QStringLiteral("プラグイン(&P)"))
                    : menuBar()->addMenu(QStringLiteral("プラグイン(&P)"));
  for (int n = 1; n <= 5; ++n) {
    const auto command = static_cast<Command>(static_cast<int>(Command::Plugin1) + n - 1);
    const auto entry = static_cast<MenuEntry>(static_cast<int>(MenuEntry::Plugin1) + n - 1);
    entries_.emplace(entry, AddCommand(m, QStringLiteral("(PLUGIN%1)").arg(n), command));
  }
  return m;
}

QMenu* MainWindow::AddHelpMenu(QMenu* parent) {
  QMenu* m = parent ? parent->addMenu(QStringLiteral("ヘルプ(&H)")) : menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
  AddCommand(m, QStringLiteral("ヘルプ(&H)"), Command::Help);
  AddCommand(m, QStringLiteral("配布元サイト(&S)"), Command::Site);
  m->addSeparator();
  AddCommand(m, QStringLiteral("バージョン情報(&V)"), Command::Version);
  return m;
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  AddCommand(file, QStringLiteral("終了(&X)"), Command::Exit);
  AddToolsMenu(nullptr);
  AddConnectionMenu(nullptr);
  AddPluginMenu(nullptr);
  AddHelpMenu(nullptr);

  trayMenu_ = new QMenu(this);
  AddCommand(trayMenu_, QStringLiteral("表示(&V)"), Command::ShowMain);
  trayMenu_->addSeparator();
  AddToolsMenu(trayMenu_);
  AddConnectionMenu(trayMenu_);
  AddPluginMenu(trayMenu_);
  AddHelpMenu(trayMenu_);
  trayMenu_->addSeparator();
  AddCommand(trayMenu_, QStringLiteral("感知情報発信(&S)"), Command::SendReport);
  trayMenu_->addSeparator();
  AddCommand(trayMenu_, QStringLiteral("終了(&X)"), Command::Exit);
}

void MainWindow::ShowStatusValue(StatusField field, const QString& text) {
  values_[static_cast<int>(field)]->setText(text);
}

void MainWindow::ShowLogText(const QString& boxText) {
  // The box shows CR LF separated lines; the editor wants LF only.
  QString shown = boxText;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (shown.endsWith(QLatin1Char('\n'))) shown.chop(1);
  logEdit_->setPlainText(shown);
}

QString MainWindow::LogText() const { return logEdit_->toPlainText(); }
QString MainWindow::StatusValue(StatusField field) const { return values_[static_cast<int>(field)]->text(); }

void MainWindow::SetEntryEnabled(MenuEntry entry, bool enabled) {
  auto [b, e] = entries_.equal_range(entry);
  for (auto it = b; it != e; ++it) it->second->setEnabled(enabled);
}

void MainWindow::SetEntryText(MenuEntry entry, const QString& text) {
  auto [b, e] = entries_.equal_range(entry);
  for (auto it = b; it != e; ++it) it->second->setText(text);
}

QIcon MainWindow::TrayIcon(int index) { return LoadTrayIcon(index); }

namespace {
// The program and build on the first line, then the text; the tray shows at
// most 128 characters.
QString TipText(const QString& text) {
  return (ClientNode::ProgramTitle() + QStringLiteral("\r\n") + text).left(127);
}
}  // namespace

bool MainWindow::AddIcon(int icon, const QString& toolTip) {
  trayIcon_ = icon;
  if (!toolTip.isEmpty()) trayTip_ = TipText(toolTip);
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  if (!tray_) {
    tray_ = new QSystemTrayIcon(this);
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
      switch (reason) {
        case QSystemTrayIcon::Trigger: HandleTrayMessage(0x201); break;
        case QSystemTrayIcon::DoubleClick: HandleTrayMessage(0x203); break;
        case QSystemTrayIcon::MiddleClick: HandleTrayMessage(0x207); break;
        case QSystemTrayIcon::Context: HandleTrayMessage(0x204); break;
        default: break;
      }
    });
  }
  tray_->setIcon(TrayIcon(icon));
  tray_->setToolTip(trayTip_);
  tray_->show();
  return true;
}

void MainWindow::SetIcon(int icon) {
  if (icon < 0) return;  // -1 keeps the picture
  trayIcon_ = icon;
  if (tray_) tray_->setIcon(TrayIcon(icon));
}

void MainWindow::SetToolTip(const QString& toolTip) {
  if (toolTip.isEmpty()) return;
  trayTip_ = TipText(toolTip);
  if (tray_) tray_->setToolTip(trayTip_);
}

void MainWindow::RemoveIcon() {
  if (tray_) tray_->hide();
}

void MainWindow::HandleTrayMessage(int message) {
  // The tray's click actions belong to the tray subsystem; until it is
  // wired in, a double click brings the window back.
  if (message == 0x203) node_.RunCommand(Command::ShowMain);
}

BoxAnswer MainWindow::Show(const QString& text, BoxIcon icon, BoxButtons buttons, BoxAnswer defaultAnswer) {
  QMessageBox box(this);
  box.setWindowTitle(ClientNode::WindowTitle());
  box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  switch (icon) {
    case BoxIcon::Information: box.setIcon(QMessageBox::Information); break;
    case BoxIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case BoxIcon::Question: box.setIcon(QMessageBox::Question); break;
    case BoxIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case BoxIcon::None: break;
  }
  switch (buttons) {
    case BoxButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case BoxButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case BoxButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
  }
  const auto toButton = [](BoxAnswer a) {
    switch (a) {
      case BoxAnswer::Yes: return QMessageBox::Yes;
      case BoxAnswer::No: return QMessageBox::No;
      case BoxAnswer::Cancel: return QMessageBox::Cancel;
      case BoxAnswer::Ok: break;
    }
    return QMessageBox::Ok;
  };
  box.setDefaultButton(toButton(defaultAnswer));
  switch (box.exec()) {
    case QMessageBox::Yes: return BoxAnswer::Yes;
    case QMessageBox::No: return BoxAnswer::No;
    case QMessageBox::Cancel: return BoxAnswer::Cancel;
    default: return BoxAnswer::Ok;
  }
}

void MainWindow::ShowMainWindow(bool activate) {
  if (!activate) setAttribute(Qt::WA_ShowWithoutActivating, true);
  show();
  setAttribute(Qt::WA_ShowWithoutActivating, false);
  if (activate) {
    raise();
    activateWindow();
  }
}

void MainWindow::HideMainWindow() { hide(); }
bool MainWindow::ShowFirstRunWizard() { return false; }
void MainWindow::ShowUpdateNotice() {}
void MainWindow::ShowOptionsDialog() {}
void MainWindow::ShowPeerMap() {}
void MainWindow::ShowTips() {}
void MainWindow::UnloadSecondaryWindows() {
  if (unloadSecondaryWindows) unloadSecondaryWindows();
}

void MainWindow::EndProgram(int exitCode) {
  ending_ = true;
  endpoint_->Close();
  if (tray_) tray_->hide();
  hide();
  QCoreApplication::exit(exitCode);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (ending_) {
    event->accept();
    return;
  }
  event->ignore();
  // A close from the window's own close box only minimises into the tray;
  // any other close ends the program.
  node_.CloseRequested(event->spontaneous());
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)) {
    hide();
    QCoreApplication::processEvents();
    setWindowState(windowState() & ~Qt::WindowMinimized);
  }
}

}  // namespace orva
