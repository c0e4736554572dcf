// orva_server: the development network server.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "devnet/server/network_server.h"

namespace {

// Write end of the socket pair that carries signals into the event loop.
int g_signalFd = -1;

void OnSignal(int signo) {
  const char c = static_cast<char>(signo);
  if (g_signalFd >= 0) {
    [[maybe_unused]] const ssize_t n = ::write(g_signalFd, &c, 1);
  }
}

bool ParsePort(const QString& text, quint16* port) {
  bool ok = false;
  const uint v = text.toUInt(&ok);
  if (!ok || v > 65535) return false;
  *port = static_cast<quint16>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("orva_server"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Development network server"));
  parser.addHelpOption();
  QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("TCP port for clients (6910)."),
                             QStringLiteral("PORT"), QStringLiteral("6910"));
  QCommandLineOption bindOpt(QStringLiteral("bind"),
                             QStringLiteral("Listen address; also the source address of the "
                                            "server's own connections (all addresses)."),
                             QStringLiteral("ADDR"));
  QCommandLineOption sourceOpt(QStringLiteral("source"),
                               QStringLiteral("Source address of the server's own connections "
                                              "(port check, injection); peers refuse 127.0.0.1."),
                               QStringLiteral("ADDR"));
  QCommandLineOption keysOpt(QStringLiteral("keys"), QStringLiteral("Folder of the server keys."),
                             QStringLiteral("DIR"), QStringLiteral(ORVA_DEVNET_KEY_DIR));
  QCommandLineOption adminOpt(QStringLiteral("admin-port"),
                              QStringLiteral("Admin port on 127.0.0.1 (6920); 0 switches it off."),
                              QStringLiteral("PORT"), QStringLiteral("6920"));
  QCommandLineOption fanoutOpt(QStringLiteral("fanout"),
                               QStringLiteral("Peers that receive each injected item (3)."),
                               QStringLiteral("N"), QStringLiteral("3"));
  QCommandLineOption regionOpt(QStringLiteral("region-interval"),
                               QStringLiteral("Seconds between region-count items (600); 0: never."),
                               QStringLiteral("SECONDS"), QStringLiteral("600"));
  QCommandLineOption idleOpt(QStringLiteral("idle-timeout"),
                             QStringLiteral("Seconds a silent client is kept (30)."),
                             QStringLiteral("SECONDS"), QStringLiteral("30"));
  parser.addOptions({portOpt, bindOpt, sourceOpt, keysOpt, adminOpt, fanoutOpt, regionOpt, idleOpt});
  parser.process(app);

  orva::devnet::ServerConfig config;
  quint16 adminPort = 0;
  if (!ParsePort(parser.value(portOpt), &config.port) || config.port == 0 ||
      !ParsePort(parser.value(adminOpt), &adminPort)) {
    std::fprintf(stderr, "orva_server: bad port number\n");
    return 2;
  }
  config.adminEnabled = adminPort != 0;
  config.adminPort = adminPort;
  if (parser.isSet(bindOpt)) {
    QHostAddress addr;
    if (!addr.setAddress(parser.value(bindOpt))) {
      std::fprintf(stderr, "orva_server: bad bind address\n");
      return 2;
    }
    config.bindAddress = addr;
  }
  if (parser.isSet(sourceOpt) && !config.sourceAddress.setAddress(parser.value(sourceOpt))) {
    std::fprintf(stderr, "orva_server: bad source address\n");
    return 2;
  }
  config.keyDir = parser.value(keysOpt);
  bool ok1 = false, ok2 = false, ok3 = false;
  config.fanout = parser.value(fanoutOpt).toInt(&ok1);
  config.regionIntervalMs = parser.value(regionOpt).toInt(&ok2) * 1000;
  config.idleTimeoutMs = parser.value(idleOpt).toInt(&ok3) * 1000;
  if (!ok1 || !ok2 || !ok3 || config.fanout < 1 || config.regionIntervalMs < 0 ||
      config.idleTimeoutMs < 1000) {
    std::fprintf(stderr, "orva_server: bad number in the options\n");
    return 2;
  }

  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
    std::perror("orva_server: socketpair");
    return 1;
  }
  g_signalFd = fds[0];
  QSocketNotifier notifier(fds[1], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
    char c = 0;
    [[maybe_unused]] const ssize_t n = ::read(fds[1], &c, 1);
    std::printf("signal %d: shutting down\n", static_cast<int>(c));
    std::fflush(stdout);
    app.quit();
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  orva::devnet::NetworkServer server(config);
  QString error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "orva_server: %s\n", error.toUtf8().constData());
    return 1;
  }
  const int rc = app.exec();
  server.Log(QStringLiteral("stopped"));
  return rc;
}
