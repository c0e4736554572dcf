#pragma once
// Signing with the network's server keys: the data key signs relayed items,
// the peer-key key signs the peer keys handed out at join.
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

namespace orva::devnet {

struct PeerKeyGrant {
  QString privateKey;  // as the clients keep and return it
  QString publicKey;   // base64 DER SubjectPublicKeyInfo
  QString expiryText;
  QString signature;   // base64, over DER(public key) || bytes(expiryText)
};

class ItemSigner {
 public:
  virtual ~ItemSigner() = default;
  // Reads server_data.key and server_peerkey.key from `keyDir`. Missing or
  // unreadable keys leave the matching ability off and are described in
  // `problems`.
  static std::unique_ptr<ItemSigner> Load(const QString& keyDir, QString* problems);

  virtual bool CanSignData() const = 0;
  virtual bool CanGrantKeys() const = 0;
  // Base64 signature over bytes(expiryText) || MD5(bytes(data)).
  virtual std::optional<QString> SignData(const QString& data, const QString& expiryText) = 0;
  // A fresh 384-bit peer key, signed with the peer-key key.
  virtual std::optional<PeerKeyGrant> GrantPeerKey(const QString& expiryText) = 0;
};

}  // namespace orva::devnet
