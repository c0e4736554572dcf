// The join, echo and leave conversations against scripted servers on
// loopback, with the exact request lines the servers receive.
#include <gtest/gtest.h>

#include <QTcpServer>

#include "client/network/join_sequence.h"
#include "platform/cp932.h"
#include "net_harness.h"

namespace orva::test {
namespace {

const QString kHello = QStringLiteral("131 1 0.32:Orva_Client:Beta3_Rev1011");

// A server that answers every request as a healthy network does.
struct NormalServer {
  int peerId = 1234;
  QStringList peerEntries;
  int total = 321;
  QDateTime keyExpiry = TestLocalNow().addDays(1);
  QString regionCounts = QStringLiteral("27,3");
  QDateTime networkTime = TestLocalNow();

  QList<QByteArray> operator()(const QString& line) const {
    const QString code = line.left(3);
    auto one = [](const QString& text) { return QList<QByteArray>{cp932::fromUnicode(text + "\r\n")}; };
    if (code == "131") return one("212 1 0.34");
    if (code == "113") return one(QStringLiteral("233 1 %1").arg(peerId));
    if (code == "114") return one("234 1 1");
    if (code == "115") return one("235 1" + (peerEntries.isEmpty() ? QString() : " " + peerEntries.join(':')));
    if (code == "116") return one(QStringLiteral("236 1 %1").arg(total));
    if (code == "117") return one("237 1 PRIV:PUB:" + WireDate(keyExpiry) + ":SIG");
    if (code == "124") return one("244 1 PRIV2:PUB2:" + WireDate(keyExpiry.addDays(1)) + ":SIG2");
    if (code == "127") return one("247 1 " + regionCounts);
    if (code == "118") return one("238 1 " + WireDate(networkTime));
    if (code == "119") return one("239 1");
    if (code == "123") return one("243 1");
    if (code == "128") return one("239 1");
    return {};
  }
};

quint16 FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
  return probe.serverPort();
}

class Conversation : public ::testing::Test {
 protected:
  void SetUpFarm(int servers) {
    farm = std::make_unique<ServerFarm>(servers);
    ASSERT_TRUE(farm->Listening());
    farm->script.reply = [this](const QString& line, int) { return normal(line); };
    node = std::make_unique<TestNode>(farm->Hosts(), farm->Port());
    node->ctx.settings.Area_Code = 27;
  }
  // Runs one conversation and waits until it ended (purpose 0, link closed).
  void Run(quint32 purpose) {
    farm->lines.clear();
    node->link->ConnectServer(purpose);
    ASSERT_TRUE(WaitUntil([this] {
      return node->ctx.net.linkPurpose == kPurposeNone && !node->link->IsServerConnected();
    })) << farm->lines.join(" | ").toStdString();
  }
  void JoinAsBefore(int peerId, const QDateTime& keyExpiry) {
    NetworkState& net = node->ctx.net;
    net.ownPeerId = peerId;
    net.totalPeers = 100;
    net.key.privateKey = QStringLiteral("PRIV");
    net.key.expiry = keyExpiry;
  }

  NormalServer normal;
  std::unique_ptr<ServerFarm> farm;
  std::unique_ptr<TestNode> node;
};

TEST_F(Conversation, JoinEchoAndLeaveSendExactlyTheseRequests) {
  SetUpFarm(6);
  PeerListeners peers(2);
  normal.peerEntries = peers.Entries(501);
  const quint16 listenPort = FreePort();
  node->ctx.settings.Port_Listen = 1;
  node->ctx.settings.Listen_Port = listenPort;
  const QString lp = QString::number(listenPort);
  NodeContext& ctx = node->ctx;

  Run(kPurposeJoin);
  EXPECT_EQ(farm->lines, QStringList({kHello, "113 1", "114 1 1234:" + lp, "115 1 1234", "155 1 501:502",
                                      "116 1 1234:" + lp + ":027:2:7", "117 1 1234", "127 1", "118 1",
                                      "119 1"}));
  // 155 and 116 leave in one send.
  EXPECT_TRUE(farm->reads.contains(("155 1 501:502\r\n116 1 1234:" + lp + ":027:2:7\r\n").toLatin1()));
  EXPECT_EQ(ctx.net.ownPeerId, 1234);
  EXPECT_EQ(ctx.net.totalPeers, 321);
  EXPECT_EQ(ctx.net.connectedPeers, 2);
  EXPECT_EQ(ctx.net.key.privateKey, "PRIV");
  EXPECT_EQ(ctx.net.key.publicKey, "PUB");
  EXPECT_EQ(ctx.net.key.signature, "SIG");
  EXPECT_EQ(ctx.net.key.expiry, normal.keyExpiry);
  EXPECT_EQ(ctx.status.Value(StatusField::PortCheck), "正常");
  EXPECT_EQ(ctx.status.Value(StatusField::KeyState), "有効");
  EXPECT_EQ(ctx.status.Value(StatusField::TotalPeers), "321ピア");
  EXPECT_EQ(ctx.status.Value(StatusField::ConnectedPeers), "2ピア");
  EXPECT_EQ(ctx.log.StatusLine(), "正常に接続されています。");
  EXPECT_TRUE(node->peers->IsListening());
  EXPECT_EQ(node->mappedPorts, std::vector<quint16>{listenPort});
  EXPECT_EQ(node->regionCounts, QStringList{"27,3"});
  EXPECT_EQ(node->tray.icons, (std::vector<int>{2, 3, 4, 5, 0}));
  EXPECT_EQ(node->tray.LastTip(), "接続中 総参加:321 接続:2");
  EXPECT_FALSE(node->menus.Enabled(MenuEntry::Connect));
  EXPECT_TRUE(node->menus.Enabled(MenuEntry::Disconnect));
  EXPECT_TRUE(node->Logged("参加処理が完了しました"));

  normal.peerEntries.clear();
  node->tray.icons.clear();
  Run(kPurposeEcho);
  EXPECT_EQ(farm->lines,
            QStringList({kHello, "123 1 1234:2", "115 1 1234", "155 1 501:502", "118 1", "119 1"}));
  EXPECT_TRUE(farm->reads.contains("155 1 501:502\r\n118 1\r\n"));
  EXPECT_EQ(node->tray.icons, std::vector<int>{0});  // the picture stays until the end
  EXPECT_TRUE(node->Logged("エコー処理が完了しました"));

  node->tray.icons.clear();
  Run(kPurposeLeave);
  EXPECT_EQ(farm->lines, QStringList({kHello, "128 1 1234:PRIV"}));
  EXPECT_EQ(ctx.net.ownPeerId, 0);
  EXPECT_EQ(ctx.net.connectedPeers, 0);
  EXPECT_EQ(node->tray.icons, (std::vector<int>{2, 4, 1}));
  EXPECT_EQ(node->tray.LastTip(), "接続されていません。");
  EXPECT_EQ(ctx.log.StatusLine(), "切断しました。");
  EXPECT_TRUE(node->menus.Enabled(MenuEntry::Connect));
  EXPECT_FALSE(node->menus.Enabled(MenuEntry::Disconnect));
}

// How the port check goes by Port_Listen and the state of Listen_Port.
struct PortCase {
  const char* name;
  quint8 portListen;
  bool portTaken;
  bool sends114;
  const char* portDisplay;
};

void PrintTo(const PortCase& c, std::ostream* os) { *os << c.name; }

class PortCheck : public Conversation, public ::testing::WithParamInterface<PortCase> {};

TEST_P(PortCheck, SkipsOrRunsThePortCheck) {
  const PortCase& c = GetParam();
  SetUpFarm(1);
  QTcpServer holder;
  const quint16 port = FreePort();
  if (c.portTaken) {
    ASSERT_TRUE(holder.listen(QHostAddress(QStringLiteral("127.0.0.1")), port));
  }
  node->ctx.settings.Port_Listen = c.portListen;
  node->ctx.settings.Listen_Port = port;

  Run(kPurposeJoin);
  const QString p = QString::number(port);
  QStringList expected{kHello, "113 1"};
  if (c.sends114) expected << "114 1 1234:" + p;
  expected << "115 1 1234" << "155 1" << "116 1 1234:" + p + ":027:0:7" << "117 1 1234" << "127 1" << "118 1"
           << "119 1";
  EXPECT_EQ(farm->lines, expected);
  EXPECT_EQ(node->ctx.status.Value(StatusField::PortCheck), c.portDisplay);
  EXPECT_EQ(node->peers->IsListening(), c.sends114);
  EXPECT_EQ(node->Logged("ポートが既に使用されています。ポート開放をスキップします"), c.portTaken);
  EXPECT_EQ(node->mappedPorts.size(), c.sends114 ? 1u : 0u);
  EXPECT_EQ(node->ctx.net.ownPeerId, 1234);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortCheck,
    ::testing::Values(PortCase{"Listening", 1, false, true, "正常"}, PortCase{"PortListenOff", 0, false, false, "--"},
                      PortCase{"PortInUse", 1, true, false, "--"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Conversation, EmptyPeerListStillCompletesTheJoin) {
  SetUpFarm(1);
  Run(kPurposeJoin);
  EXPECT_TRUE(node->Logged("ピアデータがないため、ネットワークとデータをやり取りすることが出来ません。"));
  EXPECT_TRUE(farm->reads.contains("155 1\r\n116 1 1234:6911:027:0:7\r\n"));
  EXPECT_EQ(node->ctx.net.ownPeerId, 1234);
  EXPECT_EQ(node->ctx.life.joinRetryPending, 0);
  // Joined without peers: icon 0 with the tip, then 7.
  EXPECT_EQ(node->tray.LastIcon(), 7);
  EXPECT_EQ(node->tray.LastTip(), "接続中 総参加:321 接続:0");
}

TEST_F(Conversation, EchoRenewsAKeyThatExpiresWithinThirtyMinutes) {
  struct Case {
    int minutesLeft;
    bool renews;
  };
  SetUpFarm(1);
  for (const Case c : {Case{29, true}, Case{31, false}, Case{-5, true}}) {
    SCOPED_TRACE(c.minutesLeft);
    JoinAsBefore(77, TestLocalNow().addSecs(60 * c.minutesLeft));
    Run(kPurposeEcho);
    EXPECT_EQ(farm->lines.contains("124 1 77:PRIV"), c.renews);
    EXPECT_EQ(farm->lines.last(), "119 1");
    if (c.renews) {
      EXPECT_EQ(node->ctx.net.key.privateKey, "PRIV2");
      EXPECT_TRUE(node->Logged("鍵が再割り当てされました"));
    }
  }
}

TEST_F(Conversation, NeverSetKeyExpiryCountsAsExpired) {
  SetUpFarm(1);
  JoinAsBefore(77, QDateTime());
  Run(kPurposeEcho);
  EXPECT_TRUE(farm->lines.contains("124 1 77:PRIV"));
}

TEST_F(Conversation, ProtocolOffsetFollowsTheNetworkClockAndKeepsItOnZero) {
  SetUpFarm(1);
  JoinAsBefore(77, TestLocalNow().addDays(1));
  normal.networkTime = TestLocalNow().addSecs(5);
  Run(kPurposeEcho);
  EXPECT_EQ(node->ctx.clock.protocolOffset, 5);
  EXPECT_EQ(node->ctx.ProtocolNow(), TestLocalNow().addSecs(5));

  normal.networkTime = TestLocalNow();
  Run(kPurposeEcho);
  EXPECT_EQ(node->ctx.clock.protocolOffset, 5);
  EXPECT_TRUE(node->Logged("プロトコル時刻との誤差は1秒以内です"));
}

TEST_F(Conversation, TenthBusyAnswerWithoutGreetingShowsTheBoxAndStops) {
  SetUpFarm(1);
  farm->script.greeting = [](int) { return QList<QByteArray>{"298 1\r\n"}; };
  node->link->ConnectServer(kPurposeJoin);
  ASSERT_TRUE(WaitUntil([this] { return !node->boxes.texts.isEmpty(); }));
  Pump(300);  // no eleventh connection follows
  EXPECT_EQ(farm->Connections(), 10);
  EXPECT_EQ(node->ctx.net.busyCount, 10);
  EXPECT_EQ(node->ctx.net.linkPurpose, kPurposeNone);
  EXPECT_FALSE(node->link->IsServerConnected());
  ASSERT_EQ(node->boxes.texts.size(), 1);
  EXPECT_EQ(node->boxes.texts[0],
            "サーバーと正常に通信出来ませんでした。\r\n\r\n当ソフトウェアのバージョンが古くなっている可能性があります。"
            "\r\nアップデートチェックを実行してみてください。");
  EXPECT_EQ(node->boxes.icons[0], BoxIcon::Warning);
}

TEST_F(Conversation, GreetingResetsTheBusyCount) {
  SetUpFarm(1);
  // Five busy answers, a greeting followed by a busy answer, then five more:
  // never ten in a row, so the join goes through on the twelfth connection.
  farm->script.greeting = [](int connection) {
    return QList<QByteArray>{connection < 5 || (connection > 5 && connection < 11) ? "298 1\r\n" : "211 1\r\n"};
  };
  farm->script.reply = [this](const QString& line, int connection) {
    if (connection == 5 && line.startsWith("131")) return QList<QByteArray>{"298 1\r\n"};
    return normal(line);
  };
  Run(kPurposeJoin);
  EXPECT_EQ(farm->Connections(), 12);
  EXPECT_TRUE(node->boxes.texts.isEmpty());
  EXPECT_EQ(node->ctx.net.ownPeerId, 1234);
}

TEST_F(Conversation, TooOldClientShowsTheBoxAndStops) {
  SetUpFarm(1);
  farm->script.reply = [](const QString&, int) { return QList<QByteArray>{"292 1\r\n"}; };
  node->link->ConnectServer(kPurposeJoin);
  ASSERT_TRUE(WaitUntil([this] { return !node->boxes.texts.isEmpty(); }));
  Pump(200);
  EXPECT_EQ(farm->Connections(), 1);
  EXPECT_EQ(node->ctx.net.linkPurpose, kPurposeNone);
  EXPECT_EQ(node->boxes.texts[0],
            "サーバーからバージョンが古いとエラーが返されました。\r\n\r\n当ソフトウェアのバージョンが古くなっている可能性が"
            "あります。\r\nアップデートチェックを実行してください。");
  EXPECT_EQ(node->windows.Count(QStringLiteral("show")), 1);
}

// The first connection goes wrong in some way; the join starts over from
// the greeting on a server and completes there.
struct DisruptionCase {
  const char* name;
  QList<QByteArray> firstGreeting;
  QList<QByteArray> firstReplyTo113;  // empty: answer normally
  QList<QByteArray> firstReplyTo131;  // empty: answer normally
  const char* logged;
  const char* sent;  // a request that the client must have sent, or ""
};

void PrintTo(const DisruptionCase& c, std::ostream* os) { *os << c.name; }

class Disruption : public Conversation, public ::testing::WithParamInterface<DisruptionCase> {};

TEST_P(Disruption, JoinStartsOverAndCompletes) {
  const DisruptionCase& c = GetParam();
  SetUpFarm(2);
  farm->script.greeting = [&c](int connection) {
    return connection == 0 ? c.firstGreeting : QList<QByteArray>{"211 1\r\n"};
  };
  farm->script.reply = [this, &c](const QString& line, int connection) {
    if (connection == 0 && line == "113 1" && !c.firstReplyTo113.isEmpty()) return c.firstReplyTo113;
    if (connection == 0 && line.startsWith("131") && !c.firstReplyTo131.isEmpty()) return c.firstReplyTo131;
    return normal(line);
  };
  node->link->ConnectServer(kPurposeJoin);
  ASSERT_TRUE(WaitUntil([this] { return node->Logged("参加処理が完了しました"); }))
      << farm->lines.join(" | ").toStdString();
  EXPECT_EQ(farm->Connections(), 2);
  EXPECT_EQ(node->LogCount("サーバーへ接続開始..."), 2);
  if (*c.logged) {
    EXPECT_TRUE(node->Logged(c.logged));
  }
  if (*c.sent) {
    EXPECT_TRUE(farm->lines.contains(c.sent));
  }
  EXPECT_EQ(farm->lines.count(kHello), c.firstGreeting.first() == "211 1\r\n" ? 2 : 1);
  EXPECT_EQ(farm->lines.last(), "119 1");
  EXPECT_EQ(node->ctx.net.ownPeerId, 1234);
  // Nothing left over from the broken connection spoils the next one's lines.
  if (std::string(c.name) != "InvalidGreeting") {
    EXPECT_FALSE(node->Logged("サーバーからのデータが不正です"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Disruption,
    ::testing::Values(
        // Closes after a partial line; the rest must not spoil the next greeting.
        DisruptionCase{"ClosesMidSequence", {"211 1\r\n"}, {"23", kClose}, {},
                       "処理中にサーバーから切断されました。再接続しています...", ""},
        DisruptionCase{"InvalidGreeting", {"211 2\r\n"}, {}, {}, "別サーバーに接続します...", ""},
        DisruptionCase{"GoElsewhere", {"211 1\r\n"}, {"294 1\r\n"}, {}, "サーバーから切断されました", ""},
        DisruptionCase{"OldServer", {"211 1\r\n"}, {}, {"212 1 0.29\r\n"},
                       "サーバーが古く互換性がありません。再接続します", "192 1 Protocol_version_incompatible"},
        DisruptionCase{"RefusedJoin", {"211 1\r\n"}, {"293 1\r\n"}, {}, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Conversation, ResponsesSplitOverReadsOrSharingOneAreWholeLines) {
  SetUpFarm(1);
  farm->script.greeting = [](int) { return QList<QByteArray>{"2", "11 ", "1\r\n"}; };
  const QByteArray region = cp932::fromUnicode(QStringLiteral("247 1 東京:x\r\n"));
  farm->script.reply = [this, region](const QString& line, int) {
    // 212 and 233 in one read; 247 cut inside its first two-byte character.
    if (line.startsWith("131")) return QList<QByteArray>{"212 1 0.34\r\n233 1 88\r\n"};
    if (line == "113 1") return QList<QByteArray>{};
    if (line == "127 1") return QList<QByteArray>{region.left(7), region.mid(7)};
    return normal(line);
  };
  Run(kPurposeJoin);
  EXPECT_EQ(farm->lines, QStringList({kHello, "113 1", "115 1 88", "155 1", "116 1 88:6911:027:0:7", "117 1 88",
                                      "127 1", "118 1", "119 1"}));
  EXPECT_EQ(node->regionCounts, QStringList{"東京"});
  EXPECT_FALSE(node->Logged("サーバーからのデータが不正です"));
}

// A leave that the server shortens: 119 goes out and 239 ends it.
class ShortLeave : public Conversation, public ::testing::WithParamInterface<const char*> {};

TEST_P(ShortLeave, AnswersWithEndAndClearsThePeerId) {
  SetUpFarm(1);
  const QByteArray answer = QByteArray(GetParam()) + "\r\n";
  farm->script.reply = [this, answer](const QString& line, int) {
    if (line.startsWith("128")) return QList<QByteArray>{answer};
    return normal(line);
  };
  JoinAsBefore(55, TestLocalNow().addDays(1));
  node->ctx.life.quitState = 2;
  Run(kPurposeLeave);
  EXPECT_EQ(farm->lines, QStringList({kHello, "128 1 55:PRIV", "119 1"}));
  EXPECT_EQ(node->ctx.net.ownPeerId, 0);
}

INSTANTIATE_TEST_SUITE_P(Codes, ShortLeave, ::testing::Values("248 1", "293 1", "299 1"));

TEST_F(Conversation, AddressChangeDuringEchoRejoins) {
  SetUpFarm(1);
  farm->script.reply = [this](const QString& line, int) {
    if (line.startsWith("123")) return QList<QByteArray>{"299 1\r\n"};
    return normal(line);
  };
  JoinAsBefore(55, TestLocalNow().addDays(1));
  node->link->ConnectServer(kPurposeEcho);
  ASSERT_TRUE(WaitUntil([this] { return node->Logged("参加処理が完了しました"); }));
  EXPECT_TRUE(node->Logged("IPアドレスが変わっています。"));
  EXPECT_EQ(farm->lines.mid(0, 4), QStringList({kHello, "123 1 55:0", kHello, "113 1"}));
  EXPECT_EQ(node->ctx.net.ownPeerId, 1234);
}

TEST_F(Conversation, MalformedArgumentsAreLoggedAndTheLinkWaits) {
  SetUpFarm(1);
  // 236 without its count, then a key whose expiry is not a date.
  farm->script.reply = [this](const QString& line, int) {
    if (line.startsWith("116")) return QList<QByteArray>{"236 1\r\n237 1 A:B:notadate:D\r\n"};
    return normal(line);
  };
  node->link->ConnectServer(kPurposeJoin);
  ASSERT_TRUE(WaitUntil([this] { return node->LogCount("サーバーデータ処理中エラー：13 Type mismatch") == 1; }));
  EXPECT_TRUE(node->Logged("サーバーデータ処理中エラー：9 Subscript out of range"));
  EXPECT_EQ(node->ctx.net.key.privateKey, "Unknown");  // nothing of the bad key is kept
  EXPECT_TRUE(node->link->IsServerConnected());
}

}  // namespace
}  // namespace orva::test
