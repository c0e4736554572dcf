#include "devnet/server/peer_injector.h"

#include <QTcpSocket>

#include "devnet/server/wire.h"
#include "platform/cp932.h"

namespace orva::devnet {

PeerInjector::PeerInjector(const QHostAddress& target, quint16 port, const QHostAddress& source,
                           qint32 ownPeerId, QByteArrayList lines, int timeoutMs, QObject* parent)
    : QObject(parent),
      target_(target),
      port_(port),
      source_(source),
      ownPeerId_(ownPeerId),
      lines_(std::move(lines)) {
  timer_.setSingleShot(true);
  timer_.setInterval(timeoutMs);
  connect(&timer_, &QTimer::timeout, this, [this] { Finish(false, QStringLiteral("timeout")); });
}

QString PeerInjector::Target() const {
  return target_.toString() + u':' + QString::number(port_);
}

void PeerInjector::Start() {
  socket_ = new QTcpSocket(this);
  connect(socket_, &QTcpSocket::connected, this, [this] {
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    stage_ = Stage::AwaitGreeting;
  });
  connect(socket_, &QTcpSocket::readyRead, this, &PeerInjector::OnReadyRead);
  connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
    OnReadyRead();
    Finish(false, socket_->errorString());
  });
  timer_.start();
  if (!source_.isNull() && source_ != QHostAddress::Any && source_ != QHostAddress::AnyIPv4)
    socket_->bind(source_, 0);
  socket_->connectToHost(target_, port_);
}

void PeerInjector::OnReadyRead() {
  if (!socket_ || stage_ == Stage::Done) return;
  buffer_.append(socket_->readAll());
  for (const QByteArray& line : TakeLines(buffer_)) {
    HandleLine(line);
    if (stage_ == Stage::Done) return;
  }
  if (buffer_.size() > 65536) Finish(false, QStringLiteral("overlong line"));
}

void PeerInjector::Send(const QByteArray& line) { socket_->write(line + "\r\n"); }

void PeerInjector::HandleLine(const QByteArray& raw) {
  const QString line = cp932::toUnicode(raw);
  const QString code = line.left(3);
  if (code == u"611") {  // keep-alive, at any stage
    Send("631 1");
    return;
  }
  if (code == u"631") return;
  if (code == u"694") {
    Finish(false, QStringLiteral("refused: ") + line.mid(6));
    return;
  }
  if (stage_ == Stage::AwaitGreeting && code == u"614") {
    const QStringList args = line.mid(6).split(u':');
    const auto version = ParseVersion(args.value(0));
    if (!line.startsWith(QStringLiteral("614 1 ")) || args.size() != 3 || !version ||
        *version < kLowestProtocolVersion) {
      Send("694 1 Protocol_version_incompatible");
      Finish(false, QStringLiteral("incompatible greeting: ") + line);
      return;
    }
    Send(QByteArray("634 1 ") + kServerIdentification);
    stage_ = Stage::AwaitAck;
    return;
  }
  if (stage_ == Stage::AwaitAck && line == u"612 1") {
    Send("632 1 " + QByteArray::number(ownPeerId_));
    for (const QByteArray& item : std::as_const(lines_)) Send(item);
    Finish(true, QString());
    return;
  }
  // Relayed items the peer may already be sending us are none of our
  // business; anything else out of order ends the attempt.
  if (code.size() == 3 && code[0] == u'5') return;
  Finish(false, QStringLiteral("unexpected line: ") + line.left(80));
}

void PeerInjector::Finish(bool delivered, const QString& reason) {
  if (stage_ == Stage::Done) return;
  stage_ = Stage::Done;
  timer_.stop();
  if (socket_) {
    socket_->disconnect(this);
    if (delivered) {
      // The socket outlives this object until its data has gone out and the
      // connection has closed (bounded, in case the peer never answers).
      QTcpSocket* s = socket_;
      s->setParent(nullptr);
      connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      QTimer::singleShot(10000, s, [s] {
        s->abort();
        s->deleteLater();
      });
      s->flush();
      s->disconnectFromHost();
      socket_ = nullptr;
    } else {
      socket_->abort();
    }
  }
  emit Finished(delivered, reason);
}

}  // namespace orva::devnet
