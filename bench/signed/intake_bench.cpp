// Intake of server-signed items (AcceptServerItem on items never seen
// before, signature verification included) against a bare OpenSSL verify
// loop with a key of the same size, in the same run. Prints the ratio.
#include <benchmark/benchmark.h>

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <QString>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "client/signed/signed_data.h"
#include "platform/cp932.h"

namespace {

struct Item {
  QString signature;
  QString expiry;
  QString data;
  QByteArray signatureBytes;  // for the bare loop
  QByteArray message;
};

// Far more items than the history holds, so every one is fresh when its turn
// comes again.
constexpr int kItems = 4096;

struct Fixture {
  orva::crypto::KeyPair key;
  std::vector<Item> items;

  Fixture() {
    key = *orva::crypto::GenerateServerKey();
    const auto privateKey = *orva::crypto::PrivateKey::FromText(key.privateKeyText);
    const QString expiry = QStringLiteral("2099/12/31 23-59-00");
    items.reserve(kItems);
    for (int i = 0; i < kItems; ++i) {
      Item item;
      item.expiry = expiry;
      item.data = QStringLiteral("2026/12/11 11-58-00,1,震度３,東京都２３区,M4.2,%1").arg(i);
      item.message = orva::crypto::ConcatBytes(
          orva::cp932::fromUnicode(expiry), orva::crypto::Md5(orva::cp932::fromUnicode(item.data)));
      item.signatureBytes = privateKey.Sign(item.message);
      item.signature = QString::fromLatin1(orva::crypto::Base64Encode(item.signatureBytes));
      items.push_back(std::move(item));
    }
  }
};

const Fixture& Data() {
  static const Fixture fixture;
  return fixture;
}

void BM_AcceptServerItem(benchmark::State& state) {
  const Fixture& f = Data();
  orva::NodeContext node;
  node.log.SetLevel(1);
  orva::SignedData signedData(node, orva::ServerKeys{QString::fromLatin1(f.key.publicKeyText), {}});
  size_t next = 0;
  for (auto _ : state) {
    const Item& item = f.items[next];
    next = (next + 1) % f.items.size();
    const bool accepted = signedData.AcceptServerItem(item.signature, item.expiry, item.data, 1);
    if (!accepted) {
      state.SkipWithError("item refused");
      break;
    }
    benchmark::DoNotOptimize(accepted);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AcceptServerItem);

// The same signatures checked with OpenSSL alone: key parsed once, one
// digest-verify per item over the prepared message.
void BM_BareOpensslVerify(benchmark::State& state) {
  const Fixture& f = Data();
  const QByteArray der = QByteArray::fromBase64(f.key.publicKeyText);
  const auto* p = reinterpret_cast<const unsigned char*>(der.constData());
  EVP_PKEY* key = d2i_PUBKEY(nullptr, &p, static_cast<long>(der.size()));
  size_t next = 0;
  for (auto _ : state) {
    const Item& item = f.items[next];
    next = (next + 1) % f.items.size();
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    const bool ok =
        EVP_DigestVerifyInit(ctx, nullptr, EVP_sha1(), nullptr, key) == 1 &&
        EVP_DigestVerify(ctx, reinterpret_cast<const unsigned char*>(item.signatureBytes.constData()),
                         static_cast<size_t>(item.signatureBytes.size()),
                         reinterpret_cast<const unsigned char*>(item.message.constData()),
                         static_cast<size_t>(item.message.size())) == 1;
    EVP_MD_CTX_free(ctx);
    if (!ok) {
      state.SkipWithError("verify failed");
      break;
    }
    benchmark::DoNotOptimize(ok);
  }
  EVP_PKEY_free(key);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareOpensslVerify);

// Passes every run on to the console and keeps the items-per-second figures.
class Collector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const auto it = run.counters.find("items_per_second");
      if (it != run.counters.end()) rates[run.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Data();  // keys and items are made before any timing starts
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  const auto intake = collector.rates.find("BM_AcceptServerItem");
  const auto bare = collector.rates.find("BM_BareOpensslVerify");
  if (intake != collector.rates.end() && bare != collector.rates.end() && bare->second > 0) {
    std::printf("AcceptServerItem: %.0f items/s; bare OpenSSL verify (1024-bit): %.0f items/s; "
                "ratio %.3f\n",
                intake->second, bare->second, intake->second / bare->second);
  }
  return 0;
}
