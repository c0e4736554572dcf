// The crypto module against an independent implementation: the `openssl`
// command-line tool, run in a temporary folder.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "client/signed/crypto.h"
#include "platform/cp932.h"

namespace orva::crypto {
namespace {

struct ToolRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

class OpensslCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    if (Openssl({"version"}).exitCode != 0) GTEST_SKIP() << "openssl command not available";
  }

  QString Path(const QString& name) const { return dir_.filePath(name); }

  ToolRun Openssl(const QStringList& args) {
    QProcess process;
    process.setWorkingDirectory(dir_.path());
    process.start(QStringLiteral("openssl"), args);
    ToolRun run;
    if (!process.waitForStarted(10000)) return run;
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
      process.kill();
      process.waitForFinished(5000);
      return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
  }

  void Write(const QString& name, const QByteArray& bytes) {
    QFile file(Path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
  }
  QByteArray Read(const QString& name) {
    QFile file(Path(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
  }

  // openssl signs `message` with the DER private key file; our module verifies.
  // Our module signs; openssl verifies. Both over the network's message form.
  void CheckBothWays(const QByteArray& privateKeyText, const QByteArray& publicKeyText,
                     int signatureBytes) {
    Write("key.der", *Base64Decode(privateKeyText));
    Write("pub.der", *Base64Decode(publicKeyText));
    const QByteArray message =
        ConcatBytes(cp932::fromUnicode(QStringLiteral("2026/12/11 12-01-00")),
                    Md5(cp932::fromUnicode(QStringLiteral("震度５弱,東京都２３区,ｶﾅ～"))));
    Write("msg.bin", message);

    ToolRun sign = Openssl({"dgst", "-sha1", "-sign", "key.der", "-keyform", "DER", "-out",
                        "theirs.sig", "msg.bin"});
    ASSERT_EQ(sign.exitCode, 0) << sign.err.constData();
    const QByteArray theirs = Read("theirs.sig");
    EXPECT_EQ(theirs.size(), signatureBytes);
    EXPECT_TRUE(Verify(theirs, message, publicKeyText));
    EXPECT_FALSE(Verify(theirs, message + "x", publicKeyText));

    const QByteArray ours = Sign(message, privateKeyText);
    EXPECT_EQ(ours, theirs);  // PKCS#1 v1.5 is deterministic
    Write("ours.sig", ours);
    ToolRun verify = Openssl({"dgst", "-sha1", "-verify", "pub.der", "-keyform", "DER",
                          "-signature", "ours.sig", "msg.bin"});
    EXPECT_EQ(verify.exitCode, 0) << verify.err.constData();
    EXPECT_TRUE(verify.out.contains("Verified OK")) << verify.out.constData();

    Write("other.bin", message + "x");
    ToolRun refuse = Openssl({"dgst", "-sha1", "-verify", "pub.der", "-keyform", "DER",
                          "-signature", "ours.sig", "other.bin"});
    EXPECT_NE(refuse.exitCode, 0);
  }

  QTemporaryDir dir_;
};

TEST_F(OpensslCli, ServerKeyMadeByOpenssl) {
  ToolRun gen = Openssl({"genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024", "-pkeyopt",
                     "rsa_keygen_pubexp:17", "-out", "k.pem"});
  ASSERT_EQ(gen.exitCode, 0) << gen.err.constData();
  ASSERT_EQ(Openssl({"rsa", "-in", "k.pem", "-traditional", "-outform", "DER", "-out", "k1.der"})
                .exitCode, 0);
  ASSERT_EQ(Openssl({"pkey", "-in", "k.pem", "-pubout", "-outform", "DER", "-out", "p1.der"})
                .exitCode, 0);
  const QByteArray privateText = Base64Encode(Read("k1.der"));
  const QByteArray publicText = Base64Encode(Read("p1.der"));
  EXPECT_EQ(publicText.size(), 216);
  const auto key = PrivateKey::FromText(privateText);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->PublicKeyText(), publicText);
  CheckBothWays(privateText, publicText, kServerSignatureBytes);
}

TEST_F(OpensslCli, ServerKeyMadeByUs) {
  const auto pair = GenerateServerKey();
  ASSERT_TRUE(pair);
  Write("p.der", *Base64Decode(pair->publicKeyText));
  ToolRun text = Openssl({"pkey", "-pubin", "-inform", "DER", "-in", "p.der", "-text", "-noout"});
  ASSERT_EQ(text.exitCode, 0);
  EXPECT_TRUE(text.out.contains("1024 bit")) << text.out.constData();
  EXPECT_TRUE(text.out.contains("Exponent: 17 (0x11)")) << text.out.constData();
  CheckBothWays(pair->privateKeyText, pair->publicKeyText, kServerSignatureBytes);
}

TEST_F(OpensslCli, PeerKeyMadeByUs) {
  const auto pair = GeneratePeerKey();
  ASSERT_TRUE(pair);
  Write("k.der", *Base64Decode(pair->privateKeyText));
  ToolRun check = Openssl({"rsa", "-inform", "DER", "-in", "k.der", "-check", "-noout", "-text"});
  EXPECT_EQ(check.exitCode, 0) << check.err.constData();
  EXPECT_TRUE(check.out.contains("RSA key ok")) << check.out.constData();
  EXPECT_TRUE(check.out.contains("384 bit")) << check.out.constData();
  CheckBothWays(pair->privateKeyText, pair->publicKeyText, kPeerSignatureBytes);
}

TEST_F(OpensslCli, Md5AndBase64OnCodePage932Text) {
  const QString texts[] = {
      QStringLiteral("震度３以上の地震が発生しました。～ソ表能①"),
      QStringLiteral("ｱｲｳ半角カナ,と:記号\r\n改行"),
      QStringLiteral("x"),
      QStringLiteral("ab"),
  };
  for (const QString& text : texts) {
    SCOPED_TRACE(text.toStdString());
    const QByteArray bytes = cp932::fromUnicode(text);
    Write("in.txt", bytes);
    ToolRun md5 = Openssl({"md5", "-binary", "-out", "md5.bin", "in.txt"});
    ASSERT_EQ(md5.exitCode, 0);
    EXPECT_EQ(Read("md5.bin"), Md5(bytes));

    ToolRun encode = Openssl({"base64", "-A", "-in", "in.txt"});
    ASSERT_EQ(encode.exitCode, 0);
    EXPECT_EQ(encode.out.trimmed(), Base64Encode(bytes));
    EXPECT_EQ(Base64Decode(encode.out.trimmed()), bytes);
    // openssl's wrapped output (64 columns) decodes too.
    ToolRun wrapped = Openssl({"base64", "-in", "in.txt"});
    EXPECT_EQ(Base64Decode(wrapped.out), bytes);
  }
}

}  // namespace
}  // namespace orva::crypto
