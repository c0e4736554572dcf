#pragma once
// The port check: connects back to a peer's listening port and reports
// whether a peer greeting ("614 1 ...") arrives within the time allowed.
#include <QHostAddress>
#include <QObject>
#include <QTimer>

class QTcpSocket;

namespace orva::devnet {

class PortProbe : public QObject {
  Q_OBJECT
 public:
  // `source` is the local address to connect from (null: any).
  PortProbe(const QHostAddress& target, quint16 port, const QHostAddress& source, int timeoutMs,
            QObject* parent = nullptr);
  void Start();

 signals:
  // Emitted exactly once.
  void Finished(bool reachable);

 private:
  void Finish(bool reachable);
  void OnReadyRead();

  QHostAddress target_;
  quint16 port_;
  QHostAddress source_;
  QTcpSocket* socket_ = nullptr;
  QTimer timer_;
  QByteArray buffer_;
  bool done_ = false;
};

}  // namespace orva::devnet
