#include "devnet/server/item_signer.h"

#include <QFile>

#include "client/signed/crypto.h"
#include "platform/cp932.h"

namespace orva::devnet {
namespace {

std::optional<crypto::PrivateKey> ReadKey(const QString& path, QStringList* problems) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    problems->append(path + QStringLiteral(": ") + f.errorString());
    return std::nullopt;
  }
  auto key = crypto::PrivateKey::FromText(f.readAll().trimmed());
  if (!key) problems->append(path + QStringLiteral(": not a private key"));
  return key;
}

class KeyFileSigner : public ItemSigner {
 public:
  KeyFileSigner(std::optional<crypto::PrivateKey> data, std::optional<crypto::PrivateKey> peerKey)
      : data_(std::move(data)), peerKey_(std::move(peerKey)) {}

  bool CanSignData() const override { return data_.has_value(); }
  bool CanGrantKeys() const override { return peerKey_.has_value(); }

  std::optional<QString> SignData(const QString& data, const QString& expiryText) override {
    if (!data_) return std::nullopt;
    const QByteArray message = crypto::ConcatBytes(cp932::fromUnicode(expiryText),
                                                   crypto::Md5(cp932::fromUnicode(data)));
    const QByteArray signature = data_->Sign(message);
    if (signature.size() != crypto::kServerSignatureBytes) return std::nullopt;
    return QString::fromLatin1(crypto::Base64Encode(signature));
  }

  std::optional<PeerKeyGrant> GrantPeerKey(const QString& expiryText) override {
    if (!peerKey_) return std::nullopt;
    const auto pair = crypto::GeneratePeerKey();
    if (!pair) return std::nullopt;
    const auto der = crypto::Base64Decode(pair->publicKeyText);
    if (!der) return std::nullopt;
    const QByteArray signature =
        peerKey_->Sign(crypto::ConcatBytes(*der, cp932::fromUnicode(expiryText)));
    if (signature.size() != crypto::kServerSignatureBytes) return std::nullopt;
    return PeerKeyGrant{QString::fromLatin1(pair->privateKeyText),
                        QString::fromLatin1(pair->publicKeyText), expiryText,
                        QString::fromLatin1(crypto::Base64Encode(signature))};
  }

 private:
  std::optional<crypto::PrivateKey> data_;
  std::optional<crypto::PrivateKey> peerKey_;
};

}  // namespace

std::unique_ptr<ItemSigner> ItemSigner::Load(const QString& keyDir, QString* problems) {
  QStringList list;
  auto data = ReadKey(keyDir + QStringLiteral("/server_data.key"), &list);
  auto peerKey = ReadKey(keyDir + QStringLiteral("/server_peerkey.key"), &list);
  if (problems) *problems = list.join(QStringLiteral("; "));
  return std::make_unique<KeyFileSigner>(std::move(data), std::move(peerKey));
}

}  // namespace orva::devnet
