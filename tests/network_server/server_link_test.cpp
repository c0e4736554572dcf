// The server link on its own: line parsing, the server draw, failover over
// refused and silent servers, giving up on exit, and the bind address.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTimer>

#include <set>

#include "net_harness.h"

namespace orva::test {
namespace {

struct LineCase {
  const char* line;  // UTF-8
  bool valid;
  bool codeIsNumber;
  int code;
  QStringList arguments;
};

TEST(ParseServerLine, ValidAndInvalidShapes) {
  const LineCase cases[] = {
      {"211 1", true, true, 211, {}},
      {"211 1 ", true, true, 211, {}},
      {"233 1 x", true, true, 233, {"x"}},
      {"237 1 a:b::d:", true, true, 237, {"a", "b", "", "d", ""}},
      {"247 1 東京", true, true, 247, {"東京"}},
      {"235 1 127.0.0.1,6911,5:h,1,6", true, true, 235, {"127.0.0.1,6911,5", "h,1,6"}},
      {"2111", false, false, 0, {}},     // code followed directly by "1"
      {"211 2", false, false, 0, {}},    // protocol field other than "1"
      {"211 10", false, false, 0, {}},   // no blank after the "1"
      {"211 1x", false, false, 0, {}},
      {"211 1x y", false, false, 0, {}},
      {"211 ", false, false, 0, {}},     // shorter than 5
      {"211", false, false, 0, {}},
      {"", false, false, 0, {}},
      {"abc 1", true, false, 0, {}},     // valid shape, code not a number
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line);
    const ServerLine parsed = ParseServerLine(QString::fromUtf8(c.line));
    EXPECT_EQ(parsed.valid, c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(parsed.codeIsNumber, c.codeIsNumber);
    if (!c.codeIsNumber) continue;
    EXPECT_EQ(parsed.code, c.code);
    EXPECT_EQ(parsed.arguments, c.arguments);
  }
}

TEST(DrawServerIndex, RoundsHalvesToEven) {
  struct Case {
    double r;
    int last;
    int index;
  };
  for (const Case c : {Case{0.0, 4, 0}, Case{0.1, 4, 0}, Case{0.125, 4, 0}, Case{0.2, 4, 1},
                       Case{0.375, 4, 2}, Case{0.625, 4, 2}, Case{0.875, 4, 4}, Case{0.99, 4, 4},
                       Case{0.7, 0, 0}}) {
    SCOPED_TRACE(c.r);
    EXPECT_EQ(DrawServerIndex(c.r, c.last), c.index);
  }
}

// Nothing listens on these: each connection is refused at once.
QStringList DownHosts() {
  QStringList hosts;
  for (int i = 2; i <= 7; ++i) hosts << QStringLiteral("127.0.9.%1").arg(i);
  return hosts;
}
constexpr quint16 kDownPort = 1;

int Failures(const TestNode& node, std::set<QString>* hosts = nullptr) {
  int count = 0;
  for (const QString& entry : node.log) {
    if (!entry.endsWith(QStringLiteral("への接続に失敗"))) continue;
    ++count;
    if (hosts) hosts->insert(entry.chopped(7));
  }
  return count;
}

struct DownCase {
  const char* name;
  quint32 purpose;
  quint8 quitState;
  int peerIdAfter;
  quint8 joinRetryPending;
  std::vector<int> icons;
  const char* tip;
};

void PrintTo(const DownCase& c, std::ostream* os) { *os << c.name; }

class EveryServerDown : public ::testing::TestWithParam<DownCase> {};

TEST_P(EveryServerDown, TriesEachServerOnceThenGivesTheOutcome) {
  const DownCase& c = GetParam();
  TestNode node(DownHosts(), kDownPort);
  node.ctx.net.ownPeerId = 42;
  node.ctx.net.totalPeers = 100;
  node.ctx.life.quitState = c.quitState;
  node.link->ConnectServer(c.purpose);

  std::set<QString> tried;
  EXPECT_EQ(Failures(node, &tried), 6);
  const QStringList hosts = DownHosts();
  EXPECT_EQ(tried, std::set<QString>(hosts.begin(), hosts.end()));
  EXPECT_TRUE(node.Logged("サーバーに接続出来ませんでした。あとで再試行します…"));
  EXPECT_EQ(node.ctx.log.StatusLine(), "サーバーに接続出来ませんでした。");
  EXPECT_EQ(node.ctx.net.ownPeerId, c.peerIdAfter);
  EXPECT_EQ(node.ctx.life.joinRetryPending, c.joinRetryPending);
  EXPECT_EQ(node.tray.icons, c.icons);
  EXPECT_EQ(node.tray.LastTip(), c.tip);
  EXPECT_FALSE(node.link->IsServerConnected());
}

INSTANTIATE_TEST_SUITE_P(
    Purposes, EveryServerDown,
    ::testing::Values(DownCase{"Join", kPurposeJoin, 0, 42, 1, {2, 1}, "サーバーへ接続出来ませんでした。"},
                      DownCase{"EchoWithoutPeers", kPurposeEcho, 0, 42, 0, {6, 8},
                               "サーバーへ接続出来ません。 総参加:100 接続:0"},
                      DownCase{"LeaveOnTheWayOut", kPurposeLeave, 2, 0, 0, {2, 1}, "サーバーへ接続出来ませんでした。"},
                      DownCase{"LeaveFromTheMenu", kPurposeLeave, 0, 42, 0, {2, 1}, "サーバーへ接続出来ませんでした。"}),
    [](const auto& info) { return std::string(info.param.name); });

// A server whose accept queue is full: the connect never completes, as with
// a host that does not answer.
class SilentServer {
 public:
  explicit SilentServer(const QString& address) {
    server_.setListenBacklogSize(0);
    server_.listen(QHostAddress(address), 0);
    server_.pauseAccepting();
    filler_.connectToHost(QHostAddress(address), server_.serverPort());
    filler_.waitForConnected(1000);
  }
  quint16 Port() const { return server_.serverPort(); }

 private:
  QTcpServer server_;
  QTcpSocket filler_;
};

TEST(ServerLinkWait, SilentServerIsGivenUpAfterTheTimeoutAndTheNextOneAnswers) {
  SilentServer silent(QStringLiteral("127.0.9.20"));
  ServerFarm farm(1, silent.Port(), QStringLiteral("127.0.9.21"));
  ASSERT_TRUE(farm.Listening());
  farm.script.greeting = [](int) { return QList<QByteArray>{}; };
  TestNode node({QStringLiteral("127.0.9.20"), QStringLiteral("127.0.9.21")}, silent.Port());
  node.ctx.settings.Server_Timeout = 300;
  QList<double> draws{0.0, 0.0, 0.9};  // the silent one first, a repeat, then the other
  node.link->SetRandomSource([&draws] { return draws.isEmpty() ? 0.5 : draws.takeFirst(); });

  node.link->ConnectServer(kPurposeJoin);
  EXPECT_EQ(node.log.filter("への接続に失敗"), QStringList{"127.0.9.20への接続に失敗"});
  EXPECT_TRUE(node.Logged("サーバーへ接続しました"));
  EXPECT_TRUE(node.link->IsServerConnected());
  EXPECT_EQ(farm.Connections(), 1);
  EXPECT_EQ(node.tray.LastIcon(), 3);
}

TEST(ServerLinkWait, ExitDuringTheWaitEndsItWithoutFurtherMessages) {
  SilentServer silent(QStringLiteral("127.0.9.22"));
  TestNode node({QStringLiteral("127.0.9.22")}, silent.Port());
  node.ctx.settings.Server_Timeout = 10000;
  QTimer::singleShot(100, [&node] { node.ctx.life.quitState = 1; });
  node.link->ConnectServer(kPurposeJoin);
  EXPECT_EQ(Failures(node), 0);
  EXPECT_FALSE(node.Logged("サーバーに接続出来ませんでした。あとで再試行します…"));
  EXPECT_EQ(node.ctx.life.joinRetryPending, 0);
  EXPECT_FALSE(node.link->IsServerConnected());
}

TEST(ServerLinkWait, CallDuringTheWaitTakesOverWithItsPurpose) {
  SilentServer silent(QStringLiteral("127.0.9.23"));
  TestNode node({QStringLiteral("127.0.9.23")}, silent.Port());
  node.ctx.net.ownPeerId = 42;
  node.ctx.settings.Server_Timeout = 300;
  QTimer::singleShot(100, [&node] { node.link->ConnectServer(kPurposeEcho); });
  node.link->ConnectServer(kPurposeJoin);
  EXPECT_EQ(node.LogCount("サーバーへ接続開始..."), 2);
  EXPECT_EQ(Failures(node), 1);  // only the echo's attempt ran to its end
  EXPECT_EQ(node.ctx.life.joinRetryPending, 0);
  EXPECT_EQ(node.tray.LastIcon(), 8);
  EXPECT_EQ(node.ctx.net.linkPurpose, kPurposeEcho);
}

TEST(ServerLinkWait, LeaveOnExitDuringAJoinWaitCompletesInsideThatWait) {
  SilentServer silent(QStringLiteral("127.0.9.24"));
  ServerFarm farm(1, silent.Port(), QStringLiteral("127.0.9.25"));
  ASSERT_TRUE(farm.Listening());
  farm.script.reply = [](const QString& line, int) {
    return QList<QByteArray>{line.startsWith("131") ? "212 1 0.34\r\n" : "239 1\r\n"};
  };
  TestNode node({QStringLiteral("127.0.9.24"), QStringLiteral("127.0.9.25")}, silent.Port());
  node.ctx.settings.Server_Timeout = 5000;
  node.ctx.net.ownPeerId = 42;
  QList<double> draws{0.0, 0.9};  // the join waits on the silent server, the leave reaches the other
  node.link->SetRandomSource([&draws] { return draws.isEmpty() ? 0.5 : draws.takeFirst(); });
  bool leftInTime = false;
  // What shutdown does while a join is waiting: leave, and wait for the peer ID to clear.
  QTimer::singleShot(100, [&] {
    node.ctx.life.quitState = 2;
    node.link->ConnectServer(kPurposeLeave);
    leftInTime = WaitUntil([&node] { return node.ctx.net.ownPeerId == 0; }, 3000);
    node.ctx.life.quitState = 1;
  });
  node.link->ConnectServer(kPurposeJoin);
  EXPECT_TRUE(leftInTime);
  EXPECT_EQ(farm.lines, QStringList({"131 1 0.32:Orva_Client:Beta3_Rev1011", "128 1 42:Unknown"}));
  EXPECT_EQ(Failures(node), 0);
  EXPECT_EQ(node.ctx.life.joinRetryPending, 0);
}

TEST(ServerLinkWait, ConnectsFromTheBindAddress) {
  ServerFarm farm(1, 6910, QStringLiteral("127.0.0.2"));
  ASSERT_TRUE(farm.Listening());
  farm.script.greeting = [](int) { return QList<QByteArray>{}; };
  TestNode node(farm.Hosts(), farm.Port());
  node.link->SetBindAddress(QHostAddress(QStringLiteral("127.0.0.9")));
  node.link->ConnectServer(kPurposeEcho);
  ASSERT_TRUE(WaitUntil([&farm] { return farm.Connections() == 1; }));
  EXPECT_EQ(farm.peerAddresses[0], "127.0.0.9");
}

TEST(NetworkProfile, ClientAndChatNetworks) {
  const NetworkProfile client = ClientNetworkProfile();
  EXPECT_EQ(client.identity, "0.32:Orva_Client:Beta3_Rev1011");
  EXPECT_EQ(client.serverPort, 6910);
  EXPECT_FALSE(client.servers.isEmpty());
  EXPECT_FLOAT_EQ(client.minProtocolVersion, 0.3f);
  const NetworkProfile chat = ChatNetworkProfile();
  EXPECT_EQ(chat.identity, "0.21:Pelion_Client:Beta1_Rev1004");
  EXPECT_EQ(chat.serverPort, 5910);
  EXPECT_EQ(SplitServerList(" a.example, ,b "), QStringList({"a.example", "b"}));
}

}  // namespace
}  // namespace orva::test
