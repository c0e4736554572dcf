// Intake of server-signed items, peer-signed checks and the signing of the
// user's own reports, with the development network's keys.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include "client/signed/signed_data.h"
#include "platform/cp932.h"

namespace orva {
namespace {

QByteArray Bytes(const QString& text) { return cp932::fromUnicode(text); }

QByteArray ReadKey(const char* name) {
  QFile file(QStringLiteral(ORVA_SOURCE_DIR "/devnet/keys/") + QLatin1String(name));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
  return file.readAll().trimmed();
}

const QDateTime kNoon(QDate(2026, 12, 11), QTime(12, 0, 0));

class SignedDataTest : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    serverData_ = new crypto::PrivateKey(*crypto::PrivateKey::FromText(ReadKey("server_data.key")));
    serverPeerKey_ =
        new crypto::PrivateKey(*crypto::PrivateKey::FromText(ReadKey("server_peerkey.key")));
    chatPeerKey_ = new crypto::PrivateKey(*crypto::PrivateKey::FromText(ReadKey("chat_peerkey.key")));
    peer_ = new crypto::KeyPair(*crypto::GeneratePeerKey());
  }
  static void TearDownTestSuite() {
    delete serverData_;
    delete serverPeerKey_;
    delete chatPeerKey_;
    delete peer_;
  }

  void SetUp() override {
    node_.log.SetLevel(0);
    node_.log.SetEcho([this](const QString& line) { lines_ << line.section(QLatin1Char('|'), 1); });
    SetNow(kNoon);
  }

  void SetNow(const QDateTime& now) {
    now_ = now;
    node_.clock.SetLocalClock([this] { return now_; });
  }

  // A server-signed item as the network's server makes it.
  static QString ServerSignature(const QString& expiryText, const QString& data,
                                 const crypto::PrivateKey& key = *serverData_) {
    const QByteArray message = crypto::ConcatBytes(Bytes(expiryText), crypto::Md5(Bytes(data)));
    return QString::fromLatin1(crypto::Base64Encode(key.Sign(message)));
  }

  // The server's signature over a peer key and its expiry.
  static QString KeySignature(const QString& publicKey, const QString& keyExpiry,
                              const crypto::PrivateKey& key = *serverPeerKey_) {
    const QByteArray message =
        crypto::ConcatBytes(*crypto::Base64Decode(Bytes(publicKey)), Bytes(keyExpiry));
    return QString::fromLatin1(crypto::Base64Encode(key.Sign(message)));
  }

  void HoldPeerKey() {
    node_.net.ownPeerId = 1234;
    node_.net.key.privateKey = QString::fromLatin1(peer_->privateKeyText);
    node_.net.key.publicKey = QString::fromLatin1(peer_->publicKeyText);
  }

  bool Accept(SignedData& signedData, const QString& data, const QString& expiry, int kind = 1) {
    return signedData.AcceptServerItem(ServerSignature(expiry, data), expiry, data, kind);
  }

  QStringList TakeLines() {
    QStringList lines = lines_;
    lines_.clear();
    return lines;
  }

  static crypto::PrivateKey* serverData_;
  static crypto::PrivateKey* serverPeerKey_;
  static crypto::PrivateKey* chatPeerKey_;
  static crypto::KeyPair* peer_;

  NodeContext node_;
  SignedData signed_{node_, ClientServerKeys()};
  QDateTime now_;
  QStringList lines_;
};
crypto::PrivateKey* SignedDataTest::serverData_ = nullptr;
crypto::PrivateKey* SignedDataTest::serverPeerKey_ = nullptr;
crypto::PrivateKey* SignedDataTest::chatPeerKey_ = nullptr;
crypto::KeyPair* SignedDataTest::peer_ = nullptr;

const QString kData = QStringLiteral("2026/12/11 11-58-00,1,震度３,東京都２３区");

TEST(ExpiryText, ReadsFormatsAndRefuses) {
  EXPECT_EQ(ReadExpiryText(QStringLiteral("2026/12/11 12-00-30")),
            QDateTime(QDate(2026, 12, 11), QTime(12, 0, 30)));
  EXPECT_EQ(ReadExpiryText(QStringLiteral("2026/1/5 3-04")), QDateTime(QDate(2026, 1, 5), QTime(3, 4)));
  EXPECT_EQ(ReadExpiryText(QStringLiteral("2026/01/05")), QDateTime(QDate(2026, 1, 5), QTime(0, 0)));
  EXPECT_EQ(FormatExpiryText(QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5))),
            QStringLiteral("2027/01/02 03-04-05"));
  for (const char* bad : {"", "abc", "2026/13/01 00-00-00", "2026/02/30 10-00-00",
                          "2026/12/11 24-00-00", "2026/12/11 12-60-00", "2026-12-11 12-00-00",
                          "2026/12/11 12-00-00 x", "２０２６/12/11 12-00-00"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ReadExpiryText(QString::fromUtf8(bad)), ExpiryTextError);
  }
  try {
    ReadExpiryText(QStringLiteral("明日"));
    FAIL();
  } catch (const ExpiryTextError& e) {
    EXPECT_EQ(e.Number(), 13);
    EXPECT_TRUE(e.Description().contains(QStringLiteral("明日")));
  }
}

TEST_F(SignedDataTest, ExpiryByCalendarMinute) {
  struct Case {
    QTime now;
    const char* expiry;
    bool accepted;
  };
  const Case cases[] = {
      {QTime(12, 0, 59, 999), "2026/12/11 12-00-30", true},  // same minute
      {QTime(12, 1, 0), "2026/12/11 12-00-30", false},       // previous minute
      {QTime(12, 1, 0), "2026/12/11 12-00-59", false},
      {QTime(12, 0, 0), "2026/12/11 12-00-00", true},
      {QTime(11, 59, 59), "2026/12/11 12-00-00", true},
      {QTime(0, 0, 0), "2026/12/10 23-59-59", false},        // across midnight
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expiry);
    SetNow(QDateTime(kNoon.date(), c.now));
    TakeLines();
    const QString expiry = QString::fromLatin1(c.expiry);
    EXPECT_EQ(signed_.VerifyServerSigned(ServerSignature(expiry, kData), expiry, kData, 0), c.accepted);
    EXPECT_EQ(TakeLines().contains(QStringLiteral("データの有効期限切れです")), !c.accepted);
  }
  // The test runs on protocol time: a server clock a minute ahead expires it.
  SetNow(QDateTime(kNoon.date(), QTime(12, 0, 59)));
  node_.clock.protocolOffset = 1;
  const QString expiry = QStringLiteral("2026/12/11 12-00-30");
  EXPECT_FALSE(signed_.VerifyServerSigned(ServerSignature(expiry, kData), expiry, kData, 0));
}

TEST_F(SignedDataTest, AcceptedItemLogsEveryStep) {
  ASSERT_TRUE(Accept(signed_, kData, QStringLiteral("2026/12/11 12-05-00")));
  const QStringList expected = {
      QStringLiteral("JMA重複チェックは正常です"),   QStringLiteral("ベンチマークスタート1（0ms）"),
      QStringLiteral("ベンチマークスタート2（0ms）"), QStringLiteral("有効期限正常（0ms）"),
      QStringLiteral("BASE64デコード正常（0ms）"),    QStringLiteral("データハッシュ作成（0ms）"),
      QStringLiteral("データの結合（0ms）"),          QStringLiteral("署名検証に成功しました（0ms/Total:0ms）"),
  };
  EXPECT_EQ(TakeLines(), expected);
}

TEST_F(SignedDataTest, RefusesForgeriesAtTheirLevels) {
  node_.log.SetLevel(1);  // only the failed signature is worth a level-1 line
  const QString expiry = QStringLiteral("2026/12/11 12-05-00");
  struct Case {
    QString signature;
    QString data;
    bool logged;
  };
  const Case cases[] = {
      {ServerSignature(expiry, kData), kData + QStringLiteral("x"), true},        // altered data
      {ServerSignature(expiry, kData, *serverPeerKey_), kData, true},             // wrong key
      {ServerSignature(expiry, kData).left(96), kData, true},  // short
      {QStringLiteral("not base64"), kData, false},  // decode failure is level 0
      {QString(400, QLatin1Char('A')), kData, false},  // longer than 128 bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.signature.toStdString());
    EXPECT_FALSE(signed_.VerifyServerSigned(c.signature, expiry, c.data, 0));
    const QStringList lines = TakeLines();
    EXPECT_EQ(lines, c.logged ? QStringList{QStringLiteral("署名検証に失敗しました")} : QStringList{});
  }
  node_.log.SetLevel(0);
  EXPECT_FALSE(signed_.VerifyServerSigned(QStringLiteral("@@@@"), expiry, kData, 0));
  EXPECT_TRUE(TakeLines().contains(QStringLiteral("BASE64デコードに失敗しました")));
}

TEST_F(SignedDataTest, GarbageServerKeysRefuseWithoutCrashing) {
  SignedData broken(node_, ServerKeys{QStringLiteral("garbage"), QString()});
  const QString expiry = QStringLiteral("2026/12/11 12-05-00");
  EXPECT_FALSE(broken.AcceptServerItem(ServerSignature(expiry, kData), expiry, kData, 1));
  EXPECT_FALSE(broken.VerifyPeerSigned(QString::fromLatin1(peer_->publicKeyText),
                                       KeySignature(QString::fromLatin1(peer_->publicKeyText), expiry),
                                       expiry, QStringLiteral("AAAA"), expiry, kData, 0));
}

TEST_F(SignedDataTest, SkipSettingsStillTestExpiry) {
  const QString expired = QStringLiteral("2026/12/11 11-59-59");
  const QString good = QStringLiteral("2026/12/11 12-00-00");
  const QString undecodable = QStringLiteral("***");
  node_.settings.Quake_NoVerify = 1;
  node_.settings.Tidal_NoVefiry = 1;
  EXPECT_FALSE(signed_.AcceptServerItem(QStringLiteral("s1"), expired, QStringLiteral("q1"), 1));
  EXPECT_TRUE(TakeLines().contains(QStringLiteral("データの有効期限切れです")));
  EXPECT_TRUE(signed_.AcceptServerItem(undecodable, good, QStringLiteral("q2"), 1));
  EXPECT_TRUE(signed_.AcceptServerItem(QStringLiteral("s3"), good, QStringLiteral("t3"), 2));
  EXPECT_FALSE(signed_.AcceptServerItem(QStringLiteral("s4"), good, QStringLiteral("a4"), 3));  // no skip
  node_.settings.Quake_NoVerify = 0;
  EXPECT_FALSE(signed_.AcceptServerItem(QStringLiteral("s5"), good, QStringLiteral("q5"), 1));
  node_.settings.Tidal_NoVefiry = 0;
  EXPECT_FALSE(signed_.AcceptServerItem(QStringLiteral("s6"), good, QStringLiteral("t6"), 2));
}

TEST_F(SignedDataTest, DuplicatesBySignatureOrDigest) {
  const QString expiry = QStringLiteral("2026/12/11 12-05-00");
  const QString later = QStringLiteral("2026/12/11 12-06-00");
  const QString signature = ServerSignature(expiry, kData);
  ASSERT_TRUE(signed_.AcceptServerItem(signature, expiry, kData, 1));
  TakeLines();
  // Same data, another valid signature: a digest match.
  EXPECT_FALSE(signed_.AcceptServerItem(ServerSignature(later, kData), later, kData, 2));
  // Another data text under the same signature.
  EXPECT_FALSE(signed_.AcceptServerItem(signature, expiry, QStringLiteral("other"), 3));
  EXPECT_TRUE(TakeLines().isEmpty());  // duplicates log nothing
  // Comparison is exact: a differently cased copy of the signature is new.
  EXPECT_FALSE(signed_.AcceptServerItem(signature.toLower(), expiry, QStringLiteral("other2"), 1));
  EXPECT_TRUE(TakeLines().contains(QStringLiteral("JMA重複チェックは正常です")));
}

TEST_F(SignedDataTest, HistoryHoldsOneHundredItems) {
  const QString expiry = QStringLiteral("2026/12/11 12-05-00");
  ASSERT_TRUE(Accept(signed_, kData, expiry));
  for (int i = 0; i < 99; ++i) ASSERT_TRUE(Accept(signed_, QStringLiteral("item %1").arg(i), expiry));
  EXPECT_FALSE(Accept(signed_, kData, expiry));  // 99 newer items: still held
  // The refused copy was not recorded; one more new item pushes it out.
  ASSERT_TRUE(Accept(signed_, QStringLiteral("item 99"), expiry));
  TakeLines();
  EXPECT_TRUE(Accept(signed_, kData, expiry));  // verified again like a new one
  EXPECT_TRUE(TakeLines().contains(QStringLiteral("署名検証に成功しました（0ms/Total:0ms）")));
}

TEST_F(SignedDataTest, FailedItemStopsOnlyItsExactCopies) {
  const QString expiry = QStringLiteral("2026/12/11 12-05-00");
  const QString genuine = ServerSignature(expiry, kData);
  // A damaged signature over the genuine data arrives first.
  QString damaged = genuine;
  damaged[5] = damaged[5] == QLatin1Char('A') ? QLatin1Char('B') : QLatin1Char('A');
  EXPECT_FALSE(signed_.AcceptServerItem(damaged, expiry, kData, 1));
  TakeLines();
  EXPECT_FALSE(signed_.AcceptServerItem(damaged, expiry, kData, 1));  // exact copy
  EXPECT_TRUE(TakeLines().isEmpty());                                  // not verified again
  // The genuine signature under forged data arrives next.
  EXPECT_FALSE(signed_.AcceptServerItem(genuine, expiry, QStringLiteral("forged"), 1));
  // Neither blocks the genuine item.
  EXPECT_TRUE(signed_.AcceptServerItem(genuine, expiry, kData, 1));
  EXPECT_FALSE(signed_.AcceptServerItem(genuine, expiry, kData, 1));
}

TEST_F(SignedDataTest, ExpiryThatIsNotADateIsThrown) {
  EXPECT_THROW(signed_.AcceptServerItem(QStringLiteral("sig"), QStringLiteral("2026/99/99 xx"),
                                        kData, 1),
               ExpiryTextError);
  // Recorded before the check: an exact copy is a quiet duplicate.
  EXPECT_FALSE(signed_.AcceptServerItem(QStringLiteral("sig"), QStringLiteral("2026/99/99 xx"),
                                        kData, 1));
}

class PeerSigned : public SignedDataTest {
 public:
  void SetUp() override {
    SignedDataTest::SetUp();
    HoldPeerKey();
    publicKey_ = QString::fromLatin1(peer_->publicKeyText);
    keyExpiry_ = QStringLiteral("2026/12/11 12-30-00");
    keySignature_ = KeySignature(publicKey_, keyExpiry_);
    const QStringList parts = signed_.SignOwnReport(kData).split(QLatin1Char(':'));
    dataSignature_ = parts[0];
    dataExpiry_ = parts[1];
  }
  bool Check(int skip = 0) {
    return signed_.VerifyPeerSigned(publicKey_, keySignature_, keyExpiry_, dataSignature_,
                                    dataExpiry_, data_, skip);
  }
  QString publicKey_, keyExpiry_, keySignature_, dataSignature_, dataExpiry_;
  QString data_ = kData;
};

TEST_F(PeerSigned, OwnReportVerifies) {
  TakeLines();
  EXPECT_TRUE(Check());
  const QStringList expected = {
      QStringLiteral("ベンチマークスタート1（0ms）"), QStringLiteral("ベンチマークスタート2（0ms）"),
      QStringLiteral("有効期限正常（0ms）"),          QStringLiteral("BASE64デコード正常（0ms）"),
      QStringLiteral("鍵署名の検証成功（0ms）"),      QStringLiteral("BASE64デコード正常（0ms）"),
      QStringLiteral("データ署名の検証成功（0ms）"),
  };
  EXPECT_EQ(TakeLines(), expected);
}

TEST_F(PeerSigned, RefusalsAndTheirLines) {
  struct Case {
    const char* name;
    std::function<void(PeerSigned&)> spoil;
    QString line;
    qint32 level;
  };
  const QString decode = QStringLiteral("BASE64デコードに失敗しました");
  const auto bigKey = crypto::GenerateServerKey();
  const Case cases[] = {
      {"key expired", [](PeerSigned& t) { t.keyExpiry_ = QStringLiteral("2026/12/11 11-59-59"); },
       QStringLiteral("鍵の有効期限切れです"), 0},
      {"data expired", [](PeerSigned& t) { t.SetNow(kNoon.addSecs(120)); },
       QStringLiteral("データの有効期限切れです"), 0},
      {"key signature undecodable", [](PeerSigned& t) { t.keySignature_ = QStringLiteral("%%"); },
       decode, 0},
      {"key undecodable", [](PeerSigned& t) { t.publicKey_ += QLatin1Char('!'); }, decode, 0},
      {"key over 111 bytes",
       [&bigKey](PeerSigned& t) {
         t.publicKey_ = QString::fromLatin1(bigKey->publicKeyText);
         t.keySignature_ = KeySignature(t.publicKey_, t.keyExpiry_);
       },
       decode, 0},
      {"key expiry altered", [](PeerSigned& t) { t.keyExpiry_ = QStringLiteral("2026/12/11 13-30-00"); },
       QStringLiteral("鍵署名の検証失敗"), 0},
      {"key signed by chat key",
       [](PeerSigned& t) { t.keySignature_ = KeySignature(t.publicKey_, t.keyExpiry_, *chatPeerKey_); },
       QStringLiteral("鍵署名の検証失敗"), 0},
      {"data signature undecodable", [](PeerSigned& t) { t.dataSignature_ = QStringLiteral("12345"); },
       decode, 3},
      {"data signature of a server key",
       [](PeerSigned& t) { t.dataSignature_ = ServerSignature(t.dataExpiry_, t.data_); }, decode, 3},
      {"data altered", [](PeerSigned& t) { t.data_ += QStringLiteral("改"); },
       QStringLiteral("データ署名の検証失敗"), 3},
      {"data expiry altered",
       [](PeerSigned& t) { t.dataExpiry_ = FormatExpiryText(kNoon.addSecs(61)); },
       QStringLiteral("データ署名の検証失敗"), 3},
  };
  ASSERT_TRUE(bigKey);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.spoil(*this);
    TakeLines();
    EXPECT_FALSE(Check());
    const QStringList lines = TakeLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), c.line);
    // Shown at its level, hidden above it.
    node_.log.SetLevel(c.level);
    EXPECT_FALSE(Check());
    EXPECT_EQ(TakeLines().last(), c.line);
    node_.log.SetLevel(c.level + 1);
    EXPECT_FALSE(Check());
    EXPECT_TRUE(TakeLines().isEmpty());
    node_.log.SetLevel(0);
  }
}

TEST_F(PeerSigned, SkipLooksOnlyAtTheDataExpiry) {
  keyExpiry_ = QStringLiteral("2026/12/11 11-00-00");
  EXPECT_FALSE(Check(0));
  EXPECT_TRUE(Check(1));
  keyExpiry_ = QStringLiteral("not a date");
  dataSignature_ = QStringLiteral("junk");
  EXPECT_TRUE(Check(1));
  EXPECT_THROW(Check(0), ExpiryTextError);
  SetNow(kNoon.addSecs(120));
  EXPECT_FALSE(Check(1));
  dataExpiry_ = QStringLiteral("2026/12/11");
  EXPECT_FALSE(Check(1));
  dataExpiry_ = QStringLiteral("??");
  EXPECT_THROW(Check(1), ExpiryTextError);
}

TEST_F(PeerSigned, ChatNetworkKeyAndLevels) {
  SignedData chat(node_, ChatServerKeys());
  chat.SetPeerCheckLevels(PeerCheckLevels::Chat());
  EXPECT_FALSE(chat.VerifyPeerSigned(publicKey_, keySignature_, keyExpiry_, dataSignature_,
                                     dataExpiry_, data_, 0));
  const QString chatKeySignature = KeySignature(publicKey_, keyExpiry_, *chatPeerKey_);
  EXPECT_TRUE(chat.VerifyPeerSigned(publicKey_, chatKeySignature, keyExpiry_, dataSignature_,
                                    dataExpiry_, data_, 0));
  node_.log.SetLevel(2);
  TakeLines();
  EXPECT_FALSE(chat.VerifyPeerSigned(publicKey_, chatKeySignature, QStringLiteral("2026/12/11 11-00-00"),
                                     dataSignature_, dataExpiry_, data_, 0));
  EXPECT_EQ(TakeLines(), QStringList{QStringLiteral("鍵の有効期限切れです")});
}

TEST_F(SignedDataTest, OwnReportShape) {
  SetNow(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 30)));
  node_.clock.protocolOffset = 5;
  const QString expiry = QStringLiteral("2027/01/01 00-00-35");

  // Without a key: a decimal token, reproducible from the source.
  signed_.SetUniformSource(crypto::MakeUniformSource(42));
  QString signature;
  const QString text = signed_.SignOwnReport(kData, &signature);
  EXPECT_EQ(text, signature + QLatin1Char(':') + expiry);
  EXPECT_EQ(signature, QString::fromLatin1(crypto::RandomToken(crypto::MakeUniformSource(42))));
  EXPECT_EQ(text.count(QLatin1Char(':')), 1);
  EXPECT_GE(signature.size(), 2);
  EXPECT_LE(signature.size(), 20);
  for (const QChar c : signature) EXPECT_TRUE(c.isDigit());

  // With a key: 64 base64 characters over bytes(expiry) + MD5(bytes(data)).
  HoldPeerKey();
  const QStringList parts = signed_.SignOwnReport(kData, &signature).split(QLatin1Char(':'));
  ASSERT_EQ(parts.size(), 2);
  EXPECT_EQ(parts[0], signature);
  EXPECT_EQ(parts[1], expiry);
  EXPECT_EQ(signature.size(), 64);
  const auto bytes = crypto::Base64Decode(signature.toLatin1());
  ASSERT_TRUE(bytes);
  EXPECT_TRUE(crypto::Verify(*bytes, crypto::ConcatBytes(Bytes(expiry), crypto::Md5(Bytes(kData))),
                             peer_->publicKeyText));

  // A key text that does not sign: the token, and a level-3 line.
  node_.net.key.privateKey = QStringLiteral("broken");
  node_.log.SetLevel(3);
  TakeLines();
  const QStringList fallback = signed_.SignOwnReport(kData, &signature).split(QLatin1Char(':'));
  EXPECT_EQ(TakeLines(), QStringList{QStringLiteral("署名の作成に失敗しました")});
  ASSERT_EQ(fallback.size(), 2);
  for (const QChar c : fallback[0]) EXPECT_TRUE(c.isDigit());
}

}  // namespace
}  // namespace orva
