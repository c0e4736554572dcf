#include "client/signed/signed_data.h"

#include <QRegularExpression>

#include <algorithm>

#include "platform/cp932.h"

namespace orva {

namespace {

QByteArray Bytes(const QString& text) { return cp932::fromUnicode(text); }

// The elapsed-time figures of the check lines. The timer behind them is
// inert, so every figure is 0.
constexpr int kElapsedMs = 0;


// bytes(expiry text) + MD5(bytes(data)): the message of every data signature.
QByteArray DataMessage(const QString& expiryText, const QByteArray& dataBytes) {
  return crypto::ConcatBytes(Bytes(expiryText), crypto::Md5(dataBytes));
}

}  // namespace

ExpiryTextError::ExpiryTextError(const QString& text)
    : std::runtime_error("expiry text is not a date"), text_(text) {
  description_ = QStringLiteral("日付の形式が正しくありません（") + text.left(40) +
                 QStringLiteral("）");
}

namespace {

// Date and wall-clock time of an expiry text; throws ExpiryTextError.
struct ExpiryFields {
  QDate date;
  QTime time;
};

ExpiryFields ReadExpiryFields(const QString& text) {
  static const QRegularExpression pattern(QStringLiteral(
      R"(^ *([0-9]{4})/([0-9]{1,2})/([0-9]{1,2})(?: +([0-9]{1,2}):([0-9]{1,2})(?::([0-9]{1,2}))?)? *$)"));
  QString readable = text;
  readable.replace(QLatin1Char('-'), QLatin1Char(':'));
  const QRegularExpressionMatch m = pattern.match(readable);
  if (!m.hasMatch()) throw ExpiryTextError(text);
  const QDate date(m.capturedView(1).toInt(), m.capturedView(2).toInt(), m.capturedView(3).toInt());
  const QTime time(m.capturedView(4).isEmpty() ? 0 : m.capturedView(4).toInt(),
                   m.capturedView(5).isEmpty() ? 0 : m.capturedView(5).toInt(),
                   m.capturedView(6).isEmpty() ? 0 : m.capturedView(6).toInt());
  if (!date.isValid() || !time.isValid()) throw ExpiryTextError(text);
  return {date, time};
}

qint64 MinuteIndex(const QDate& date, const QTime& time) {
  return date.toJulianDay() * 1440 + time.hour() * 60 + time.minute();
}

// The expiry test on the fields of the text and the wall clock of `now`.
bool Passed(const ExpiryFields& expiry, const QDateTime& now) {
  return MinuteIndex(expiry.date, expiry.time) < MinuteIndex(now.date(), now.time());
}

}  // namespace

QDateTime ReadExpiryText(const QString& text) {
  const ExpiryFields fields = ReadExpiryFields(text);
  return QDateTime(fields.date, fields.time);
}

QString FormatExpiryText(const QDateTime& time) {
  return time.toString(QStringLiteral("yyyy/MM/dd hh-mm-ss"));
}

bool ExpiryPassed(const QDateTime& expiry, const QDateTime& now) {
  return Passed({expiry.date(), expiry.time()}, now);
}

SignedData::SignedData(NodeContext& node, ServerKeys keys)
    : node_(node),
      keys_(std::move(keys)),
      dataKey_(crypto::PublicKey::FromText(Bytes(keys_.dataKey))),
      peerKeyKey_(crypto::PublicKey::FromText(Bytes(keys_.peerKeyKey))),
      uniform_(crypto::MakeUniformSource()) {}

void SignedData::LogFigure(const QString& text) {
  // Only built when the log takes level 0 lines.
  if (node_.log.Level() > 0) return;
  Log(text + QString::number(kElapsedMs) + QStringLiteral("ms）"), 0);
}

bool SignedData::Duplicate(const QString& signature, const QString& digest) const {
  for (const HistoryEntry& entry : history_) {
    const bool sameSignature = entry.signature == signature;
    const bool sameDigest = entry.digest == digest;
    if (entry.passed ? (sameSignature || sameDigest) : (sameSignature && sameDigest)) return true;
  }
  return false;
}

bool SignedData::AcceptServerItem(const QString& signature, const QString& expiryText,
                                  const QString& data, int kind) {
  const QByteArray md5 = crypto::Md5(Bytes(data));
  // DigestText of the data, from the digest the verification uses too.
  const QString digest = QString::fromLatin1(crypto::CleanBase64Text(crypto::Base64Encode(md5)));
  if (Duplicate(signature, digest)) return false;
  Log(QStringLiteral("JMA重複チェックは正常です"), 0);

  // Recorded before the checks, so that copies of an item that fails them
  // are dropped without another verification.
  std::move_backward(history_.begin(), history_.end() - 1, history_.end());
  history_[0] = HistoryEntry{signature, digest, false};

  int skip = 0;
  if (kind == kQuake) skip = node_.settings.Quake_NoVerify;
  if (kind == kTsunami) skip = node_.settings.Tidal_NoVefiry;
  // Entry 0 is still this item: nothing below gives way to other events.
  const bool passed = VerifyServer(signature, expiryText, md5, skip);
  history_[0].passed = passed;
  return passed;
}

bool SignedData::VerifyServerSigned(const QString& signature, const QString& expiryText,
                                    const QString& data, int skip) {
  return VerifyServer(signature, expiryText, crypto::Md5(Bytes(data)), skip);
}

bool SignedData::VerifyServer(const QString& signature, const QString& expiryText,
                              const QByteArray& dataDigest, int skip) {
  const ExpiryFields expiry = ReadExpiryFields(expiryText);
  LogFigure(QStringLiteral("ベンチマークスタート1（"));
  LogFigure(QStringLiteral("ベンチマークスタート2（"));
  if (Passed(expiry, node_.ProtocolNow())) {
    Log(QStringLiteral("データの有効期限切れです"), 0);
    return false;
  }
  LogFigure(QStringLiteral("有効期限正常（"));
  if (skip == 1) return true;

  QByteArray signatureBytes;
  if (crypto::Base64DecryptText(signatureBytes, crypto::kServerSignatureBytes, Bytes(signature)) ==
      -1) {
    Log(QStringLiteral("BASE64デコードに失敗しました"), 0);
    return false;
  }
  LogFigure(QStringLiteral("BASE64デコード正常（"));
  LogFigure(QStringLiteral("データハッシュ作成（"));
  const QByteArray message = crypto::ConcatBytes(Bytes(expiryText), dataDigest);
  LogFigure(QStringLiteral("データの結合（"));

  if (dataKey_ && dataKey_->Verify(signatureBytes, message, crypto::kModeSha1)) {
    // This figure and the total.
    LogFigure(QStringLiteral("署名検証に成功しました（") + QString::number(kElapsedMs) +
              QStringLiteral("ms/Total:"));
    return true;
  }
  Log(QStringLiteral("署名検証に失敗しました"), 1);
  return false;
}

bool SignedData::VerifyPeerSigned(const QString& publicKey, const QString& keySignature,
                                  const QString& keyExpiryText, const QString& dataSignature,
                                  const QString& dataExpiryText, const QString& data, int skip) {
  const QString decodeFailed = QStringLiteral("BASE64デコードに失敗しました");
  const ExpiryFields dataExpiry = ReadExpiryFields(dataExpiryText);
  LogFigure(QStringLiteral("ベンチマークスタート1（"));
  LogFigure(QStringLiteral("ベンチマークスタート2（"));
  const QDateTime now = node_.ProtocolNow();
  if (Passed(dataExpiry, now)) {
    Log(QStringLiteral("データの有効期限切れです"), levels_.dataExpired);
    return false;
  }
  LogFigure(QStringLiteral("有効期限正常（"));
  if (skip == 1) return true;

  if (Passed(ReadExpiryFields(keyExpiryText), now)) {
    Log(QStringLiteral("鍵の有効期限切れです"), levels_.keyExpired);
    return false;
  }
  QByteArray keySignatureBytes;
  if (crypto::Base64DecryptText(keySignatureBytes, crypto::kServerSignatureBytes,
                                Bytes(keySignature)) == -1) {
    Log(decodeFailed, levels_.keyDecode);
    return false;
  }
  QByteArray keyDer;
  if (crypto::Base64DecryptText(keyDer, crypto::kPeerPublicKeyDerMax, Bytes(publicKey)) == -1) {
    Log(decodeFailed, levels_.keyDecode);
    return false;
  }
  LogFigure(QStringLiteral("BASE64デコード正常（"));

  const QByteArray keyMessage = crypto::ConcatBytes(keyDer, Bytes(keyExpiryText));
  if (!peerKeyKey_ || !peerKeyKey_->Verify(keySignatureBytes, keyMessage, crypto::kModeSha1)) {
    Log(QStringLiteral("鍵署名の検証失敗"), levels_.keySignature);
    return false;
  }
  LogFigure(QStringLiteral("鍵署名の検証成功（"));

  QByteArray dataSignatureBytes;
  if (crypto::Base64DecryptText(dataSignatureBytes, crypto::kPeerSignatureBytes,
                                Bytes(dataSignature)) == -1) {
    Log(decodeFailed, levels_.dataDecode);
    return false;
  }
  LogFigure(QStringLiteral("BASE64デコード正常（"));

  const QByteArray message = DataMessage(dataExpiryText, Bytes(data));
  const auto peerKey = crypto::PublicKey::FromDer(keyDer);
  if (!peerKey || !peerKey->Verify(dataSignatureBytes, message, crypto::kModeSha1)) {
    Log(QStringLiteral("データ署名の検証失敗"), levels_.dataSignature);
    return false;
  }
  LogFigure(QStringLiteral("データ署名の検証成功（"));
  return true;
}

QString SignedData::SignOwnReport(const QString& data, QString* signature) {
  const QString expiry = FormatExpiryText(node_.ProtocolNow().addSecs(60));
  const QString& privateKey = node_.net.key.privateKey;
  QString signatureText;
  if (privateKey != QStringLiteral("Unknown")) {
    const QString seed = QString::number(node_.net.ownPeerId) + expiry +
                         QString::fromLatin1(crypto::RandomToken(uniform_));
    const QByteArray signatureBytes =
        crypto::Sign(DataMessage(expiry, Bytes(data)), Bytes(privateKey), Bytes(seed), crypto::kModeSha1);
    if (signatureBytes.isEmpty()) {
      Log(QStringLiteral("署名の作成に失敗しました"), 3);
    } else {
      signatureText =
          QString::fromLatin1(crypto::CleanBase64Text(crypto::Base64Encode(signatureBytes)));
    }
  }
  if (signatureText.isEmpty()) signatureText = QString::fromLatin1(crypto::RandomToken(uniform_));
  if (signature != nullptr) *signature = signatureText;
  return signatureText + QLatin1Char(':') + expiry;
}

}  // namespace orva
