#include "client/signed/crypto.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <array>
#include <cmath>
#include <random>

namespace orva::crypto {

namespace {

// Owning handles for the library's objects.
struct PkeyFree { void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); } };
struct PkeyCtxFree { void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); } };
struct MdCtxFree { void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); } };
struct BnFree { void operator()(BIGNUM* p) const { BN_clear_free(p); } };
struct BnCtxFree { void operator()(BN_CTX* p) const { BN_CTX_free(p); } };
struct ParamBldFree { void operator()(OSSL_PARAM_BLD* p) const { OSSL_PARAM_BLD_free(p); } };
struct ParamFree { void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); } };
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;
using Bn = std::unique_ptr<BIGNUM, BnFree>;
using BnCtx = std::unique_ptr<BN_CTX, BnCtxFree>;
using ParamBld = std::unique_ptr<OSSL_PARAM_BLD, ParamBldFree>;
using Params = std::unique_ptr<OSSL_PARAM, ParamFree>;

// The library records the reasons of a failure in a per-thread queue; a
// refused input is an ordinary outcome here, so the queue is emptied after
// every operation that may fail.
struct ClearErrors {
  ~ClearErrors() { ERR_clear_error(); }
};

const EVP_MD* DigestForMode(int mode) {
  return mode == kModeSha1 ? EVP_sha1() : nullptr;
}

bool IsRsa(const EVP_PKEY* key) {
  return key != nullptr && EVP_PKEY_get_base_id(key) == EVP_PKEY_RSA;
}

constexpr std::array<qint8, 256> MakeBase64Table() {
  std::array<qint8, 256> table{};
  for (auto& v : table) v = -1;
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<qint8>(i);
  return table;
}
constexpr std::array<qint8, 256> kBase64Values = MakeBase64Table();

int Base64Value(char c) { return kBase64Values[static_cast<unsigned char>(c)]; }

QByteArray PublicDer(EVP_PKEY* key) {
  ClearErrors clear;
  const int length = i2d_PUBKEY(key, nullptr);
  if (length <= 0) return {};
  QByteArray der(length, '\0');
  auto* out = reinterpret_cast<unsigned char*>(der.data());
  if (i2d_PUBKEY(key, &out) != length) return {};
  return der;
}

QByteArray PrivateDer(EVP_PKEY* key) {
  ClearErrors clear;
  const int length = i2d_PrivateKey(key, nullptr);
  if (length <= 0) return {};
  QByteArray der(length, '\0');
  auto* out = reinterpret_cast<unsigned char*>(der.data());
  if (i2d_PrivateKey(key, &out) != length) return {};
  return der;
}

std::optional<KeyPair> PairOf(EVP_PKEY* key) {
  KeyPair pair{Base64Encode(PrivateDer(key)), Base64Encode(PublicDer(key))};
  if (pair.privateKeyText.isEmpty() || pair.publicKeyText.isEmpty()) return std::nullopt;
  return pair;
}

// Key generator of the library: 512 bits and more.
Pkey GenerateWithLibrary(int bits, unsigned long exponent) {
  ClearErrors clear;
  PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  Bn e(BN_new());
  if (!ctx || !e || BN_set_word(e.get(), exponent) != 1) return nullptr;
  if (EVP_PKEY_keygen_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), bits) != 1 ||
      EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx.get(), e.get()) != 1) {
    return nullptr;
  }
  EVP_PKEY* key = nullptr;
  if (EVP_PKEY_generate(ctx.get(), &key) != 1) return nullptr;
  return Pkey(key);
}

// Small keys from two generated primes of bits/2 each, assembled with
// EVP_PKEY_fromdata. The primes have their two top bits set, so n has
// exactly `bits` bits; the loop still checks and retries.
Pkey GenerateFromPrimes(int bits, unsigned long exponent) {
  ClearErrors clear;
  BnCtx bnCtx(BN_CTX_new());
  if (!bnCtx) return nullptr;
  Bn e(BN_new()), p(BN_new()), q(BN_new()), n(BN_new()), d(BN_new());
  Bn p1(BN_new()), q1(BN_new()), lambda(BN_new()), g(BN_new()), phi(BN_new());
  Bn dp(BN_new()), dq(BN_new()), qinv(BN_new());
  for (BIGNUM* b : {e.get(), p.get(), q.get(), n.get(), d.get(), p1.get(), q1.get(), lambda.get(),
                    g.get(), phi.get(), dp.get(), dq.get(), qinv.get()}) {
    if (b == nullptr) return nullptr;
  }
  if (BN_set_word(e.get(), exponent) != 1) return nullptr;
  const int half = bits / 2;
  bool found = false;
  for (int attempt = 0; attempt < 64 && !found; ++attempt) {
    if (BN_generate_prime_ex2(p.get(), half, 0, nullptr, nullptr, nullptr, bnCtx.get()) != 1 ||
        BN_generate_prime_ex2(q.get(), half, 0, nullptr, nullptr, nullptr, bnCtx.get()) != 1) {
      return nullptr;
    }
    if (BN_cmp(p.get(), q.get()) == 0) continue;
    if (BN_cmp(p.get(), q.get()) < 0) BN_swap(p.get(), q.get());  // p > q, as PKCS#1 keys usually are
    if (BN_mul(n.get(), p.get(), q.get(), bnCtx.get()) != 1) return nullptr;
    if (BN_num_bits(n.get()) != bits) continue;
    if (BN_sub(p1.get(), p.get(), BN_value_one()) != 1 ||
        BN_sub(q1.get(), q.get(), BN_value_one()) != 1) {
      return nullptr;
    }
    // gcd(e, p-1) = gcd(e, q-1) = 1, or e has no inverse.
    if (BN_gcd(g.get(), e.get(), p1.get(), bnCtx.get()) != 1 || !BN_is_one(g.get())) continue;
    if (BN_gcd(g.get(), e.get(), q1.get(), bnCtx.get()) != 1 || !BN_is_one(g.get())) continue;
    // d = e^-1 mod lcm(p-1, q-1).
    if (BN_mul(phi.get(), p1.get(), q1.get(), bnCtx.get()) != 1 ||
        BN_gcd(g.get(), p1.get(), q1.get(), bnCtx.get()) != 1 ||
        BN_div(lambda.get(), nullptr, phi.get(), g.get(), bnCtx.get()) != 1 ||
        BN_mod_inverse(d.get(), e.get(), lambda.get(), bnCtx.get()) == nullptr) {
      continue;
    }
    if (BN_mod(dp.get(), d.get(), p1.get(), bnCtx.get()) != 1 ||
        BN_mod(dq.get(), d.get(), q1.get(), bnCtx.get()) != 1 ||
        BN_mod_inverse(qinv.get(), q.get(), p.get(), bnCtx.get()) == nullptr) {
      continue;
    }
    found = true;
  }
  if (!found) return nullptr;

  ParamBld bld(OSSL_PARAM_BLD_new());
  if (!bld ||
      OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_D, d.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_FACTOR1, p.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_FACTOR2, q.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_EXPONENT1, dp.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_EXPONENT2, dq.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_COEFFICIENT1, qinv.get()) != 1) {
    return nullptr;
  }
  Params params(OSSL_PARAM_BLD_to_param(bld.get()));
  PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1) return nullptr;
  EVP_PKEY* key = nullptr;
  if (EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_KEYPAIR, params.get()) != 1) return nullptr;
  return Pkey(key);
}

}  // namespace

// ---------------------------------------------------------------- base64

std::optional<QByteArray> Base64Decode(const QByteArray& text, qsizetype capacity) {
  QByteArray out(text.size() / 4 * 3 + 3, '\0');
  char* o = out.data();
  quint32 group = 0;
  int inGroup = 0;   // characters of the current group of four
  int padding = 0;   // "=" seen; 3 once a padded group is closed
  for (const char c : text) {
    if (c == '\r' || c == '\n') continue;
    if (c == '=') {
      // "=" only in the third or fourth place of a group.
      if (inGroup < 2) return std::nullopt;
      ++padding;
      ++inGroup;
    } else {
      const int value = Base64Value(c);
      if (value < 0 || padding > 0) return std::nullopt;  // nothing but "=" after "="
      group = (group << 6) | static_cast<quint32>(value);
      ++inGroup;
    }
    if (inGroup == 4) {
      const int dataChars = 4 - padding;
      group <<= 6 * padding;
      *o++ = static_cast<char>((group >> 16) & 0xFF);
      if (dataChars >= 3) *o++ = static_cast<char>((group >> 8) & 0xFF);
      if (dataChars >= 4) *o++ = static_cast<char>(group & 0xFF);
      group = 0;
      inGroup = 0;
      if (padding > 0) padding = 3;  // the group is closed; nothing may follow
    }
  }
  if (inGroup != 0) return std::nullopt;
  out.truncate(o - out.constData());
  if (capacity >= 0 && out.size() > capacity) return std::nullopt;
  return out;
}

qsizetype Base64DecryptText(QByteArray& out, qsizetype capacity, const QByteArray& text) {
  auto decoded = Base64Decode(text, capacity);
  if (!decoded) return -1;
  out = std::move(*decoded);
  return out.size();
}

QByteArray Base64Encode(const QByteArray& bytes) {
  if (bytes.isEmpty()) return {};
  QByteArray out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                      reinterpret_cast<const unsigned char*>(bytes.constData()),
                                      static_cast<int>(bytes.size()));
  out.resize(written);
  return out;
}

// -------------------------------------------------------------- digests

QByteArray Md5(const QByteArray& bytes) {
  ClearErrors clear;
  QByteArray digest(kDigestBytes, '\0');
  unsigned int length = 0;
  if (EVP_Digest(bytes.constData(), static_cast<size_t>(bytes.size()),
                 reinterpret_cast<unsigned char*>(digest.data()), &length, EVP_md5(),
                 nullptr) != 1 ||
      length != kDigestBytes) {
    return {};
  }
  return digest;
}

// ------------------------------------------------- the system's own helpers

QByteArray ConcatBytes(const QByteArray& a, const QByteArray& b) { return a + b; }

QByteArray CleanBase64Text(const QByteArray& buffer) {
  QByteArray text = buffer;
  text.replace('\n', QByteArray());
  const qsizetype nul = text.indexOf('\0');
  if (nul >= 0) text.truncate(nul);
  return text;
}

QByteArray DigestText(const QByteArray& bytes) { return CleanBase64Text(Base64Encode(Md5(bytes))); }

UniformSource MakeUniformSource(quint64 seed) {
  auto engine = std::make_shared<std::mt19937_64>(seed);
  // 53 random bits scaled into [0, 1); never 1.
  return [engine] { return static_cast<double>((*engine)() >> 11) * 0x1.0p-53; };
}

UniformSource MakeUniformSource() {
  std::random_device device;
  const quint64 seed = (static_cast<quint64>(device()) << 32) ^ device();
  return MakeUniformSource(seed);
}

QByteArray RandomToken(const UniformSource& uniform) {
  auto draw = [&uniform]() -> qint64 {
    double u = uniform ? uniform() : 0.0;
    if (!(u >= 0.0)) u = 0.0;  // also catches NaN
    if (u >= 1.0) u = std::nextafter(1.0, 0.0);
    return static_cast<qint64>(std::floor(u * 2147483640.0));
  };
  const qint64 first = draw();
  const qint64 second = draw();
  return QByteArray::number(first) + QByteArray::number(second);
}

// ------------------------------------------------------------- RSA keys

struct PublicKey::Impl {
  Pkey key;
};
struct PrivateKey::Impl {
  Pkey key;
};

std::optional<PublicKey> PublicKey::FromDer(const QByteArray& der) {
  ClearErrors clear;
  if (der.isEmpty()) return std::nullopt;
  const auto* p = reinterpret_cast<const unsigned char*>(der.constData());
  const auto* end = p + der.size();
  Pkey key(d2i_PUBKEY(nullptr, &p, static_cast<long>(der.size())));
  if (!IsRsa(key.get()) || p != end) return std::nullopt;
  auto impl = std::make_shared<Impl>();
  impl->key = std::move(key);
  return PublicKey(std::move(impl));
}

std::optional<PublicKey> PublicKey::FromText(const QByteArray& publicKeyText) {
  auto der = Base64Decode(publicKeyText);
  if (!der) return std::nullopt;
  return FromDer(*der);
}

bool PublicKey::Verify(const QByteArray& signature, const QByteArray& message, int mode) const {
  ClearErrors clear;
  const EVP_MD* md = DigestForMode(mode);
  if (md == nullptr || !impl_) return false;
  if (signature.size() != EVP_PKEY_get_size(impl_->key.get())) return false;
  MdCtx ctx(EVP_MD_CTX_new());
  EVP_PKEY_CTX* pctx = nullptr;
  if (!ctx || EVP_DigestVerifyInit(ctx.get(), &pctx, md, nullptr, impl_->key.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) != 1) {
    return false;
  }
  return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                          static_cast<size_t>(signature.size()),
                          reinterpret_cast<const unsigned char*>(message.constData()),
                          static_cast<size_t>(message.size())) == 1;
}

int PublicKey::Bits() const { return impl_ ? EVP_PKEY_get_bits(impl_->key.get()) : 0; }
QByteArray PublicKey::Der() const { return impl_ ? PublicDer(impl_->key.get()) : QByteArray(); }
QByteArray PublicKey::Text() const { return Base64Encode(Der()); }

std::optional<PrivateKey> PrivateKey::FromText(const QByteArray& privateKeyText) {
  ClearErrors clear;
  auto der = Base64Decode(privateKeyText);
  if (!der || der->isEmpty()) return std::nullopt;
  const auto* start = reinterpret_cast<const unsigned char*>(der->constData());
  const auto* p = start;
  Pkey key(d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &p, static_cast<long>(der->size())));
  if (!key) {
    p = start;
    key.reset(d2i_AutoPrivateKey(nullptr, &p, static_cast<long>(der->size())));
  }
  if (!IsRsa(key.get())) return std::nullopt;
  auto impl = std::make_shared<Impl>();
  impl->key = std::move(key);
  return PrivateKey(std::move(impl));
}

QByteArray PrivateKey::Sign(const QByteArray& message, int mode) const {
  ClearErrors clear;
  const EVP_MD* md = DigestForMode(mode);
  if (md == nullptr || !impl_) return {};
  MdCtx ctx(EVP_MD_CTX_new());
  EVP_PKEY_CTX* pctx = nullptr;
  if (!ctx || EVP_DigestSignInit(ctx.get(), &pctx, md, nullptr, impl_->key.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) != 1) {
    return {};
  }
  const auto* msg = reinterpret_cast<const unsigned char*>(message.constData());
  const auto msgLength = static_cast<size_t>(message.size());
  size_t length = 0;
  if (EVP_DigestSign(ctx.get(), nullptr, &length, msg, msgLength) != 1 || length == 0) return {};
  QByteArray signature(static_cast<qsizetype>(length), '\0');
  if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, msg,
                     msgLength) != 1) {
    return {};
  }
  signature.resize(static_cast<qsizetype>(length));
  return signature;
}

int PrivateKey::Bits() const { return impl_ ? EVP_PKEY_get_bits(impl_->key.get()) : 0; }
QByteArray PrivateKey::Text() const {
  return impl_ ? Base64Encode(PrivateDer(impl_->key.get())) : QByteArray();
}
QByteArray PrivateKey::PublicKeyText() const {
  return impl_ ? Base64Encode(PublicDer(impl_->key.get())) : QByteArray();
}

bool Verify(const QByteArray& signature, const QByteArray& message,
            const QByteArray& publicKeyText, int mode) {
  const auto key = PublicKey::FromText(publicKeyText);
  return key && key->Verify(signature, message, mode);
}

QByteArray Sign(const QByteArray& message, const QByteArray& privateKeyText,
                const QByteArray& /*seed*/, int mode) {
  const auto key = PrivateKey::FromText(privateKeyText);
  return key ? key->Sign(message, mode) : QByteArray();
}

std::optional<KeyPair> GenerateKeyPair(int bits, unsigned long exponent) {
  if (bits < 64 || bits % 2 != 0 || exponent < 3 || exponent % 2 == 0) return std::nullopt;
  Pkey key = bits >= 512 ? GenerateWithLibrary(bits, exponent) : GenerateFromPrimes(bits, exponent);
  if (!key) return std::nullopt;
  return PairOf(key.get());
}

std::optional<KeyPair> GeneratePeerKey() { return GenerateKeyPair(kPeerKeyBits, kPeerKeyExponent); }

std::optional<KeyPair> GenerateServerKey() {
  return GenerateKeyPair(kServerKeyBits, kServerKeyExponent);
}

}  // namespace orva::crypto
