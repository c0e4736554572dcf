#include "devnet/server/port_probe.h"

#include <QTcpSocket>

#include "devnet/server/wire.h"

namespace orva::devnet {

PortProbe::PortProbe(const QHostAddress& target, quint16 port, const QHostAddress& source,
                     int timeoutMs, QObject* parent)
    : QObject(parent), target_(target), port_(port), source_(source) {
  timer_.setSingleShot(true);
  timer_.setInterval(timeoutMs);
  connect(&timer_, &QTimer::timeout, this, [this] { Finish(false); });
}

void PortProbe::Start() {
  socket_ = new QTcpSocket(this);
  connect(socket_, &QTcpSocket::readyRead, this, &PortProbe::OnReadyRead);
  connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
    // A close after the greeting has been read is handled in OnReadyRead.
    OnReadyRead();
    Finish(false);
  });
  timer_.start();
  if (!source_.isNull() && source_ != QHostAddress::Any && source_ != QHostAddress::AnyIPv4)
    socket_->bind(source_, 0);
  socket_->connectToHost(target_, port_);
}

void PortProbe::OnReadyRead() {
  if (done_ || !socket_) return;
  buffer_.append(socket_->readAll());
  for (const QByteArray& line : TakeLines(buffer_)) {
    if (line.startsWith("614 1")) {
      Finish(true);
      return;
    }
  }
  // A peer sends its greeting first; anything else that long is not one.
  if (buffer_.size() > 4096) Finish(false);
}

void PortProbe::Finish(bool reachable) {
  if (done_) return;
  done_ = true;
  timer_.stop();
  if (socket_) {
    socket_->disconnect(this);
    socket_->abort();
  }
  emit Finished(reachable);
}

}  // namespace orva::devnet
