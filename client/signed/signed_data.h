#pragma once
// Intake and checks of signed items, and the signing of the user's own
// reports.
//
// Server-signed items (quake, tsunami, area peer counts) carry a signature
// by the server data key over  bytes(expiry text) + MD5(bytes(data));
// a peer key carries the server peer-key key's signature over
//   DER(peer public key) + bytes(key expiry text);
// a peer-signed item carries the peer key's signature over
//   bytes(data expiry text) + MD5(bytes(data)).
// bytes() is code page 932; signatures travel as base64 text.
//
// Expiry texts are "yyyy/mm/dd hh-nn-ss" in protocol time ("-" in the time
// part, since ":" separates fields). An expiry has passed when its whole
// minute lies before the whole minute of ProtocolNow() (calendar minutes:
// 12:00:30 is still good at 12:00:59 and passed at 12:01:00).
//
// Errors: every check returns false after its log line, except for an
// expiry text that is not a date: the checks then throw ExpiryTextError,
// which the caller (the peer relay) logs as a peer data processing error
// ("ピアデータ処理中エラー：" + Number() + " " + Description(), level 4) and
// drops the item. Nothing else is thrown; garbage signatures, key texts or
// base64 only make a check fail.
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>
#include <stdexcept>

#include "client/core/node_context.h"
#include "client/signed/built_in_keys.h"
#include "client/signed/crypto.h"

namespace orva {

// An expiry text that cannot be read as a date and time.
class ExpiryTextError : public std::runtime_error {
 public:
  // The error number logged with the description (type mismatch).
  static constexpr int kNumber = 13;

  explicit ExpiryTextError(const QString& text);
  int Number() const { return kNumber; }
  // "日付の形式が正しくありません（" + the text, cut at 40 characters, + "）"
  QString Description() const { return description_; }
  QString Text() const { return text_; }

 private:
  QString text_;
  QString description_;
};

// "yyyy/mm/dd hh-nn-ss" -> date and time (every "-" read as ":"). One- or
// two-digit month, day and time fields are taken, the seconds or the whole
// time part may be missing (midnight). Throws ExpiryTextError otherwise.
QDateTime ReadExpiryText(const QString& text);
// The date-time as "yyyy/mm/dd hh-nn-ss".
QString FormatExpiryText(const QDateTime& time);
// True when `expiry`, truncated to its minute, lies before `now` truncated
// to its minute. Compares the wall-clock fields, not instants.
bool ExpiryPassed(const QDateTime& expiry, const QDateTime& now);

// Log levels of the refusal lines of VerifyPeerSigned. The client logs them
// as Client() gives; the chat plugin with Chat(). Success lines are level 0.
struct PeerCheckLevels {
  qint32 dataExpired = 0;      // "データの有効期限切れです"
  qint32 keyExpired = 0;       // "鍵の有効期限切れです"
  qint32 keyDecode = 0;        // "BASE64デコードに失敗しました" (key signature, public key)
  qint32 keySignature = 0;     // "鍵署名の検証失敗"
  qint32 dataDecode = 3;       // "BASE64デコードに失敗しました" (data signature)
  qint32 dataSignature = 3;    // "データ署名の検証失敗"

  static PeerCheckLevels Client() { return {}; }
  static PeerCheckLevels Chat() { return {2, 2, 3, 3, 3, 3}; }
};

// One node's signed-data state: the server keys it trusts and the history of
// server-signed items. Create one per node; there is no shared state.
class SignedData {
 public:
  static constexpr int kHistorySize = 100;

  // Kinds of server-signed items.
  static constexpr int kQuake = 1;
  static constexpr int kTsunami = 2;
  static constexpr int kAreaPeers = 3;

  // The node supplies settings (skip flags), log, protocol clock and the
  // peer key. Key texts that do not parse make every check against them
  // fail; they never crash.
  SignedData(NodeContext& node, ServerKeys keys);

  // Intake of a server-signed item of `kind` (1 quake, 2 tsunami, 3 area
  // peer counts): false for a duplicate (signature or data digest already in
  // the 100-entry history; nothing logged), otherwise the item is recorded
  // and VerifyServerSigned decides, with skip = Quake_NoVerify for kind 1,
  // Tidal_NoVefiry for kind 2, 0 otherwise.
  // A recorded item that failed its checks still stops exact copies of
  // itself (same signature and same data) without a second verification,
  // but it does not stop a different item that shares only its signature or
  // only its data: a damaged or forged copy cannot block the genuine one.
  // Throws ExpiryTextError (see above).
  bool AcceptServerItem(const QString& signature, const QString& expiryText, const QString& data,
                        int kind);

  // Expiry test, then (unless skip is 1) the server data key's signature.
  // Throws ExpiryTextError.
  bool VerifyServerSigned(const QString& signature, const QString& expiryText,
                          const QString& data, int skip);

  // Data expiry, then (unless skip is 1) key expiry, the server peer-key
  // key's signature over the peer key and the peer key's signature over the
  // data. Throws ExpiryTextError for a data expiry (or, when checked, a key
  // expiry) that is not a date.
  bool VerifyPeerSigned(const QString& publicKey, const QString& keySignature,
                        const QString& keyExpiryText, const QString& dataSignature,
                        const QString& dataExpiryText, const QString& data, int skip);

  // Signs the user's own data with the node's peer key: returns
  // signature + ":" + expiry, the expiry being ProtocolNow() plus one minute
  // as an expiry text. The signature is the base64 text of the signature
  // (64 characters with a 384-bit key) or, when the private key text is
  // "Unknown", a decimal RandomToken; receivers reject the latter. Should
  // the key text not sign (garbage), the token is used too and
  // "署名の作成に失敗しました" is logged (level 3).
  QString SignOwnReport(const QString& data, QString* signature = nullptr);

  void SetPeerCheckLevels(const PeerCheckLevels& levels) { levels_ = levels; }
  // Replaces the random source of the tokens (tests make it reproducible).
  void SetUniformSource(crypto::UniformSource source) { uniform_ = std::move(source); }

  const ServerKeys& Keys() const { return keys_; }

 private:
  struct HistoryEntry {
    QString signature;
    QString digest;
    bool passed = false;  // the item passed its checks
  };

  bool Duplicate(const QString& signature, const QString& digest) const;
  bool VerifyServer(const QString& signature, const QString& expiryText,
                    const QByteArray& dataDigest, int skip);
  // A level-0 line ending in an elapsed-time figure.
  void LogFigure(const QString& text);
  void Log(const QString& text, qint32 level) { node_.WriteLog(text, level); }

  NodeContext& node_;
  ServerKeys keys_;
  std::optional<crypto::PublicKey> dataKey_;
  std::optional<crypto::PublicKey> peerKeyKey_;
  std::array<HistoryEntry, kHistorySize> history_;  // index 0 the newest
  PeerCheckLevels levels_;
  crypto::UniformSource uniform_;
};

}  // namespace orva
