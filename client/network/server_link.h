#pragma once
// The link to the network's servers: one short TCP exchange at a time with
// one server of a fixed list, chosen at random, with failover to the others.
//
// ConnectServer(purpose) opens the connection and returns once it is up (or
// every server failed); the exchange itself then runs in socket events:
// received bytes are cut into CR LF lines, decoded from code page 932 one
// whole line at a time, parsed by HandleServerLine and answered by the
// JoinSequence. A server that closes mid-exchange, an invalid line, 294 and
// 298 lead to a new connection with the same purpose.
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <random>
#include <stdexcept>

#include "client/core/node_context.h"
#include "client/network/network_profile.h"

namespace orva {

class JoinSequence;
class PeerLinks;

// Purposes of a server exchange (NetworkState::linkPurpose).
enum : quint32 { kPurposeNone = 0, kPurposeJoin = 1, kPurposeEcho = 2, kPurposeLeave = 3 };

// An error inside a network handler, logged by the handler as
// context phrase + number + " " + description at level 4.
struct NetError : std::runtime_error {
  NetError(int number, const QString& description)
      : std::runtime_error(description.toStdString()), number(number), description(description) {}
  int number;
  QString description;
};

// Error numbers used for malformed server data.
inline constexpr int kErrTypeMismatch = 13;       // a field that is not a number or date
inline constexpr int kErrMissingArgument = 9;     // fewer arguments than read
inline constexpr int kErrNotConnected = 40006;    // send on a closed server socket

// The server index for a random number r in [0, 1): r * lastServerIndex
// rounded to the nearest integer, halves to even, so the first and the last
// server are drawn half as often as each of the others.
int DrawServerIndex(double r, int lastServerIndex);

// One response line taken apart: the code and the ":"-separated arguments
// from the seventh character on (empty fields kept). A line is invalid
// unless characters 4 and 5 are " 1" and a sixth character, when present,
// is a blank; `codeIsNumber` is false when the first three characters are
// not a number.
struct ServerLine {
  bool valid = false;
  bool codeIsNumber = false;
  int code = 0;
  QStringList arguments;
};
ServerLine ParseServerLine(const QString& line);

class ServerLink : public QObject {
  Q_OBJECT

 public:
  // The server list starts as the profile's; `peers` is the node's peer
  // link layer (closed on leave, asked for counts and peer IDs).
  ServerLink(NodeContext& ctx, const NetworkProfile& profile, PeerLinks& peers,
             QObject* parent = nullptr);
  ~ServerLink() override;

  // Replaces the server list (--servers).
  void SetServers(const QStringList& hosts) { servers_ = hosts; }
  const QStringList& Servers() const { return servers_; }
  // Local address that server connections are made from (--bind); null: any.
  void SetBindAddress(const QHostAddress& address) { bindAddress_ = address; }
  // Source of random numbers in [0, 1) for the server draw; unset: a
  // generator of this link seeded from the clock.
  void SetRandomSource(std::function<double()> source) { random_ = std::move(source); }

  // The conversation handler (hooks for the UPnP mapping and region counts).
  JoinSequence& Sequence() { return *sequence_; }

  // Connects to a server for `purpose` (kPurposeJoin/Echo/Leave). Waits,
  // processing events, up to Server_Timeout ms per server; a refused
  // connection moves on to the next server as soon as it is reported. Gives
  // up at once when quitState becomes 1. Called from an event inside
  // another call's wait (menu, main timer, shutdown), it closes that
  // connection and runs in full; the interrupted call then returns quietly.
  void ConnectServer(quint32 purpose);

  // A new connection that the exchange itself asks for (server closed,
  // invalid line, 192, 293, 294, 298, 299): ConnectServer, except deep
  // inside stacked connection waits, where it closes the connection and
  // the innermost wait starts over with `purpose`.
  void Reconnect(quint32 purpose);

  // Sends `text` + CR LF in code page 932. Two requests in one send are
  // passed joined by CR LF. Throws NetError when no server is connected.
  void SendServerLine(const QString& text);

  // Parses one received line (without CR LF) and dispatches it.
  void HandleServerLine(const QString& line);

  // What happens when the server closes the connection: close, and with a
  // sequence still running reconnect with the same purpose. Also used by
  // the 294 and 298 answers.
  void HandleServerClose();

  // Closes the server socket (no close handling runs).
  void CloseServerSocket();
  bool IsServerConnected() const;
  // Changes with every new connection attempt; lets a handler that waited
  // see whether the exchange it belongs to is still the current one.
  quint64 ConnectionNumber() const { return connectionNumber_; }

 private:
  enum class Outcome { Done, Restart };
  Outcome RunConnect(quint32 purpose, quint64 call);
  void StartAttempt(const QString& host);
  void OnConnected(QTcpSocket* socket);
  void OnSocketError(QTcpSocket* socket);
  void OnReadyRead(QTcpSocket* socket);
  void OnDisconnected(QTcpSocket* socket);
  double NextRandom();
  void SetTray(int icon, const QString& toolTip);
  void LogError(const QString& context, const NetError& e);

  NodeContext& ctx_;
  const NetworkProfile& profile_;
  PeerLinks& peers_;
  std::unique_ptr<JoinSequence> sequence_;
  QStringList servers_;
  QHostAddress bindAddress_;
  std::function<double()> random_;
  std::mt19937 generator_;

  QTcpSocket* socket_ = nullptr;  // child of this link; null while closed
  QByteArray buffer_;             // received bytes not yet cut into lines
  quint64 connectionNumber_ = 0;
  bool attemptConnected_ = false;
  bool attemptFailed_ = false;

  int depth_ = 0;          // ConnectServer calls on the stack
  quint64 calls_ = 0;      // ConnectServer calls so far
  bool restartRequested_ = false;
  quint32 restartPurpose_ = 0;
};

}  // namespace orva
