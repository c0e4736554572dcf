// The server's side of the join, echo and leave conversations, line by line
// against a scripted client on loopback.
#include <gtest/gtest.h>

#include "client/signed/crypto.h"
#include "devnet/server/network_server.h"
#include "devnet_test_support.h"

namespace orva::devnet::test {
namespace {

class Conversation : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<NetworkServer>(TestConfig());
    QString error;
    ASSERT_TRUE(server_->Start(&error)) << error.toStdString();
  }
  quint16 Port() const { return server_->Port(); }
  std::unique_ptr<NetworkServer> server_;
};

TEST_F(Conversation, JoinRunsTheWholeSequenceWithExactLines) {
  FakePeer listener(QStringLiteral("127.0.0.2"));
  ScriptedClient c;
  ASSERT_TRUE(c.Connect(Port(), QStringLiteral("127.0.0.2")));
  EXPECT_EQ(c.Line(), u"211 1");
  EXPECT_EQ(c.Ask(QStringLiteral("131 1 ") + kClientId), u"212 1 0.32");
  const QString r233 = c.Ask(QStringLiteral("113 1"));
  ASSERT_TRUE(r233.startsWith(u"233 1 ")) << r233.toStdString();
  const QString id = r233.mid(6);
  EXPECT_GT(id.toInt(), 0);

  EXPECT_EQ(c.Ask(QStringLiteral("114 1 %1:%2").arg(id).arg(listener.Port())), u"234 1 1");
  EXPECT_EQ(listener.Accepted(), 1);  // the check really connected back
  EXPECT_EQ(c.Ask(QStringLiteral("115 1 ") + id), u"235 1");  // nobody else yet
  // 155 and 116 in one send, as the client does it.
  c.Send(QStringLiteral("155 1\r\n116 1 %1:%2:250:0:7").arg(id).arg(listener.Port()));
  EXPECT_EQ(c.Line(), u"236 1 1");

  const QString r237 = c.Ask(QStringLiteral("117 1 ") + id);
  ASSERT_TRUE(r237.startsWith(u"237 1 ")) << r237.toStdString();
  const QStringList key = r237.mid(6).split(u':');
  ASSERT_EQ(key.size(), 4);
  const auto priv = crypto::PrivateKey::FromText(key[0].toLatin1());
  ASSERT_TRUE(priv);
  EXPECT_EQ(priv->Bits(), 384);
  EXPECT_EQ(priv->PublicKeyText(), key[1].toLatin1());
  const auto expiry = ParseExpiryText(key[2]);
  ASSERT_TRUE(expiry);
  const qint64 ahead = ProtocolTimeNow().secsTo(*expiry);
  EXPECT_GE(ahead, 3590);
  EXPECT_LE(ahead, 3601);
  // The server's signature over DER(public key) || expiry text.
  const auto peerKeyKey = crypto::PublicKey::FromText(ReadKeyText(QStringLiteral("server_peerkey.pub")));
  ASSERT_TRUE(peerKeyKey);
  const QByteArray signature = *crypto::Base64Decode(key[3].toLatin1());
  EXPECT_EQ(signature.size(), 128);
  EXPECT_TRUE(peerKeyKey->Verify(
      signature, *crypto::Base64Decode(key[1].toLatin1()) + cp932::fromUnicode(key[2])));

  EXPECT_EQ(c.Ask(QStringLiteral("127 1")), u"247 1 250,1");
  const QString r238 = c.Ask(QStringLiteral("118 1"));
  ASSERT_TRUE(r238.startsWith(u"238 1 "));
  const auto t = ParseExpiryText(r238.mid(6));
  ASSERT_TRUE(t);
  EXPECT_LE(std::abs(ProtocolTimeNow().secsTo(*t)), 2);
  EXPECT_EQ(c.Ask(QStringLiteral("119 1")), u"239 1");
  EXPECT_TRUE(c.WaitClosed());
}

TEST_F(Conversation, PortCheckSaysNoWithoutAGreetingOrListener) {
  FakePeer silent(QStringLiteral("127.0.0.3"), /*greet=*/false);
  for (const quint16 port : {silent.Port(), quint16(1)}) {
    ScriptedClient c;
    ASSERT_TRUE(c.Connect(Port(), QStringLiteral("127.0.0.3")));
    c.Line();
    c.Ask(QStringLiteral("131 1 ") + kClientId);
    const QString id = c.Ask(QStringLiteral("113 1")).mid(6);
    EXPECT_EQ(c.Ask(QStringLiteral("114 1 %1:%2").arg(id).arg(port)), u"234 1 0") << port;
  }
  EXPECT_EQ(silent.Accepted(), 1);
}

TEST_F(Conversation, PeerListNamesOtherReachablePeersOnly) {
  FakePeer a(QStringLiteral("127.0.0.2")), b(QStringLiteral("127.0.0.3"));
  const qint32 idA = JoinAs(Port(), QStringLiteral("127.0.0.2"), a.Port(), 250);
  const qint32 idB = JoinAs(Port(), QStringLiteral("127.0.0.3"), b.Port(), 100);
  // One that joined with a port nobody listens on is not handed out.
  const qint32 idC = JoinAs(Port(), QStringLiteral("127.0.0.4"), 1, 100);
  ASSERT_TRUE(idA && idB && idC);

  ScriptedClient c;
  ASSERT_TRUE(c.Connect(Port(), QStringLiteral("127.0.0.2")));
  c.Line();
  c.Ask(QStringLiteral("131 1 ") + kClientId);
  // The asker itself (A) is left out.
  EXPECT_EQ(c.Ask(QStringLiteral("115 1 %1").arg(idA)),
            QStringLiteral("235 1 127.0.0.3,%1,%2").arg(b.Port()).arg(idB));
  EXPECT_EQ(c.Ask(QStringLiteral("127 1")), u"247 1 100,2;250,1");
}

TEST_F(Conversation, EchoRekeyAndLeave) {
  FakePeer a(QStringLiteral("127.0.0.2"));
  ScriptedClient j;
  ASSERT_TRUE(j.Connect(Port(), QStringLiteral("127.0.0.2")));
  j.Line();
  j.Ask(QStringLiteral("131 1 ") + kClientId);
  const QString id = j.Ask(QStringLiteral("113 1")).mid(6);
  j.Ask(QStringLiteral("116 1 %1:%2:250:0:7").arg(id).arg(a.Port()));
  const QString privateKey = j.Ask(QStringLiteral("117 1 ") + id).mid(6).section(u':', 0, 0);
  j.Ask(QStringLiteral("119 1"));

  ScriptedClient e;
  ASSERT_TRUE(e.Connect(Port(), QStringLiteral("127.0.0.2")));
  e.Line();
  e.Ask(QStringLiteral("131 1 ") + kClientId);
  EXPECT_EQ(e.Ask(QStringLiteral("123 1 %1:3").arg(id)), u"243 1");
  EXPECT_EQ(server_->Registry().Find(id.toInt())->connected, 3);
  EXPECT_EQ(e.Ask(QStringLiteral("124 1 %1:not-my-key").arg(id)), u"293 1");
  const QString r244 = e.Ask(QStringLiteral("124 1 %1:%2").arg(id, privateKey));
  ASSERT_TRUE(r244.startsWith(u"244 1 ")) << r244.toStdString();
  const QString newKey = r244.mid(6).section(u':', 0, 0);
  EXPECT_NE(newKey, privateKey);
  EXPECT_EQ(e.Ask(QStringLiteral("118 1")).left(6), u"238 1 ");
  EXPECT_EQ(e.Ask(QStringLiteral("119 1")), u"239 1");

  // The same ID from another address is not this peer: it must rejoin.
  ScriptedClient other;
  ASSERT_TRUE(other.Connect(Port(), QStringLiteral("127.0.0.9")));
  other.Line();
  other.Ask(QStringLiteral("131 1 ") + kClientId);
  EXPECT_EQ(other.Ask(QStringLiteral("123 1 %1:3").arg(id)), u"299 1");
  EXPECT_EQ(other.Ask(QStringLiteral("128 1 %1:%2").arg(id, newKey)), u"293 1");

  ScriptedClient l;
  ASSERT_TRUE(l.Connect(Port(), QStringLiteral("127.0.0.2")));
  l.Line();
  l.Ask(QStringLiteral("131 1 ") + kClientId);
  EXPECT_EQ(l.Ask(QStringLiteral("128 1 %1:%2").arg(id, newKey)), u"239 1");
  EXPECT_TRUE(l.WaitClosed());
  EXPECT_EQ(server_->Registry().Find(id.toInt()), nullptr);
}

TEST_F(Conversation, RejoinFromTheSameAddressAndPortReplacesTheOldRecord) {
  FakePeer a(QStringLiteral("127.0.0.2"));
  const qint32 first = JoinAs(Port(), QStringLiteral("127.0.0.2"), a.Port());
  const qint32 second = JoinAs(Port(), QStringLiteral("127.0.0.2"), a.Port());
  ASSERT_TRUE(first && second);
  EXPECT_EQ(server_->Registry().Find(first), nullptr);
  EXPECT_EQ(server_->Registry().JoinedCount(), 1);
  EXPECT_EQ(server_->Registry().RegionCountList(), u"250,1");
}

TEST_F(Conversation, PeerWithoutEchoFor25MinutesIsForgotten) {
  FakePeer a(QStringLiteral("127.0.0.2"));
  const qint32 id = JoinAs(Port(), QStringLiteral("127.0.0.2"), a.Port());
  ASSERT_NE(id, 0);
  server_->ShiftClock(25LL * 60 * 1000 - 1000);
  server_->SweepRegistry();
  ASSERT_NE(server_->Registry().Find(id), nullptr);
  server_->ShiftClock(1000);
  server_->SweepRegistry();
  EXPECT_EQ(server_->Registry().Find(id), nullptr);

  ScriptedClient e;
  ASSERT_TRUE(e.Connect(Port(), QStringLiteral("127.0.0.2")));
  e.Line();
  e.Ask(QStringLiteral("131 1 ") + kClientId);
  EXPECT_EQ(e.Ask(QStringLiteral("123 1 %1:2").arg(id)), u"299 1");
}

TEST_F(Conversation, ClientOlderThanProtocol03IsRefusedWith292) {
  ScriptedClient c;
  ASSERT_TRUE(c.Connect(Port()));
  c.Line();
  EXPECT_EQ(c.Ask(QStringLiteral("131 1 0.29:Orva_Client:Beta1_Rev100")), u"292 1");
  EXPECT_TRUE(c.WaitClosed());
}

}  // namespace
}  // namespace orva::devnet::test
