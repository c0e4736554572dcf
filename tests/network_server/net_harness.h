#pragma once
// Scripted servers on loopback addresses and a client-side node for the
// server conversation tests.
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <vector>

#include "client/network/join_sequence.h"
#include "client/network/network_profile.h"
#include "client/network/peer_links.h"
#include "client/network/server_link.h"
#include "tests/support/recording_ui.h"

namespace orva::test {

// Processes events until `done` holds or `timeoutMs` passed.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Processes events for `ms` milliseconds.
void Pump(int ms);

// Sent as a chunk, closes the connection instead.
inline const QByteArray kClose = "<close>";

// What the scripted servers say. `connection` counts connections over all
// servers of a farm from 0. Each returned chunk is written on its own,
// 30 ms after the previous one.
struct Script {
  std::function<QList<QByteArray>(int connection)> greeting = [](int) {
    return QList<QByteArray>{"211 1\r\n"};
  };
  std::function<QList<QByteArray>(const QString& line, int connection)> reply;
};

// Several servers on 127.0.0.2, 127.0.0.3, ... (or another block) sharing
// one script and one record of what they received.
class ServerFarm : public QObject {
  Q_OBJECT
 public:
  ServerFarm(int count, quint16 port = 6910, const QString& firstAddress = QStringLiteral("127.0.0.2"));
  ~ServerFarm() override;
  // Host names of the servers, for the client's list.
  QStringList Hosts() const { return hosts_; }
  // True when every server listens.
  bool Listening() const { return listening_; }
  // The port the servers listen on: the one asked for, or, when another
  // program holds it for long (a local demo network on 6910), a free one.
  quint16 Port() const { return port_; }

  Script script;
  QStringList lines;               // every request line, in arrival order
  QList<QByteArray> reads;         // raw bytes of each read
  std::vector<QString> connectedHosts;  // which server took each connection
  std::vector<QString> peerAddresses;   // the client's address of each connection
  int Connections() const { return static_cast<int>(connectedHosts.size()); }

 private:
  void OnConnection(QTcpServer* server, const QString& host);
  void SendChunks(QTcpSocket* socket, QList<QByteArray> chunks);

  QStringList hosts_;
  std::vector<std::unique_ptr<QTcpServer>> servers_;
  bool listening_ = false;
  quint16 port_ = 0;
};

// The client side: a node context with recording screens, peer links and
// the server link, set up for short time-outs.
struct TestNode {
  explicit TestNode(const QStringList& servers, quint16 port = 6910);
  ~TestNode();

  // Every log entry's text (without the time), oldest first.
  QStringList log;
  bool Logged(const QString& text) const { return log.contains(text); }
  int LogCount(const QString& text) const { return static_cast<int>(log.count(text)); }

  NodeContext ctx;
  RecordingTray tray;
  RecordingMenus menus;
  RecordingBoxes boxes;
  RecordingWindows windows;
  NetworkProfile profile;
  std::unique_ptr<PeerLinks> peers;
  std::unique_ptr<ServerLink> link;
  std::vector<quint16> mappedPorts;
  QStringList regionCounts;
};

// The fixed local clock of the test nodes.
QDateTime TestLocalNow();
// A date as the wire carries it: "yyyy/MM/dd HH-mm-ss".
QString WireDate(const QDateTime& t);

// Fake peers that accept links and keep them open.
class PeerListeners {
 public:
  explicit PeerListeners(int count);
  // "127.0.0.1,port,id" for peer i with id firstId + i.
  QStringList Entries(int firstId) const;

 private:
  std::vector<std::unique_ptr<QTcpServer>> servers_;
  std::vector<std::unique_ptr<QTcpSocket>> accepted_;
};

}  // namespace orva::test
