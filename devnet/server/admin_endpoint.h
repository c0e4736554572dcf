#pragma once
// The admin endpoint: listens on 127.0.0.1 only and drops any connection
// whose far end is not 127.0.0.1.
#include <QObject>

class QTcpServer;
class QTcpSocket;

namespace orva::devnet {

class NetworkServer;

class AdminEndpoint : public QObject {
  Q_OBJECT
 public:
  explicit AdminEndpoint(NetworkServer* server);
  bool Listen(quint16 port, QString* error);
  quint16 Port() const;

 private:
  void OnNewConnection();
  void Serve(QTcpSocket* socket);
  void HandleLine(QTcpSocket* socket, const QString& line);

  NetworkServer* server_;
  QTcpServer* listener_;
};

}  // namespace orva::devnet
