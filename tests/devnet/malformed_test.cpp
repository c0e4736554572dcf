// A scripted bad client: every malformed or out-of-order request gets 293
// or a closed connection, and the server keeps serving.
#include <gtest/gtest.h>

#include "devnet/server/session.h"
#include "devnet_test_support.h"

namespace orva::devnet::test {
namespace {

class BadClient : public ::testing::Test {
 protected:
  void SetUp() override {
    ServerConfig config = TestConfig();
    config.idleTimeoutMs = 600;
    server_ = std::make_unique<NetworkServer>(config);
    QString error;
    ASSERT_TRUE(server_->Start(&error)) << error.toStdString();
  }
  // The server still greets a new client and answers it.
  void ExpectStillServing() {
    ScriptedClient c;
    ASSERT_TRUE(c.Connect(server_->Port()));
    EXPECT_EQ(c.Line(), u"211 1");
    EXPECT_EQ(c.Ask(QStringLiteral("131 1 ") + kClientId), u"212 1 0.32");
  }
  std::unique_ptr<NetworkServer> server_;
};

struct BadCase {
  const char* name;
  bool announce;      // send 131 first
  QByteArray bytes;   // sent as they are
};

TEST_F(BadClient, MalformedAndOutOfOrderRequestsGet293) {
  const BadCase cases[] = {
      {"request before the version", false, "113 1\r\n"},
      {"version without a number", false, "131 1 abc:x:y\r\n"},
      {"version field missing", false, "131 1\r\n"},
      {"not a code", true, "abc 1\r\n"},
      {"protocol field 2", true, "113 2\r\n"},
      {"no blank after the field", true, "113 1x\r\n"},
      {"code glued to the field", true, "1131\r\n"},
      {"unknown code", true, "999 1\r\n"},
      {"113 with arguments", true, "113 1 5\r\n"},
      {"114 without a port", true, "114 1 5\r\n"},
      {"114 for an unknown ID", true, "114 1 77:6911\r\n"},
      {"115 with a non-numeric ID", true, "115 1 x\r\n"},
      {"116 before 113", true, "116 1 5:6911:250:0:7\r\n"},
      {"117 for an unknown ID", true, "117 1 123456789012\r\n"},
      {"123 with a negative count", true, "123 1 5:-1\r\n"},
      {"155 from nobody", true, "155 1 1:2\r\n"},
      {"bytes that are no text", true, QByteArray("\x81\xff\x00\x01 1\r\n", 8)},
      {"empty line", true, "\r\n"},
  };
  for (const BadCase& bad : cases) {
    SCOPED_TRACE(bad.name);
    ScriptedClient c;
    ASSERT_TRUE(c.Connect(server_->Port()));
    ASSERT_EQ(c.Line(), u"211 1");
    if (bad.announce) {
      ASSERT_EQ(c.Ask(QStringLiteral("131 1 ") + kClientId), u"212 1 0.32");
    }
    c.SendRaw(bad.bytes);
    const auto answer = c.Line(2000);
    if (answer) {
      EXPECT_EQ(*answer, u"293 1");
    } else {
      EXPECT_TRUE(c.WaitClosed(100));
    }
  }
  ExpectStillServing();
}

TEST_F(BadClient, BadValuesIn116AreRefused) {
  const char* const tails[] = {":0:250:0:7", ":70000:250:0:7", ":6911:1000:0:7", ":6911:000:0:7",
                               ":6911:250:x:7", ":6911:250:0", ":6911:250:0:7:9"};
  for (const char* tail : tails) {
    SCOPED_TRACE(tail);
    ScriptedClient c;
    ASSERT_TRUE(c.Connect(server_->Port()));
    c.Line();
    c.Ask(QStringLiteral("131 1 ") + kClientId);
    const QString id = c.Ask(QStringLiteral("113 1")).mid(6);
    EXPECT_EQ(c.Ask(QStringLiteral("116 1 ") + id + QString::fromLatin1(tail)), u"293 1");
    EXPECT_FALSE(server_->Registry().Find(id.toInt())->joined);
  }
}

TEST_F(BadClient, AnotherPeersIdCannotBeTakenOver) {
  ScriptedClient owner;
  ASSERT_TRUE(owner.Connect(server_->Port(), QStringLiteral("127.0.0.2")));
  owner.Line();
  owner.Ask(QStringLiteral("131 1 ") + kClientId);
  const QString id = owner.Ask(QStringLiteral("113 1")).mid(6);

  ScriptedClient thief;
  ASSERT_TRUE(thief.Connect(server_->Port(), QStringLiteral("127.0.0.3")));
  thief.Line();
  thief.Ask(QStringLiteral("131 1 ") + kClientId);
  EXPECT_EQ(thief.Ask(QStringLiteral("116 1 %1:6911:250:0:7").arg(id)), u"293 1");
  EXPECT_EQ(thief.Ask(QStringLiteral("128 1 %1:Unknown").arg(id)), u"293 1");
  EXPECT_NE(server_->Registry().Find(id.toInt()), nullptr);
}

TEST_F(BadClient, RepeatedRefusalsCloseTheConnection) {
  ScriptedClient c;
  ASSERT_TRUE(c.Connect(server_->Port()));
  c.Line();
  for (int i = 0; i < ServerSession::kMaxRefusals; ++i) EXPECT_EQ(c.Ask(QStringLiteral("xyz")), u"293 1");
  EXPECT_TRUE(c.WaitClosed());
  ExpectStillServing();
}

TEST_F(BadClient, OverlongLineClosesTheConnection) {
  ScriptedClient c;
  ASSERT_TRUE(c.Connect(server_->Port()));
  c.Line();
  c.SendRaw(QByteArray(ServerSession::kMaxLineBytes + 10, 'A'));
  EXPECT_TRUE(c.WaitClosed());
  ExpectStillServing();
}

TEST_F(BadClient, SilentClientIsDropped) {
  ScriptedClient c;
  ASSERT_TRUE(c.Connect(server_->Port()));
  EXPECT_EQ(c.Line(), u"211 1");
  EXPECT_TRUE(c.WaitClosed(3000));
}

TEST_F(BadClient, ClientVanishingDuringThePortCheckIsHarmless) {
  FakePeer silent(QStringLiteral("127.0.0.2"), /*greet=*/false);
  {
    ScriptedClient c;
    ASSERT_TRUE(c.Connect(server_->Port(), QStringLiteral("127.0.0.2")));
    c.Line();
    c.Ask(QStringLiteral("131 1 ") + kClientId);
    const QString id = c.Ask(QStringLiteral("113 1")).mid(6);
    c.Send(QStringLiteral("114 1 %1:%2").arg(id).arg(silent.Port()));
    WaitFor([&] { return silent.Accepted() == 1; });
  }  // gone before the answer
  WaitMs(1200);  // the check times out with nobody to tell
  ExpectStillServing();
}

}  // namespace
}  // namespace orva::devnet::test
