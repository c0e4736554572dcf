#pragma once
// One client connection: greets with 211 and answers each request line in
// order. Requests that do not fit the conversation get 293; a client that
// keeps misbehaving, overruns the line limit or stays silent is dropped.
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTimer>

class QTcpSocket;

namespace orva::devnet {

class NetworkServer;
struct Request;

class ServerSession : public QObject {
  Q_OBJECT
 public:
  static constexpr int kMaxLineBytes = 16384;
  static constexpr int kMaxRefusals = 3;

  ServerSession(QTcpSocket* socket, NetworkServer* server, quint64 number);
  ~ServerSession() override;
  void Start();

 signals:
  void Closed();

 private:
  void OnReadyRead();
  void Pump();
  void Handle(const QString& line);
  void Reply(int code, const QString& args = QString());
  void Refuse(const QString& why);
  void Close(const QString& why);
  void Log(const QString& text) const;
  // The ID names a registered peer at this connection's address.
  bool Owns(qint32 id) const;
  std::optional<qint32> OwnedId(const QString& field, const QString& what);

  void OnVersion(const Request& r);
  void OnTemporaryId(const Request& r);
  void OnPortCheck(const Request& r);
  void OnPeerList(const Request& r);
  void OnLinkedPeers(const Request& r);
  void OnFinalAssignment(const Request& r);
  void OnPeerKey(const Request& r, int responseCode);
  void OnEcho(const Request& r);
  void OnLeave(const Request& r);

  QTcpSocket* socket_;
  NetworkServer* server_;
  quint64 number_;
  QHostAddress peerAddress_;
  QString peerText_;
  QByteArray buffer_;
  QStringList pending_;
  QTimer idleTimer_;
  QTimer lifeTimer_;
  bool waiting_ = false;  // a port check is running; later lines wait
  bool closing_ = false;
  bool versionOk_ = false;
  qint32 temporaryId_ = 0;  // handed out by 113 on this connection
  qint32 peerId_ = 0;       // the peer this connection speaks for
  int refusals_ = 0;
};

}  // namespace orva::devnet
