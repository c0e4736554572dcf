#pragma once
// Scripted parties for the development server's tests: a client that speaks
// line by line, and a peer that runs the parent side of a peer link and
// keeps what it is sent. Loopback only; every wait is bounded.
#include <QByteArrayList>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <optional>

#include "devnet/server/network_server.h"
#include "devnet/server/wire.h"
#include "platform/cp932.h"
#include "platform/timing.h"

namespace orva::devnet::test {

inline constexpr char kClientId[] = "0.32:Orva_Client:Beta3_Rev1011";

inline QString KeyDir() { return QStringLiteral(ORVA_SOURCE_DIR "/devnet/keys"); }

inline QByteArray ReadKeyText(const QString& name) {
  QFile f(KeyDir() + u'/' + name);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().trimmed();
}

// Polls the event loop until `done` holds or `ms` have passed.
template <typename F>
bool WaitFor(F done, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    ProcessEventsAndSleep(5);
  }
  return true;
}

inline ServerConfig TestConfig() {
  ServerConfig c;
  c.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
  c.port = 0;
  c.adminPort = 0;
  c.keyDir = KeyDir();
  c.idleTimeoutMs = 3000;
  c.portCheckTimeoutMs = 1000;
  c.injectTimeoutMs = 3000;
  c.regionIntervalMs = 0;
  c.quiet = true;
  return c;
}

class ScriptedClient {
 public:
  // `from` is the client's own loopback address.
  bool Connect(quint16 port, const QString& from = QStringLiteral("127.0.0.1"),
               const QHostAddress& to = QHostAddress(QStringLiteral("127.0.0.1"))) {
    socket_.bind(QHostAddress(from), 0);
    socket_.connectToHost(to, port);
    WaitFor([&] {
      return socket_.state() == QAbstractSocket::ConnectedState ||
             socket_.state() == QAbstractSocket::UnconnectedState;
    });
    return socket_.state() == QAbstractSocket::ConnectedState;
  }
  void Send(const QString& line) { SendRaw(cp932::fromUnicode(line) + "\r\n"); }
  void SendRaw(const QByteArray& bytes) {
    socket_.write(bytes);
    socket_.flush();
  }
  // The next line, or nullopt when none arrives in time or the server closed.
  std::optional<QString> Line(int ms = 5000) {
    WaitFor(
        [&] {
          Pull();
          return !lines_.isEmpty() || socket_.state() == QAbstractSocket::UnconnectedState;
        },
        ms);
    Pull();
    if (lines_.isEmpty()) return std::nullopt;
    return lines_.takeFirst();
  }
  // Sends a request and returns the answer.
  QString Ask(const QString& line) {
    Send(line);
    return Line().value_or(QStringLiteral("(no answer)"));
  }
  bool WaitClosed(int ms = 5000) {
    return WaitFor(
        [&] {
          Pull();
          return socket_.state() == QAbstractSocket::UnconnectedState;
        },
        ms);
  }
  QTcpSocket& Socket() { return socket_; }

 private:
  void Pull() {
    buffer_.append(socket_.readAll());
    for (const QByteArray& l : TakeLines(buffer_)) lines_.append(cp932::toUnicode(l));
  }
  QTcpSocket socket_;
  QByteArray buffer_;
  QStringList lines_;
};

// The parent side of peer links on one loopback address: greets with 614,
// answers 634 with 612, learns the child's ID from 632 and keeps every line
// that follows.
class FakePeer {
 public:
  explicit FakePeer(const QString& address, bool greet = true) : greet_(greet) {
    server_.listen(QHostAddress(address), 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        ++accepted_;
        if (greet_) s->write(QByteArray("614 1 ") + kClientId + "\r\n");
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, buffer] {
          buffer->append(s->readAll());
          for (const QByteArray& raw : TakeLines(*buffer)) {
            const QString line = cp932::toUnicode(raw);
            if (line.startsWith(u"634 1 ")) {
              s->write("612 1\r\n");
            } else if (line.startsWith(u"632 1 ")) {
              childIds_.append(line.mid(6));
            } else {
              items_.append(line);
            }
          }
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  quint16 Port() const { return server_.serverPort(); }
  int Accepted() const { return accepted_; }
  const QStringList& Items() const { return items_; }
  const QStringList& ChildIds() const { return childIds_; }

 private:
  QTcpServer server_;
  bool greet_;
  int accepted_ = 0;
  QStringList items_;
  QStringList childIds_;
};

// Runs a whole join for a peer at `from` whose listening port is `port`;
// returns the peer ID, or 0 when the conversation went otherwise.
inline qint32 JoinAs(quint16 serverPort, const QString& from, quint16 port, int area = 250) {
  ScriptedClient c;
  if (!c.Connect(serverPort, from)) return 0;
  if (c.Line() != u"211 1") return 0;
  if (c.Ask(QStringLiteral("131 1 ") + kClientId) != u"212 1 0.32") return 0;
  const QString id233 = c.Ask(QStringLiteral("113 1"));
  if (!id233.startsWith(u"233 1 ")) return 0;
  const QString id = id233.mid(6);
  if (!c.Ask(QStringLiteral("114 1 %1:%2").arg(id).arg(port)).startsWith(u"234 1 ")) return 0;
  if (!c.Ask(QStringLiteral("115 1 ") + id).startsWith(u"235 1")) return 0;
  c.Send(QStringLiteral("155 1"));
  if (!c.Ask(QStringLiteral("116 1 %1:%2:%3:0:7").arg(id).arg(port).arg(area, 3, 10, QLatin1Char('0')))
           .startsWith(u"236 1 "))
    return 0;
  if (c.Ask(QStringLiteral("119 1")) != u"239 1") return 0;
  return id.toInt();
}

}  // namespace orva::devnet::test
