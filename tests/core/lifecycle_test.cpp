#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "client/core/client_node.h"
#include "platform/cp932.h"
#include "tests/support/recording_ui.h"

using namespace orva;
using orva::test::RecordingUi;

namespace {


class Lifecycle : public ::testing::Test {
 protected:

  std::unique_ptr<ClientNode> MakeNode(bool headless = false) {
    NodeOptions o;
    o.programFolder = dir_.path() + QLatin1Char('/');
    o.headless = headless;
    auto node = std::make_unique<ClientNode>(o);
    node->Context().ui = ui_.All();
    node->Context().log.SetViews(&ui_.log, &ui_.status);
    node->Hooks().connectServer = [this](int purpose) { connects_ << purpose; };
    node->Hooks().createPeerSockets = [this] { socketsCreated_ = true; };
    return node;
  }
  void WriteSettings(const QString& text) {
    QFile f(dir_.filePath(QStringLiteral("Orva_Client.ini")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(cp932::fromUnicode(text));
  }
  QByteArray ReadSettings() {
    QFile f(dir_.filePath(QStringLiteral("Orva_Client.ini")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir dir_;
  RecordingUi ui_;
  QList<int> connects_;
  bool socketsCreated_ = false;
};

}  // namespace

TEST_F(Lifecycle, OlderVersionShowsUpdateNoticeAndSavesKeepingLogLevel) {
  WriteSettings(QStringLiteral("[Version/バージョン]\r\nSoftware_Version=3.1000\r\n[System/システム]\r\nLogLevel=0\r\n"
                               "[Connection/接続]\r\nIn_TaskTray=0\r\n"));
  auto node = MakeNode();
  node->Startup();
  EXPECT_TRUE(ui_.windows.calls.contains(QStringLiteral("notice")));
  EXPECT_TRUE(ReadSettings().contains("Software_Version=3.1011\r\n"));
  EXPECT_TRUE(ReadSettings().contains("LogLevel=0\r\n"));
  EXPECT_EQ(connects_, QList<int>{1});  // Auto_Connect default 1
  EXPECT_EQ(ui_.windows.calls.filter(QStringLiteral("hide")).size(), 0);

  // The same build starting again shows no notice.
  ui_.windows.calls.clear();
  node.reset();
  auto again = MakeNode();
  again->Startup();
  EXPECT_FALSE(ui_.windows.calls.contains(QStringLiteral("notice")));
}

TEST_F(Lifecycle, VersionBeforeThreeAsksTheRegionQuestion) {
  for (const char* version : {"2", "30000"}) {
    SCOPED_TRACE(version);
    WriteSettings(QStringLiteral("[Version/バージョン]\r\nSoftware_Version=%1\r\n").arg(QLatin1String(version)));
    ui_ = RecordingUi{};
    connects_.clear();
    ui_.boxes.answers = {BoxAnswer::No};
    auto node = MakeNode();
    node->Startup();
    ASSERT_EQ(ui_.boxes.texts.size(), 1);
    EXPECT_TRUE(ui_.boxes.texts[0].startsWith(QStringLiteral("「Orvalis」の新しいバージョン\"Beta 3\"に更新されました。\r\n")));
    EXPECT_TRUE(ui_.boxes.texts[0].endsWith(QStringLiteral("\r\n\r\n「初期設定ウィザード」で地域を再設定しますか？")));
    EXPECT_FALSE(ui_.windows.calls.contains(QStringLiteral("wizard")));
    EXPECT_EQ(connects_, QList<int>{1});
    EXPECT_TRUE(ReadSettings().contains(QByteArray("Software_Version=") + version));  // not saved
  }
}

TEST_F(Lifecycle, YesToTheRegionQuestionHandsStartUpToTheWizard) {
  WriteSettings(QStringLiteral("[Connection/接続]\r\nAuto_Connect=1\r\n"));
  ui_.boxes.answers = {BoxAnswer::Yes};
  ui_.windows.wizardAvailable = true;
  auto node = MakeNode();
  node->Startup();
  EXPECT_TRUE(ui_.windows.calls.contains(QStringLiteral("wizard")));
  EXPECT_TRUE(connects_.isEmpty());
  node->ContinueStartupAfterWizard();
  EXPECT_EQ(connects_, QList<int>{1});
}

TEST_F(Lifecycle, HeadlessWithoutSettingsUsesDefaultsAndWritesNothing) {
  auto node = MakeNode(/*headless=*/true);
  node->Startup();
  EXPECT_FALSE(ui_.windows.calls.contains(QStringLiteral("wizard")));
  EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("Orva_Client.ini"))));
  EXPECT_EQ(connects_, QList<int>{1});
  EXPECT_TRUE(ui_.log.text.contains(QStringLiteral("|Orvalis Beta3(Rev11)\r\n")));
  EXPECT_EQ(node->Context().log.StatusLine(), QStringLiteral("初期化が完了しました。"));
}

TEST_F(Lifecycle, SecondCopyOfTheSameFolderEndsBeforeAnySocket) {
  auto first = MakeNode();
  first->Startup();
  ASSERT_TRUE(socketsCreated_);
  socketsCreated_ = false;
  bool upnp = false;
  auto second = MakeNode();
  second->Hooks().removePortMapping = [&] { upnp = true; };
  ui_.boxes.texts.clear();
  second->Startup();
  EXPECT_TRUE(second->Ended());
  EXPECT_EQ(ui_.boxes.texts, QStringList{QStringLiteral("ソフトウェアは既に起動されています。")});
  EXPECT_FALSE(socketsCreated_);
  EXPECT_FALSE(upnp);
  EXPECT_FALSE(first->Ended());
}

TEST_F(Lifecycle, MainTimerContactsServerEveryMinuteWhileKeyExpiredOrFewPeers) {
  WriteSettings(QStringLiteral("[Connection/接続]\r\nAuto_Connect=0\r\n"));
  auto node = MakeNode();
  node->Startup();
  node->MainTimerTick();
  EXPECT_TRUE(connects_.isEmpty());  // not joined, no failed join

  NodeContext& ctx = node->Context();
  ctx.net.ownPeerId = 42;
  ctx.net.connectedPeers = 3;  // enough peers, but the zero-date key counts as expired
  node->MainTimerTick();
  node->MainTimerTick();
  EXPECT_EQ(connects_, (QList<int>{2, 2}));
  EXPECT_EQ(ctx.status.Value(StatusField::KeyState), QStringLiteral("無効"));
  EXPECT_EQ(ui_.tray.LastTip(), QStringLiteral("接続中 総参加:0 接続:3"));

  connects_.clear();
  ctx.net.key.expiry = ctx.ProtocolNow().addSecs(3600);
  for (int i = 0; i < 9; ++i) node->MainTimerTick();
  EXPECT_TRUE(connects_.isEmpty());
  node->MainTimerTick();
  EXPECT_EQ(connects_, QList<int>{2});
  EXPECT_EQ(ctx.status.Value(StatusField::KeyState), QStringLiteral("有効"));

  connects_.clear();
  ctx.net.ownPeerId = 0;
  ctx.life.joinRetryPending = 1;
  node->MainTimerTick();
  EXPECT_EQ(connects_, QList<int>{1});
}

TEST_F(Lifecycle, CloseBoxMinimisesAndExitLeavesBeforeEnding) {
  auto node = MakeNode();
  node->Startup();
  node->CloseRequested(true);
  EXPECT_FALSE(node->Ended());
  EXPECT_TRUE(ui_.windows.calls.contains(QStringLiteral("hide")));

  NodeContext& ctx = node->Context();
  ctx.net.ownPeerId = 7;
  connects_.clear();
  // The leave conversation clears the peer ID a little later.
  node->Hooks().connectServer = [&](int purpose) {
    connects_ << purpose;
    EXPECT_EQ(ctx.life.quitState, 2);
    QTimer::singleShot(100, [&ctx] { ctx.net.ownPeerId = 0; });
  };
  node->RunCommand(Command::Exit);
  EXPECT_EQ(connects_, QList<int>{3});
  EXPECT_TRUE(node->Ended());
  EXPECT_EQ(ctx.life.quitState, 1);
  EXPECT_FALSE(ui_.tray.shown);
  EXPECT_EQ(ui_.windows.endedWith, 0);
}

TEST_F(Lifecycle, SecondExitDuringTheLeaveWaitEndsAtOnce) {
  auto node = MakeNode();
  node->Startup();
  node->Context().net.ownPeerId = 7;
  node->Hooks().connectServer = [&](int) {
    QTimer::singleShot(50, [&] { node->RunCommand(Command::Exit); });
  };
  node->RunCommand(Command::Exit);
  EXPECT_TRUE(node->Ended());
  EXPECT_EQ(node->Context().net.ownPeerId, 7);
}

TEST_F(Lifecycle, SilentServerDoesNotHoldShutdownForever) {
  auto node = MakeNode();
  node->Startup();
  node->leaveWaitLimitMs = 200;
  node->Context().net.ownPeerId = 7;
  node->Hooks().connectServer = [](int) {};
  node->Shutdown();
  EXPECT_TRUE(node->Ended());
}

TEST_F(Lifecycle, UpdaterReplacementRenamesTheDeliveredUpdater) {
  QFile fresh(dir_.filePath(QStringLiteral("Orva_Updater2")));
  ASSERT_TRUE(fresh.open(QIODevice::WriteOnly));
  fresh.write("new");
  fresh.close();
  auto node = MakeNode();
  node->Startup();
  EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("Orva_Updater2"))));
  QFile updated(dir_.filePath(QStringLiteral("Orva_Updater")));
  ASSERT_TRUE(updated.open(QIODevice::ReadOnly));
  EXPECT_EQ(updated.readAll(), "new");
  EXPECT_TRUE(ui_.boxes.texts.isEmpty());
}
