#pragma once
// Byte-level cryptography of the network, on OpenSSL 3 libcrypto: base64,
// MD5, RSASSA-PKCS1-v1_5 signatures, and the small byte operations built on
// them. Everything here works on bytes; callers convert text to code page
// 932 (orva::cp932::fromUnicode) before handing it in.
//
// Key texts
//   public key:  base64 (standard alphabet, "=" padding, no line breaks) of a
//                DER SubjectPublicKeyInfo holding an RSA key. A 1024-bit key
//                with exponent 17 gives exactly 216 characters.
//   private key: base64 of a DER PKCS#1 RSAPrivateKey (a PKCS#8 key is taken
//                too when reading).
//
// Signature mode
//   Every call of the network uses mode 3 (kModeSha1): PKCS#1 v1.5 with the
//   SHA-1 DigestInfo. SHA-1 is the one common digest that fits a 384-bit peer
//   key besides MD5, and it is what the network's signers use. Other mode
//   values are refused (verify false, sign empty).
//
// Nothing here throws or crashes on bad input: undecodable base64, garbage
// key texts and signatures of the wrong length give -1 / nullopt / false /
// an empty result. There is no process-wide mutable state; every random
// source is handed in by the caller.
#include <QByteArray>

#include <functional>
#include <memory>
#include <optional>

namespace orva::crypto {

constexpr int kModeSha1 = 3;

// Bits of the network's key sizes.
constexpr int kServerKeyBits = 1024;
constexpr int kPeerKeyBits = 384;
constexpr unsigned long kServerKeyExponent = 17;
constexpr unsigned long kPeerKeyExponent = 65537;

// Fixed buffer sizes the network's formats rely on.
constexpr int kDigestBytes = 16;          // MD5
constexpr int kServerSignatureBytes = 128;
constexpr int kPeerSignatureBytes = 48;
constexpr int kPeerPublicKeyDerMax = 111; // decoded peer public key, at most

// ---------------------------------------------------------------- base64

// Decodes standard base64 with "=" padding; CR and LF anywhere are skipped.
// Returns the bytes, or nullopt when the text does not decode (a character
// outside the alphabet, misplaced padding, a length that is not a multiple
// of four) or when the result would exceed `capacity` bytes (capacity < 0:
// no limit). An empty text decodes to zero bytes.
std::optional<QByteArray> Base64Decode(const QByteArray& text, qsizetype capacity = -1);

// The same with the library's result convention: number of bytes written to
// `out` (resized to it), or -1 when the text does not decode or does not fit.
qsizetype Base64DecryptText(QByteArray& out, qsizetype capacity, const QByteArray& text);

// Standard base64 with "=" padding and no line breaks.
QByteArray Base64Encode(const QByteArray& bytes);

// -------------------------------------------------------------- digests

// MD5 (RFC 1321), 16 bytes.
QByteArray Md5(const QByteArray& bytes);

// ------------------------------------------------- the system's own helpers

// A followed by B.
QByteArray ConcatBytes(const QByteArray& a, const QByteArray& b);

// Encoder output as a text: every LF removed, then cut before the first NUL.
QByteArray CleanBase64Text(const QByteArray& buffer);

// Base64 of the MD5 of `bytes`: 24 characters ending in "==". Callers pass
// the code page 932 bytes of a text, never its wide characters.
QByteArray DigestText(const QByteArray& bytes);

// Uniform source of values in [0, 1).
using UniformSource = std::function<double()>;

// A source drawing from a std::mt19937_64 seeded from std::random_device;
// each call of this function makes an independent source.
UniformSource MakeUniformSource();
// A reproducible source for tests.
UniformSource MakeUniformSource(quint64 seed);

// Two integers, each floor(u * 2147483640) for a draw u of `uniform` (so
// always below 2147483640), in decimal without sign, joined, the first drawn
// first: 2 to 20 digits. Not a secret; it stands in for a signature where
// no key is held and feeds the signing seed.
QByteArray RandomToken(const UniformSource& uniform);

// ------------------------------------------------------------- RSA keys

struct KeyPair {
  QByteArray privateKeyText;  // base64 DER PKCS#1 RSAPrivateKey
  QByteArray publicKeyText;   // base64 DER SubjectPublicKeyInfo
};

// A parsed RSA public key. Parse once, verify many times.
class PublicKey {
 public:
  // nullopt when the text is not base64 of an RSA SubjectPublicKeyInfo.
  static std::optional<PublicKey> FromText(const QByteArray& publicKeyText);
  // The same from the DER bytes.
  static std::optional<PublicKey> FromDer(const QByteArray& der);

  // RSASSA-PKCS1-v1_5 verification; false for a wrong mode, a signature of
  // the wrong length or an invalid signature.
  bool Verify(const QByteArray& signature, const QByteArray& message, int mode = kModeSha1) const;

  int Bits() const;
  QByteArray Text() const;  // base64 DER SubjectPublicKeyInfo
  QByteArray Der() const;

 private:
  struct Impl;
  explicit PublicKey(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
  std::shared_ptr<Impl> impl_;
};

// A parsed RSA private key.
class PrivateKey {
 public:
  // nullopt when the text is not base64 of an RSA private key.
  static std::optional<PrivateKey> FromText(const QByteArray& privateKeyText);

  // RSASSA-PKCS1-v1_5 signature (as many bytes as the modulus); empty on a
  // wrong mode or a failure of the library. Deterministic: the same message
  // and key always give the same signature.
  QByteArray Sign(const QByteArray& message, int mode = kModeSha1) const;

  int Bits() const;
  QByteArray Text() const;           // base64 DER PKCS#1 RSAPrivateKey
  QByteArray PublicKeyText() const;  // base64 DER SubjectPublicKeyInfo

 private:
  struct Impl;
  explicit PrivateKey(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
  std::shared_ptr<Impl> impl_;
};

// One-shot forms, as the programs call them (key texts parsed per call).
// Verify: true when `signature` is a valid signature of `message` under the
// public key text. Sign: the signature, or empty when the key text is not a
// private key. The seed text is accepted for the callers' sake and not used:
// PKCS#1 v1.5 signatures need no randomness.
bool Verify(const QByteArray& signature, const QByteArray& message,
            const QByteArray& publicKeyText, int mode = kModeSha1);
QByteArray Sign(const QByteArray& message, const QByteArray& privateKeyText,
                const QByteArray& seed = {}, int mode = kModeSha1);

// A fresh RSA key pair of `bits` with public exponent `exponent`. Sizes of
// 512 bits and more go through the library's key generator; smaller ones
// (which the generator refuses) are built from two generated primes of
// bits/2 each. nullopt on failure or on bits < 64, odd bits or an even
// exponent.
std::optional<KeyPair> GenerateKeyPair(int bits, unsigned long exponent);

// A 384-bit peer key (exponent 65537), as the server allocates them.
std::optional<KeyPair> GeneratePeerKey();
// A 1024-bit key with exponent 17, the size of the server's keys.
std::optional<KeyPair> GenerateServerKey();

}  // namespace orva::crypto
