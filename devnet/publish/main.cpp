// orva_publish: hands a bulletin file to the running development server
// through its loopback admin endpoint and prints what was published.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <cstdio>

#include "devnet/publish/bulletin_file.h"
#include "devnet/server/admin_protocol.h"
#include "platform/cp932.h"

using namespace orva::devnet;

namespace {

void Print(const QString& text) {
  std::fputs(text.toUtf8().constData(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Fail(const QString& text) {
  std::fputs(("orva_publish: " + text).toUtf8().constData(), stderr);
  std::fputc('\n', stderr);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("orva_publish"));
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Publishes a quake or tsunami bulletin file through the development server.\n"
                     "Without FILE: --regions publishes the region counts, --status asks for them."));
  parser.addHelpOption();
  QCommandLineOption portOpt(QStringLiteral("admin-port"),
                             QStringLiteral("The server's admin port on 127.0.0.1 (6920)."),
                             QStringLiteral("PORT"), QString::number(kDefaultAdminPort));
  QCommandLineOption kindOpt(QStringLiteral("kind"),
                             QStringLiteral("quake or tsunami (guessed from the file)."),
                             QStringLiteral("KIND"));
  QCommandLineOption regionsOpt(QStringLiteral("regions"),
                                QStringLiteral("Publish the region peer counts now."));
  QCommandLineOption statusOpt(QStringLiteral("status"), QStringLiteral("Show the peer counts."));
  QCommandLineOption checkOpt(QStringLiteral("check"),
                              QStringLiteral("Only read and check the file; print its wire form."));
  QCommandLineOption timeoutOpt(QStringLiteral("timeout"),
                                QStringLiteral("Seconds to wait for the server (30)."),
                                QStringLiteral("SECONDS"), QStringLiteral("30"));
  parser.addOptions({portOpt, kindOpt, regionsOpt, statusOpt, checkOpt, timeoutOpt});
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Bulletin file (UTF-8)."));
  parser.process(app);

  AdminRequest request{AdminRequest::Kind::Status, {}};
  const QStringList files = parser.positionalArguments();
  if (parser.isSet(regionsOpt) || parser.isSet(statusOpt)) {
    if (!files.isEmpty()) {
      Fail(QStringLiteral("no file goes with --regions or --status"));
      return 2;
    }
    request.kind = parser.isSet(regionsOpt) ? AdminRequest::Kind::Regions
                                            : AdminRequest::Kind::Status;
  } else {
    if (files.size() != 1) {
      parser.showHelp(2);
    }
    std::optional<Bulletin::Kind> kind;
    if (parser.isSet(kindOpt)) {
      const QString k = parser.value(kindOpt);
      if (k == u"quake") kind = Bulletin::Kind::Quake;
      else if (k == u"tsunami") kind = Bulletin::Kind::Tsunami;
      else {
        Fail(QStringLiteral("--kind is quake or tsunami"));
        return 2;
      }
    }
    QString error;
    const auto bulletin = LoadBulletinFile(files[0], &error, kind);
    if (!bulletin) {
      Fail(error);
      return 2;
    }
    request.kind = bulletin->kind == Bulletin::Kind::Quake ? AdminRequest::Kind::Quake
                                                           : AdminRequest::Kind::Tsunami;
    request.fields = bulletin->Fields();
    if (parser.isSet(checkOpt)) {
      Print((bulletin->kind == Bulletin::Kind::Quake ? QStringLiteral("551 ") : QStringLiteral("552 ")) +
            request.fields.join(u':'));
      return 0;
    }
  }

  bool portOk = false;
  const uint port = parser.value(portOpt).toUInt(&portOk);
  const int timeoutMs = parser.value(timeoutOpt).toInt() * 1000;
  if (!portOk || port == 0 || port > 65535 || timeoutMs <= 0) {
    Fail(QStringLiteral("bad --admin-port or --timeout"));
    return 2;
  }

  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
  if (!socket.waitForConnected(timeoutMs)) {
    Fail(QStringLiteral("cannot reach the server's admin port %1: %2").arg(port).arg(socket.errorString()));
    return 1;
  }
  socket.write(orva::cp932::fromUnicode(FormatAdminRequest(request)) + "\r\n");
  socket.flush();

  QElapsedTimer clock;
  clock.start();
  QByteArray buffer;
  for (;;) {
    const qint64 left = timeoutMs - clock.elapsed();
    if (left <= 0 || !socket.waitForReadyRead(static_cast<int>(left))) {
      Fail(QStringLiteral("no answer from the server"));
      return 1;
    }
    buffer.append(socket.readAll());
    qsizetype at;
    while ((at = buffer.indexOf("\r\n")) >= 0) {
      const QString line = orva::cp932::toUnicode(buffer.left(at));
      buffer.remove(0, at + 2);
      if (line.startsWith(QStringLiteral("INFO "))) {
        Print(line.mid(5));
      } else if (line.startsWith(QStringLiteral("OK"))) {
        Print(line.mid(3));
        // Published, but no peer took it: nothing reached the network.
        if (request.kind != AdminRequest::Kind::Status && line.contains(QStringLiteral("delivered=0 ")))
          return 3;
        return 0;
      } else {
        Fail(line.startsWith(QStringLiteral("ERR ")) ? line.mid(4) : line);
        return 1;
      }
    }
  }
}
