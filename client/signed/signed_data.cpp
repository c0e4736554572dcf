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

QString Figure(const QString& text) {
  return text + QString::number(kElapsedMs) + QStringLiteral("ms）");
}

qint64 MinuteIndex(const QDateTime& time) {
  const QTime t = time.time();
  return time.date().toJulianDay() * 1440 + t.hour() * 60 + t.minute();
}

// bytes(expiry text) + MD5(bytes(data)): the message of every data signature.
QByteArray DataMessage(const QString& expiryText, const QString& data) {
  return crypto::ConcatBytes(Bytes(expiryText), crypto::Md5(Bytes(data)));
}

}  // namespace

ExpiryTextError::ExpiryTextError(const QString& text)
    : std::runtime_error("expiry text is not a date"), text_(text) {
  description_ = QStringLiteral("日付の形式が正しくありません（") + text.left(40) +
                 QStringLiteral("）");
}

QDateTime ReadExpiryText(const QString& text) {
  static const QRegularExpression pattern(QStringLiteral(
      R"(^ *([0-9]{4})/([0-9]{1,2})/([0-9]{1,2})(?: +([0-9]{1,2}):([0-9]{1,2})(?::([0-9]{1,2}))?)? *$)"));
  QString readable = text;
  readable.replace(QLatin1Char('-'), QLatin1Char(':'));
  const QRegularExpressionMatch m = pattern.match(readable);
  if (!m.hasMatch()) throw ExpiryTextError(text);
  const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  const QTime time(m.captured(4).isEmpty() ? 0 : m.captured(4).toInt(),
                   m.captured(5).isEmpty() ? 0 : m.captured(5).toInt(),
                   m.captured(6).isEmpty() ? 0 : m.captured(6).toInt());
  if (!date.isValid() || !time.isValid()) throw ExpiryTextError(text);
  return QDateTime(date, time);
}

QString FormatExpiryText(const QDateTime& time) {
  return time.toString(QStringLiteral("yyyy/MM/dd hh-mm-ss"));
}

bool ExpiryPassed(const QDateTime& expiry, const QDateTime& now) {
  return MinuteIndex(expiry) < MinuteIndex(now);
}

SignedData::SignedData(NodeContext& node, ServerKeys keys)
    : node_(node),
      keys_(std::move(keys)),
      dataKey_(crypto::PublicKey::FromText(Bytes(keys_.dataKey))),
      peerKeyKey_(crypto::PublicKey::FromText(Bytes(keys_.peerKeyKey))),
      uniform_(crypto::MakeUniformSource()) {}

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
  const QString digest = QString::fromLatin1(crypto::DigestText(Bytes(data)));
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
  const bool passed = VerifyServerSigned(signature, expiryText, data, skip);
  history_[0].passed = passed;
  return passed;
}

bool SignedData::VerifyServerSigned(const QString& signature, const QString& expiryText,
                                    const QString& data, int skip) {
  const QDateTime expiry = ReadExpiryText(expiryText);
  Log(Figure(QStringLiteral("ベンチマークスタート1（")), 0);
  Log(Figure(QStringLiteral("ベンチマークスタート2（")), 0);
  if (ExpiryPassed(expiry, node_.ProtocolNow())) {
    Log(QStringLiteral("データの有効期限切れです"), 0);
    return false;
  }
  Log(Figure(QStringLiteral("有効期限正常（")), 0);
  if (skip == 1) return true;

  QByteArray signatureBytes;
  if (crypto::Base64DecryptText(signatureBytes, crypto::kServerSignatureBytes, Bytes(signature)) ==
      -1) {
    Log(QStringLiteral("BASE64デコードに失敗しました"), 0);
    return false;
  }
  Log(Figure(QStringLiteral("BASE64デコード正常（")), 0);
  const QByteArray digest = crypto::Md5(Bytes(data));
  Log(Figure(QStringLiteral("データハッシュ作成（")), 0);
  const QByteArray message = crypto::ConcatBytes(Bytes(expiryText), digest);
  Log(Figure(QStringLiteral("データの結合（")), 0);

  if (dataKey_ && dataKey_->Verify(signatureBytes, message, crypto::kModeSha1)) {
    Log(QStringLiteral("署名検証に成功しました（") + QString::number(kElapsedMs) +
            QStringLiteral("ms/Total:") + QString::number(kElapsedMs) + QStringLiteral("ms）"),
        0);
    return true;
  }
  Log(QStringLiteral("署名検証に失敗しました"), 1);
  return false;
}

bool SignedData::VerifyPeerSigned(const QString& publicKey, const QString& keySignature,
                                  const QString& keyExpiryText, const QString& dataSignature,
                                  const QString& dataExpiryText, const QString& data, int skip) {
  const QString decodeFailed = QStringLiteral("BASE64デコードに失敗しました");
  const QDateTime dataExpiry = ReadExpiryText(dataExpiryText);
  Log(Figure(QStringLiteral("ベンチマークスタート1（")), 0);
  Log(Figure(QStringLiteral("ベンチマークスタート2（")), 0);
  const QDateTime now = node_.ProtocolNow();
  if (ExpiryPassed(dataExpiry, now)) {
    Log(QStringLiteral("データの有効期限切れです"), levels_.dataExpired);
    return false;
  }
  Log(Figure(QStringLiteral("有効期限正常（")), 0);
  if (skip == 1) return true;

  if (ExpiryPassed(ReadExpiryText(keyExpiryText), now)) {
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
  Log(Figure(QStringLiteral("BASE64デコード正常（")), 0);

  const QByteArray keyMessage = crypto::ConcatBytes(keyDer, Bytes(keyExpiryText));
  if (!peerKeyKey_ || !peerKeyKey_->Verify(keySignatureBytes, keyMessage, crypto::kModeSha1)) {
    Log(QStringLiteral("鍵署名の検証失敗"), levels_.keySignature);
    return false;
  }
  Log(Figure(QStringLiteral("鍵署名の検証成功（")), 0);

  QByteArray dataSignatureBytes;
  if (crypto::Base64DecryptText(dataSignatureBytes, crypto::kPeerSignatureBytes,
                                Bytes(dataSignature)) == -1) {
    Log(decodeFailed, levels_.dataDecode);
    return false;
  }
  Log(Figure(QStringLiteral("BASE64デコード正常（")), 0);

  const QByteArray message = DataMessage(dataExpiryText, data);
  const auto peerKey = crypto::PublicKey::FromDer(keyDer);
  if (!peerKey || !peerKey->Verify(dataSignatureBytes, message, crypto::kModeSha1)) {
    Log(QStringLiteral("データ署名の検証失敗"), levels_.dataSignature);
    return false;
  }
  Log(Figure(QStringLiteral("データ署名の検証成功（")), 0);
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
        crypto::Sign(DataMessage(expiry, data), Bytes(privateKey), Bytes(seed), crypto::kModeSha1);
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
