// The byte-level crypto module: base64, digests, tokens, keys and
// signatures, including hostile inputs.
#include <gtest/gtest.h>

#include <QFile>

#include "client/signed/built_in_keys.h"
#include "client/signed/crypto.h"
#include "platform/cp932.h"

namespace orva::crypto {
namespace {

TEST(Base64, DecodesAndRefuses) {
  struct Case {
    const char* text;
    bool decodes;
    const char* bytes;
  };
  const Case cases[] = {
      {"", true, ""},
      {"TWFu", true, "Man"},
      {"TWE=", true, "Ma"},
      {"TQ==", true, "M"},
      {"TW\r\nFu", true, "Man"},  // line breaks of wrapped encoder output
      {"TWFuTQ==\n", true, "ManM"},
      {"TWF", false, nullptr},      // not a multiple of four
      {"TQ=", false, nullptr},
      {"T===", false, nullptr},     // padding too early
      {"=AAA", false, nullptr},
      {"TQ==TWFu", false, nullptr}, // data after the padding
      {"TQ=a", false, nullptr},
      {"TW u", false, nullptr},     // blank
      {"TW-u", false, nullptr},     // URL alphabet is not ours
      {"\x81\x40\x81\x40", false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto decoded = Base64Decode(QByteArray(c.text));
    ASSERT_EQ(decoded.has_value(), c.decodes);
    if (c.decodes) {
      EXPECT_EQ(*decoded, QByteArray(c.bytes));
    }
  }
}

TEST(Base64, CapacityAndLibraryConvention) {
  QByteArray out("unchanged");
  EXPECT_EQ(Base64DecryptText(out, 3, "TWFu"), 3);
  EXPECT_EQ(out, QByteArray("Man"));
  out = "unchanged";
  EXPECT_EQ(Base64DecryptText(out, 2, "TWFu"), -1);  // does not fit
  EXPECT_EQ(Base64DecryptText(out, 100, "!!!!"), -1);
  EXPECT_EQ(out, QByteArray("unchanged"));
}

TEST(Base64, EncodesRoundTrip) {
  EXPECT_EQ(Base64Encode(""), QByteArray());
  EXPECT_EQ(Base64Encode("M"), QByteArray("TQ=="));
  QByteArray all;
  for (int i = 0; i < 256; ++i) all.append(static_cast<char>(i));
  const QByteArray text = Base64Encode(all);
  EXPECT_FALSE(text.contains('\n'));
  EXPECT_EQ(Base64Decode(text), all);
  EXPECT_EQ(Base64Encode(QByteArray(48, '\x7f')).size(), 64);  // a peer signature
}

TEST(Bytes, CleanBase64TextAndConcat) {
  EXPECT_EQ(CleanBase64Text(QByteArray("TWFu\nTWFu\nTQ==\0\0junk\n", 22)),
            QByteArray("TWFuTWFuTQ=="));
  EXPECT_EQ(CleanBase64Text(QByteArray("\0TWFu", 5)), QByteArray());
  EXPECT_EQ(ConcatBytes(QByteArray("a\0", 2), "b"), QByteArray("a\0b", 3));
}

TEST(Digest, KnownValuesAndCodePage932) {
  EXPECT_EQ(Md5("").toHex(), QByteArray("d41d8cd98f00b204e9800998ecf8427e"));
  EXPECT_EQ(DigestText(""), QByteArray("1B2M2Y8AsgTpgAmY7PhCfg=="));
  EXPECT_EQ(DigestText("abc").size(), 24);
  EXPECT_TRUE(DigestText("abc").endsWith("=="));
  // Characters code page 932 cannot hold become the same byte, so two such
  // texts share a digest; the digest covers the code page 932 bytes.
  const QByteArray a = cp932::fromUnicode(QStringLiteral("震度\u00e9"));
  const QByteArray b = cp932::fromUnicode(QStringLiteral("震度\u0101"));
  EXPECT_EQ(DigestText(a), DigestText(b));
  EXPECT_NE(DigestText(a), DigestText(cp932::fromUnicode(QStringLiteral("震度"))));
}

TEST(RandomToken, DigitsBoundsAndOrder) {
  auto fixed = [](std::vector<double> values) {
    auto index = std::make_shared<size_t>(0);
    return UniformSource([values, index] { return values[(*index)++ % values.size()]; });
  };
  EXPECT_EQ(RandomToken(fixed({0.0, 0.0})), QByteArray("00"));
  EXPECT_EQ(RandomToken(fixed({0.5, 0.25})), QByteArray("1073741820536870910"));
  // The largest value below 1 stays below 2147483640; bad sources are clamped.
  const double below1 = std::nextafter(1.0, 0.0);
  EXPECT_EQ(RandomToken(fixed({below1, 1.5})), QByteArray("21474836392147483639"));
  EXPECT_EQ(RandomToken(fixed({-1.0, std::nan("")})), QByteArray("00"));

  // Seeded sources repeat; independent ones differ.
  EXPECT_EQ(RandomToken(MakeUniformSource(7)), RandomToken(MakeUniformSource(7)));
  const auto source = MakeUniformSource(8);
  for (int i = 0; i < 200; ++i) {
    const QByteArray token = RandomToken(source);
    ASSERT_GE(token.size(), 2);
    ASSERT_LE(token.size(), 20);
    for (const char c : token) ASSERT_TRUE(c >= '0' && c <= '9') << token.constData();
  }
}

class Keys : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    peer_ = new KeyPair(*GeneratePeerKey());
  }
  static void TearDownTestSuite() { delete peer_; }
  static QByteArray ReadKeyFile(const char* name) {
    QFile file(QStringLiteral(ORVA_SOURCE_DIR "/devnet/keys/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll().trimmed();
  }
  static KeyPair* peer_;
};
KeyPair* Keys::peer_ = nullptr;

TEST_F(Keys, PeerKeyShapeAndSignature) {
  const auto priv = PrivateKey::FromText(peer_->privateKeyText);
  const auto pub = PublicKey::FromText(peer_->publicKeyText);
  ASSERT_TRUE(priv && pub);
  EXPECT_EQ(priv->Bits(), kPeerKeyBits);
  EXPECT_EQ(pub->Bits(), kPeerKeyBits);
  EXPECT_LE(pub->Der().size(), kPeerPublicKeyDerMax);
  EXPECT_EQ(priv->PublicKeyText(), peer_->publicKeyText);
  EXPECT_EQ(priv->Text(), peer_->privateKeyText);

  const QByteArray message = cp932::fromUnicode(QStringLiteral("2026/12/11 12-01-00")) + Md5("x");
  const QByteArray signature = Sign(message, peer_->privateKeyText, "seed");
  ASSERT_EQ(signature.size(), kPeerSignatureBytes);
  EXPECT_EQ(signature, priv->Sign(message));  // the seed changes nothing
  EXPECT_TRUE(Verify(signature, message, peer_->publicKeyText));
  EXPECT_FALSE(Verify(signature, message + "!", peer_->publicKeyText));
  QByteArray flipped = signature;
  flipped[10] = static_cast<char>(flipped[10] ^ 1);
  EXPECT_FALSE(Verify(flipped, message, peer_->publicKeyText));
  EXPECT_FALSE(Verify(signature, message, peer_->publicKeyText, 1));  // other modes refused
  EXPECT_TRUE(Sign(message, peer_->privateKeyText, {}, 2).isEmpty());
}

TEST_F(Keys, GeneratedKeysDiffer) {
  const auto other = GeneratePeerKey();
  ASSERT_TRUE(other);
  EXPECT_NE(other->publicKeyText, peer_->publicKeyText);
  EXPECT_FALSE(GenerateKeyPair(383, 65537));
  EXPECT_FALSE(GenerateKeyPair(384, 4));
}

TEST_F(Keys, HostileInputsFailQuietly) {
  const QByteArray message = "message";
  const QByteArray good = Sign(message, peer_->privateKeyText);
  const QByteArray garbageKeys[] = {
      "", "Unknown", "!!!!", "TWFu", Base64Encode(QByteArray(160, '\x30')),
      peer_->publicKeyText.left(40) + "====",
      Base64Encode(Base64Decode(peer_->publicKeyText)->left(70)),   // cut DER
      Base64Encode(*Base64Decode(peer_->publicKeyText) + "xx"),     // trailing bytes
      peer_->privateKeyText,  // a private key where a public one belongs
  };
  for (const QByteArray& key : garbageKeys) {
    SCOPED_TRACE(key.constData());
    EXPECT_FALSE(Verify(good, message, key));
    EXPECT_TRUE(Sign(message, key).isEmpty() || key == peer_->privateKeyText);
  }
  // Signatures of the wrong length, empty, or far too long.
  for (const QByteArray& signature :
       {QByteArray(), good.left(47), good + "x", QByteArray(4096, '\xff')}) {
    EXPECT_FALSE(Verify(signature, message, peer_->publicKeyText));
  }
}

TEST_F(Keys, DevelopmentNetworkKeysMatchTheirHalves) {
  const BuiltInKeyTexts built = BuiltInKeys();
  const struct {
    QString builtIn;
    const char* file;
  } keys[] = {{built.serverData, "server_data"},
              {built.serverPeerKey, "server_peerkey"},
              {built.chatPeerKey, "chat_peerkey"}};
  for (const auto& k : keys) {
    SCOPED_TRACE(k.file);
    const QByteArray pubText = ReadKeyFile((std::string(k.file) + ".pub").c_str());
    EXPECT_EQ(k.builtIn.toLatin1(), pubText);
    EXPECT_EQ(pubText.size(), 216);
    const auto pub = PublicKey::FromText(pubText);
    const auto priv = PrivateKey::FromText(ReadKeyFile((std::string(k.file) + ".key").c_str()));
    ASSERT_TRUE(pub && priv);
    EXPECT_EQ(pub->Bits(), kServerKeyBits);
    EXPECT_EQ(priv->PublicKeyText(), pubText);
    const QByteArray signature = priv->Sign("abc");
    EXPECT_EQ(signature.size(), kServerSignatureBytes);
    EXPECT_TRUE(pub->Verify(signature, "abc"));
  }
  EXPECT_NE(built.serverData, built.serverPeerKey);
  EXPECT_NE(built.serverPeerKey, built.chatPeerKey);
}

}  // namespace
}  // namespace orva::crypto
