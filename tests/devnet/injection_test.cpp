// Injection of signed items over real peer links, and the admin endpoint
// that asks for it.
#include <gtest/gtest.h>

#include "client/signed/crypto.h"
#include "devnet/server/admin_protocol.h"
#include "devnet_test_support.h"

namespace orva::devnet::test {
namespace {

class Injection : public ::testing::Test {
 protected:
  void SetUp() override {
    ServerConfig config = TestConfig();
    config.fanout = 2;
    server_ = std::make_unique<NetworkServer>(config);
    QString error;
    ASSERT_TRUE(server_->Start(&error)) << error.toStdString();
  }
  // Sends one admin request from `from`; returns every answer line up to
  // the final OK/ERR (or what came before a close).
  QStringList Admin(const QString& request, const QString& from = QStringLiteral("127.0.0.1")) {
    ScriptedClient c;
    if (!c.Connect(server_->AdminPort(), from)) return {QStringLiteral("(no connection)")};
    c.Send(request);
    QStringList lines;
    while (auto line = c.Line(8000)) {
      lines.append(*line);
      if (line->startsWith(u"OK") || line->startsWith(u"ERR")) break;
    }
    return lines;
  }
  std::unique_ptr<NetworkServer> server_;
};

// Checks the signature of a relayed server item: bytes(expiry) || MD5(data).
void ExpectSignedByDataKey(const QString& signature, const QString& expiry, const QString& data) {
  const auto key = crypto::PublicKey::FromText(ReadKeyText(QStringLiteral("server_data.pub")));
  ASSERT_TRUE(key);
  const auto sig = crypto::Base64Decode(signature.toLatin1());
  ASSERT_TRUE(sig);
  EXPECT_EQ(sig->size(), 128);
  EXPECT_TRUE(key->Verify(*sig, cp932::fromUnicode(expiry) + crypto::Md5(cp932::fromUnicode(data))));
  // Any change to the data breaks it.
  EXPECT_FALSE(key->Verify(*sig, cp932::fromUnicode(expiry) +
                                     crypto::Md5(cp932::fromUnicode(data + QStringLiteral("x")))));
}

TEST_F(Injection, QuakeReachesPeersOverACompletedHandshakeAndVerifies) {
  FakePeer a(QStringLiteral("127.0.0.2")), b(QStringLiteral("127.0.0.3")), c(QStringLiteral("127.0.0.4"));
  ASSERT_TRUE(JoinAs(server_->Port(), QStringLiteral("127.0.0.2"), a.Port()));
  ASSERT_TRUE(JoinAs(server_->Port(), QStringLiteral("127.0.0.3"), b.Port()));
  ASSERT_TRUE(JoinAs(server_->Port(), QStringLiteral("127.0.0.4"), c.Port()));

  const QString header = QStringLiteral("12日05時17分,6強,1,4,宮城県沖,40km,7.4,0,北緯38.3度,東経141.9度,気象庁");
  const QString points = QStringLiteral("-宮城県,+6強,*栗原市築館,+6弱,*大崎市古川三日町");
  const QStringList answer = Admin(QStringLiteral("QUAKE ") + header + u':' + points);
  ASSERT_FALSE(answer.isEmpty());
  EXPECT_TRUE(answer.last().startsWith(u"OK delivered=2 ")) << answer.join(u'\n').toStdString();

  QStringList items;
  ASSERT_TRUE(WaitFor([&] {
    items = a.Items() + b.Items() + c.Items();
    return items.size() >= 2;
  }));
  WaitMs(200);
  items = a.Items() + b.Items() + c.Items();
  ASSERT_EQ(items.size(), 2);  // fanout 2: two of the three peers, once each
  EXPECT_EQ(items[0], items[1]);
  for (const FakePeer* p : {&a, &b, &c})
    for (const QString& childId : p->ChildIds()) EXPECT_EQ(childId.toInt(), server_->ServerPeerId());

  ASSERT_TRUE(items[0].startsWith(u"551 1 "));
  const QStringList f = items[0].mid(6).split(u':');
  ASSERT_EQ(f.size(), 4);
  EXPECT_EQ(f[2], header);
  EXPECT_EQ(f[3], points);
  const auto expiry = ParseExpiryText(f[1]);
  ASSERT_TRUE(expiry);
  const qint64 ahead = ProtocolTimeNow().secsTo(*expiry);
  EXPECT_GT(ahead, 60);
  EXPECT_LE(ahead, 600);
  // The signed data is header and point list with nothing between them.
  ExpectSignedByDataKey(f[0], f[1], header + points);
  EXPECT_TRUE(answer.contains(QStringLiteral("INFO line ") + items[0]));
}

TEST_F(Injection, TsunamiAndRegionCountsAreSignedToo) {
  FakePeer a(QStringLiteral("127.0.0.2"));
  ASSERT_TRUE(JoinAs(server_->Port(), QStringLiteral("127.0.0.2"), a.Port(), 120));

  const QString tsunami = QStringLiteral("-津波警報,*宮城県,+岩手県");
  EXPECT_TRUE(Admin(QStringLiteral("TSUNAMI ") + tsunami).last().startsWith(u"OK delivered=1 "));
  EXPECT_TRUE(Admin(QStringLiteral("REGIONS")).last().startsWith(u"OK delivered=1 "));
  ASSERT_TRUE(WaitFor([&] { return a.Items().size() == 2; }));

  const QStringList t = a.Items()[0].mid(6).split(u':');
  ASSERT_TRUE(a.Items()[0].startsWith(u"552 1 "));
  ASSERT_EQ(t.size(), 3);
  EXPECT_EQ(t[2], tsunami);
  ExpectSignedByDataKey(t[0], t[1], t[2]);

  const QStringList r = a.Items()[1].mid(6).split(u':');
  ASSERT_TRUE(a.Items()[1].startsWith(u"561 1 "));
  ASSERT_EQ(r.size(), 3);
  EXPECT_EQ(r[2], u"120,1");
  ExpectSignedByDataKey(r[0], r[1], r[2]);
}

TEST_F(Injection, UnreachablePeerIsReplacedByAnother) {
  FakePeer a(QStringLiteral("127.0.0.2")), b(QStringLiteral("127.0.0.3"));
  ASSERT_TRUE(JoinAs(server_->Port(), QStringLiteral("127.0.0.2"), a.Port()));
  ASSERT_TRUE(JoinAs(server_->Port(), QStringLiteral("127.0.0.3"), b.Port()));
  // Greets for the port check, then goes away.
  auto gone = std::make_unique<FakePeer>(QStringLiteral("127.0.0.5"));
  ASSERT_TRUE(JoinAs(server_->Port(), QStringLiteral("127.0.0.5"), gone->Port()));
  gone.reset();

  for (int round = 0; round < 3; ++round) {
    const QStringList answer = Admin(QStringLiteral("TSUNAMI 解除"));
    EXPECT_TRUE(answer.last().startsWith(u"OK delivered=2 ")) << answer.join(u'\n').toStdString();
  }
  WaitFor([&] { return a.Items().size() + b.Items().size() == 6; });
  EXPECT_EQ(a.Items().size(), 3u);
  EXPECT_EQ(b.Items().size(), 3u);
}

TEST_F(Injection, WithoutReachablePeersNothingIsDeliveredAndTheAnswerSaysSo) {
  EXPECT_TRUE(Admin(QStringLiteral("TSUNAMI 解除")).last().startsWith(u"OK delivered=0 "));
}

TEST_F(Injection, AdminRefusesBadRequests) {
  const char* const bad[] = {"QUAKE only-a-header", "QUAKE a:b:c", "TSUNAMI ", "HELLO", "STATUS now"};
  for (const char* request : bad) EXPECT_TRUE(Admin(QString::fromUtf8(request)).last().startsWith(u"ERR")) << request;
  EXPECT_TRUE(Admin(QStringLiteral("STATUS")).last().startsWith(u"OK joined=0 reachable=0 signing=yes"));
}

TEST_F(Injection, AdminEndpointRefusesAnyAddressButLoopbackOne) {
  // 127.0.0.2 reaches the socket (it is bound to 127.0.0.1 on loopback),
  // but the endpoint closes without reading or answering.
  ScriptedClient c;
  ASSERT_TRUE(c.Connect(server_->AdminPort(), QStringLiteral("127.0.0.2")) ||
              c.Socket().state() == QAbstractSocket::UnconnectedState);
  c.Send(QStringLiteral("STATUS"));
  EXPECT_EQ(c.Line(2000), std::nullopt);
  EXPECT_TRUE(c.WaitClosed(100));
  // Not reachable on any other address at all.
  ScriptedClient d;
  EXPECT_FALSE(d.Connect(server_->AdminPort(), QStringLiteral("127.0.0.2"),
                         QHostAddress(QStringLiteral("127.0.0.2"))));
  EXPECT_TRUE(Admin(QStringLiteral("STATUS")).last().startsWith(u"OK "));
}

}  // namespace
}  // namespace orva::devnet::test
