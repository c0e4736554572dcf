#pragma once
// Puts lines onto the peer network: opens a link to one peer as its child,
// completes the handshake (614 -> 634, 612 -> 632), sends the lines and
// closes the link.
#include <QByteArrayList>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

class QTcpSocket;

namespace orva::devnet {

class PeerInjector : public QObject {
  Q_OBJECT
 public:
  // `lines` are code page 932 bytes without CR LF. `ownPeerId` is what the
  // parent learns from "632". `source` is the local address to connect from
  // (null: any).
  PeerInjector(const QHostAddress& target, quint16 port, const QHostAddress& source,
               qint32 ownPeerId, QByteArrayList lines, int timeoutMs, QObject* parent = nullptr);
  void Start();
  QString Target() const;

 signals:
  // Emitted exactly once; `reason` says why when not delivered.
  void Finished(bool delivered, const QString& reason);

 private:
  enum class Stage { Connecting, AwaitGreeting, AwaitAck, Done };
  void OnReadyRead();
  void HandleLine(const QByteArray& line);
  void Send(const QByteArray& line);
  void Finish(bool delivered, const QString& reason);

  QHostAddress target_;
  quint16 port_;
  QHostAddress source_;
  qint32 ownPeerId_;
  QByteArrayList lines_;
  QTcpSocket* socket_ = nullptr;
  QTimer timer_;
  QByteArray buffer_;
  Stage stage_ = Stage::Connecting;
};

}  // namespace orva::devnet
