#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <future>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

#include "client/core/client_node.h"
#include "client/core/main_window.h"
#include "platform/control_endpoint.h"
#include "platform/timing.h"

using namespace orva;

namespace {

QStringList Texts(const QList<QAction*>& actions) {
  QStringList t;
  for (QAction* a : actions)
    if (!a->isSeparator()) t << a->text();
  return t;
}
QAction* Find(QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions()) {
    if (a->text() == text) return a;
    if (a->menu())
      if (QAction* inner = Find(a->menu(), text)) return inner;
  }
  return nullptr;
}
}  // namespace

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NodeOptions o;
    o.programFolder = dir_.path() + QLatin1Char('/');
    node_ = std::make_unique<ClientNode>(o);
    node_->Hooks().connectServer = [this](int p) { connects_ << p; };
    window_ = std::make_unique<MainWindow>(*node_);
    window_->Attach();
  }
  QTemporaryDir dir_;
  std::unique_ptr<ClientNode> node_;
  std::unique_ptr<MainWindow> window_;
  QList<int> connects_;
};

TEST_F(MainWindowTest, MenusCarryEveryEntryAndTheirStartState) {
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Orvalis"));
  EXPECT_EQ(Texts(window_->menuBar()->actions()),
            (QStringList{QStringLiteral("ファイル(&F)"), QStringLiteral("ツール(&T)"), QStringLiteral("接続操作(&C)"),
                         QStringLiteral("プラグイン(&P)"), QStringLiteral("ヘルプ(&H)")}));
  EXPECT_EQ(Texts(window_->TrayMenu()->actions()),
            (QStringList{QStringLiteral("表示(&V)"), QStringLiteral("ツール(&T)"), QStringLiteral("接続操作(&C)"),
                         QStringLiteral("プラグイン(&P)"), QStringLiteral("ヘルプ(&H)"), QStringLiteral("感知情報発信(&S)"),
                         QStringLiteral("終了(&X)")}));
  QAction* connect = Find(window_->TrayMenu(), QStringLiteral("接続(&C)"));
  QAction* disconnect = Find(window_->TrayMenu(), QStringLiteral("切断(&D)"));
  ASSERT_TRUE(connect && disconnect);
  EXPECT_TRUE(connect->isEnabled());
  EXPECT_FALSE(disconnect->isEnabled());
  EXPECT_FALSE(Find(window_->TrayMenu(), QStringLiteral("地震情報再表示(&Q)"))->isEnabled());
  EXPECT_NE(Find(window_->TrayMenu(), QStringLiteral("(PLUGIN5)")), nullptr);

  // The node swaps the entries in both menus at once.
  window_->SetEntryEnabled(MenuEntry::Connect, false);
  window_->SetEntryEnabled(MenuEntry::Disconnect, true);
  for (QAction* a : window_->menuBar()->actions())
    if (a->text() == QStringLiteral("接続操作(&C)")) {
      EXPECT_FALSE(a->menu()->actions()[0]->isEnabled());
      EXPECT_TRUE(a->menu()->actions()[1]->isEnabled());
    }
  EXPECT_FALSE(connect->isEnabled());

  window_->AddIcon(1, QStringLiteral("接続されていません。"));
  window_->SetToolTip(QString());
  EXPECT_EQ(window_->TrayToolTip(), QStringLiteral("Orvalis Beta3(Rev11)\r\n接続されていません。"));
  window_->SetToolTip(QStringLiteral("接続中 総参加:5 接続:2"));
  EXPECT_EQ(window_->TrayToolTip(), QStringLiteral("Orvalis Beta3(Rev11)\r\n接続中 総参加:5 接続:2"));

  connect->setEnabled(true);
  connect->trigger();
  EXPECT_EQ(connects_, QList<int>{1});
}

TEST_F(MainWindowTest, StatusBoxShowsValuesWithToolTipsAndTheLog) {
  node_->Context().status.Set(StatusField::ConnectedPeers, QStringLiteral("3ピア"));
  node_->Context().log.WriteLog(QStringLiteral("サーバーへ接続しました"), 1);
  EXPECT_EQ(window_->StatusValue(StatusField::ConnectedPeers), QStringLiteral("3ピア"));
  EXPECT_EQ(window_->StatusValue(StatusField::StatusLine), QStringLiteral("正常に接続されています。"));
  EXPECT_TRUE(window_->LogText().contains(QStringLiteral("|サーバーへ接続しました")));
  bool tipFound = false;
  for (QLabel* l : window_->findChildren<QLabel*>())
    if (l->toolTip() == QStringLiteral("現在このソフトウェアと接続しているピアの数。")) tipFound = true;
  EXPECT_TRUE(tipFound);

  window_->resize(520, 440);
  window_->show();
  QCoreApplication::processEvents();
  const QString shot = QStringLiteral(ORVA_PROGRAM_DIR "/../main_window.png");
  EXPECT_TRUE(window_->grab().save(shot));
}

TEST_F(MainWindowTest, CloseEndpointRunsShutdown) {
  node_->Startup();
  ASSERT_FALSE(node_->Ended());
  // Another program asks; this thread keeps the window's event loop going.
  auto ask = [](const char* request) {
    auto answer = std::async(std::launch::async, [request] {
      const QString cls = QStringLiteral("QuakeClientMainWindow"), title = QStringLiteral("Orvalis");
      return request ? SendControlRequest(cls, title, QString::fromLatin1(request)) : ControlWindowExists(cls, title);
    });
    while (answer.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) WaitMs(10);
    return answer.get();
  };
  EXPECT_TRUE(ask(nullptr));
  EXPECT_TRUE(ask("close"));
  for (int i = 0; i < 100 && !node_->Ended(); ++i) WaitMs(20);
  EXPECT_TRUE(node_->Ended());
  EXPECT_FALSE(ask(nullptr));
}
