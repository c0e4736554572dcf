// Propagation simulator: N client nodes (default 200, up to 1000) in one
// process, each on its own 127.x.y.z address with real peer links, join
// through an in-process development server; once the links have settled
// the server publishes one signed quake bulletin into the network at one
// node. For every node the program notes when it accepted the bulletin and
// the hop count it came with, and prints the figures.
//
//   bench_propagation [N] [--batch B] [--full-total]
//
// --full-total gives every node the final network size as its total peer
// count (hop limit N/20 + 5); by default each node keeps the total that the
// server reported when it joined, as a real network does.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#if defined(__unix__)
#include <sys/resource.h>
#endif

#include "client/core/client_node.h"
#include "client/core/client_wiring.h"
#include "client/network/join_sequence.h"
#include "client/network/peer_links.h"
#include "client/network/peer_relay.h"
#include "client/network/server_link.h"
#include "devnet/server/network_server.h"
#include "platform/timing.h"

namespace {

using namespace orva;

void RaiseOpenFileLimit() {
#if defined(__unix__)
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
#endif
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    ProcessEventsAndSleep(1);
  }
  return true;
}

// One client node as the client program assembles it (ClientWiring), on
// its own address, without start-up: no settings file, lock or screens.
struct SimNode {
  SimNode(const QString& addr, const QString& server, quint16 serverPort)
      : address(addr), node(Options(addr, server, serverPort)), wiring(node) {
    Settings& s = node.Context().settings;
    s.Server_Timeout = 5000;
    s.Peer_Timeout = 2000;
    s.Port_Listen = 1;
    s.Use_UPnP = 0;
    s.Quake_Sound = 0;
    s.Tidal_Sound = 0;
    node.Context().log.SetLevel(5);  // quiet
    {
      QTcpServer probe;
      probe.listen(QHostAddress(addr), 0);
      s.Listen_Port = probe.serverPort();
    }
    wiring.Peers().CreateSlots();
    PeerRelay& relay = wiring.Relay();
    // Count every quake line that arrives, accepted or not.
    wiring.Peers().SetLineHandler(
        [&relay, this](int code, qint64 hops, const QString& rest, const QStringList& f, int slot) {
          if (code == 551) ++quakeLines;
          relay.DispatchPeerItem(code, hops, rest, f, slot);
        });
    relay.Hooks().itemAccepted = [this](int code, qint64 hops, const QString&, int) {
      if (code != 551 || acceptedAtMs >= 0) return;
      acceptedAtMs = clock->elapsed();
      acceptedHops = hops;
    };
  }
  static NodeOptions Options(const QString& addr, const QString& server, quint16 serverPort) {
    NodeOptions o;
    o.programFolder = QDir::tempPath();
    o.headless = true;
    o.singleInstance = false;
    o.servers = {server};
    o.serverPort = serverPort;
    o.bindAddress = addr;
    return o;
  }
  void Join() { wiring.Server().ConnectServer(kPurposeJoin); }
  void Echo() { wiring.Server().ConnectServer(kPurposeEcho); }
  NetworkState& Net() { return node.Context().net; }
  bool JoinDone() { return Net().linkPurpose == kPurposeNone; }
  int Links() {
    int n = 0;
    for (int s = 1; s <= wiring.Peers().SlotCount(); ++s) n += wiring.Peers().IsComplete(s) ? 1 : 0;
    return n;
  }

  QString address;
  ClientNode node;
  ClientWiring wiring;
  const QElapsedTimer* clock = nullptr;
  qint64 acceptedAtMs = -1;
  qint64 acceptedHops = 0;
  int quakeLines = 0;
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5));
  return v[i];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  RaiseOpenFileLimit();
  int n = 200;
  int batch = 10;
  bool fullTotal = false;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == QStringLiteral("--batch") && i + 1 < args.size()) batch = args[++i].toInt();
    else if (args[i] == QStringLiteral("--full-total")) fullTotal = true;
    else n = args[i].toInt();
  }
  n = std::clamp(n, 2, 1000);
  batch = std::clamp(batch, 1, 50);

  devnet::ServerConfig config;
  config.bindAddress = QHostAddress(QStringLiteral("127.0.255.1"));
  config.sourceAddress = QHostAddress(QStringLiteral("127.0.255.2"));
  config.port = 0;
  config.adminEnabled = false;
  config.keyDir = QStringLiteral(ORVA_SOURCE_DIR "/devnet/keys");
  config.fanout = 1;  // the bulletin enters the network at one node
  config.regionIntervalMs = 0;
  config.sweepIntervalMs = 3600000;
  config.idleTimeoutMs = 60000;
  config.quiet = true;
  devnet::NetworkServer server(config);
  QString error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "server: %s\n", qPrintable(error));
    return 1;
  }

  QElapsedTimer clock;
  clock.start();
  std::vector<std::unique_ptr<SimNode>> nodes;
  for (int i = 0; i < n; ++i) {
    const QString addr = QStringLiteral("127.1.%1.%2").arg(i / 250).arg(i % 250 + 1);
    nodes.push_back(std::make_unique<SimNode>(addr, QStringLiteral("127.0.255.1"), server.Port()));
    nodes.back()->clock = &clock;
  }
  for (int first = 0; first < n; first += batch) {
    const int last = std::min(n, first + batch);
    for (int i = first; i < last; ++i) nodes[i]->Join();
    if (!WaitUntil([&] {
          for (int i = first; i < last; ++i)
            if (!nodes[i]->JoinDone()) return false;
          return true;
        }, 60000)) {
      std::fprintf(stderr, "join of nodes %d..%d did not finish\n", first, last - 1);
    }
  }
  const qint64 joinMs = clock.elapsed();
  // Let the last handshakes finish.
  WaitUntil([] { return false; }, 1000);
  // The main timer's rule for nodes with fewer than 2 peers: a periodic
  // echo with the server, which hands out a new peer list.
  std::vector<SimNode*> lonely;
  for (auto& node : nodes)
    if (node->Net().connectedPeers < 2) lonely.push_back(node.get());
  for (size_t first = 0; first < lonely.size(); first += batch) {
    const size_t last = std::min(lonely.size(), first + batch);
    for (size_t i = first; i < last; ++i) lonely[i]->Echo();
    WaitUntil([&] {
      for (size_t i = first; i < last; ++i)
        if (!lonely[i]->JoinDone()) return false;
      return true;
    }, 60000);
  }
  WaitUntil([] { return false; }, 1000);
  if (fullTotal)
    for (auto& node : nodes) node->Net().totalPeers = n;

  std::vector<int> linkCounts;
  int joined = 0;
  for (auto& node : nodes) {
    linkCounts.push_back(node->Links());
    joined += node->Net().ownPeerId != 0 ? 1 : 0;
  }

  bool published = false;
  const qint64 publishAt = clock.elapsed();
  server.Publish(551, {QStringLiteral("12日05時17分,6強,1,4,宮城県沖,40km,7.4,0,N38.3,E141.9,気象庁"),
                       QStringLiteral("-宮城県,+6強,*栗原市築館")},
                 [&](const devnet::PublishResult&) { published = true; });
  auto reached = [&] {
    int r = 0;
    for (auto& node : nodes) r += node->acceptedAtMs >= 0 ? 1 : 0;
    return r;
  };
  // Until everybody has it and the relays are quiet, or 60 s.
  WaitUntil([&] {
    if (reached() < n) return false;
    for (auto& node : nodes)
      if (node->wiring.Relay().QueuedLines() > 0) return false;
    return true;
  }, 60000);
  WaitUntil([] { return false; }, 500);

  qint64 t0 = -1;
  for (auto& node : nodes)
    if (node->acceptedAtMs >= 0 && (t0 < 0 || node->acceptedAtMs < t0)) t0 = node->acceptedAtMs;
  std::vector<double> times, hops, dups;
  for (auto& node : nodes) {
    if (node->acceptedAtMs < 0) continue;
    times.push_back(static_cast<double>(node->acceptedAtMs - t0));
    hops.push_back(static_cast<double>(node->acceptedHops));
    dups.push_back(node->quakeLines - 1);
  }
  double linkSum = 0;
  for (int l : linkCounts) linkSum += l;
  std::sort(linkCounts.begin(), linkCounts.end());

  std::printf("nodes                  %d (joined %d, join phase %.1f s, %zu echoed for more peers)\n", n,
              joined, joinMs / 1000.0, lonely.size());
  std::printf("hop limits             %s\n", fullTotal ? "N/20+5 everywhere" : "from each node's join-time total");
  std::printf("links per node         mean %.2f, min %d, median %d, max %d\n", linkSum / n, linkCounts.front(),
              linkCounts[linkCounts.size() / 2], linkCounts.back());
  std::printf("reached                %d of %d (%.1f %%)\n", reached(), n, 100.0 * reached() / n);
  std::printf("arrival after entry    median %.0f ms, p99 %.0f ms, max %.0f ms\n", Percentile(times, 0.5),
              Percentile(times, 0.99), Percentile(times, 1.0));
  std::printf("entry after publish    %lld ms\n", static_cast<long long>(t0 - publishAt));
  std::printf("hop count on arrival   median %.0f, p99 %.0f, max %.0f\n", Percentile(hops, 0.5),
              Percentile(hops, 0.99), Percentile(hops, 1.0));
  double dupSum = 0;
  for (double d : dups) dupSum += d;
  std::printf("duplicates per node    mean %.2f, max %.0f\n", dups.empty() ? 0 : dupSum / dups.size(),
              Percentile(dups, 1.0));
  std::printf("published              %s\n", published ? "yes" : "no");
  const bool everyone = reached() == n;
  nodes.clear();
  return everyone ? 0 : 2;
}
