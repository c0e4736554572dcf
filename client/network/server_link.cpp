#include "server_link.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

#include <cmath>

#include "client/network/join_sequence.h"
#include "client/network/peer_links.h"
#include "platform/cp932.h"
#include "platform/timing.h"

namespace orva {

namespace {

// Attempts whose connect never completes are given up after Server_Timeout;
// the connection wait polls in steps of this many milliseconds.
constexpr int kWaitStepMs = 20;
// Connection waits stacked inside each other before reconnects are handed
// to the innermost wait instead.
constexpr int kMaxNesting = 8;

struct DepthGuard {
  explicit DepthGuard(int& depth) : depth(depth) { ++depth; }
  ~DepthGuard() { --depth; }
  int& depth;
};

}  // namespace

int DrawServerIndex(double r, int lastServerIndex) {
  if (lastServerIndex <= 0) return 0;
  const double x = r * lastServerIndex;
  double whole = std::floor(x);
  const double fraction = x - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<int>(std::clamp(whole, 0.0, static_cast<double>(lastServerIndex)));
}

ServerLink::ServerLink(NodeContext& ctx, const NetworkProfile& profile, PeerLinks& peers,
                       QObject* parent)
    : QObject(parent),
      ctx_(ctx),
      profile_(profile),
      peers_(peers),
      sequence_(std::make_unique<JoinSequence>(ctx, profile, *this, peers)),
      servers_(profile.servers),
      generator_(static_cast<std::mt19937::result_type>(QDateTime::currentMSecsSinceEpoch())) {}

ServerLink::~ServerLink() { CloseServerSocket(); }

double ServerLink::NextRandom() {
  if (random_) return random_();
  return std::uniform_real_distribution<double>(0.0, 1.0)(generator_);
}

void ServerLink::SetTray(int icon, const QString& toolTip) {
  if (!ctx_.ui.tray) return;
  if (icon >= 0) ctx_.ui.tray->SetIcon(icon);
  if (!toolTip.isEmpty()) ctx_.ui.tray->SetToolTip(toolTip);
}

void ServerLink::LogError(const QString& context, const NetError& e) {
  ctx_.WriteLog(QStringLiteral("%1%2 %3").arg(context).arg(e.number).arg(e.description), 4);
}

bool ServerLink::IsServerConnected() const {
  return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

void ServerLink::CloseServerSocket() {
  if (!socket_) return;
  QTcpSocket* old = socket_;
  socket_ = nullptr;
  old->disconnect(this);
  old->abort();
  // The socket may be the sender of the signal being handled right now.
  old->deleteLater();
}

void ServerLink::ConnectServer(quint32 purpose) {
  // A call from an event inside a running wait (menu, timer, shutdown)
  // runs here and now; the interrupted call then finds itself replaced and
  // returns without a word.
  DepthGuard guard(depth_);
  const quint64 call = ++calls_;
  try {
    while (RunConnect(purpose, call) == Outcome::Restart) purpose = restartPurpose_;
  } catch (const NetError& e) {
    LogError(QStringLiteral("サーバー接続中エラー："), e);
  } catch (const std::exception& e) {
    LogError(QStringLiteral("サーバー接続中エラー："), NetError(-1, QString::fromLocal8Bit(e.what())));
  }
}

void ServerLink::Reconnect(quint32 purpose) {
  if (depth_ < kMaxNesting) {
    ConnectServer(purpose);
    return;
  }
  // Servers that answer badly again and again, each answer handled inside
  // the previous connection wait, would stack waits without end: from this
  // depth on, close now and let the innermost wait start over with this
  // purpose.
  ctx_.net.linkPurpose = purpose;
  CloseServerSocket();
  restartPurpose_ = purpose;
  restartRequested_ = true;
}

ServerLink::Outcome ServerLink::RunConnect(quint32 purpose, quint64 call) {
  restartRequested_ = false;
  ctx_.net.linkPurpose = purpose;
  CloseServerSocket();

  const QString connecting = QStringLiteral("サーバーへ接続中です...");
  if (purpose == kPurposeLeave) {
    ctx_.WriteLog(QStringLiteral("全ピアと切断"), 0);
    SetTray(2, connecting);
    peers_.CloseAllPeers();
  } else if (purpose == kPurposeJoin) {
    SetTray(2, connecting);
  } else if (purpose == kPurposeEcho) {
    SetTray(-1, connecting);
  }
  ctx_.WriteLog(QStringLiteral("サーバーへ接続開始..."), 1);
  ctx_.SetStatus(QStringLiteral("サーバーへ接続中..."), 1);

  const int count = static_cast<int>(servers_.size());
  const int lastIndex = count - 1;
  std::vector<bool> tried(static_cast<size_t>(qMax(count, 0)), false);
  int failures = 0;
  while (count > 0) {
    int index = DrawServerIndex(NextRandom(), lastIndex);
    // A repeated draw costs nothing; a source that keeps repeating itself
    // falls back to the first untried server.
    for (int draws = 1; tried[index]; ++draws) {
      index = draws < 10000 ? DrawServerIndex(NextRandom(), lastIndex)
                            : static_cast<int>(std::find(tried.begin(), tried.end(), false) - tried.begin());
    }
    tried[index] = true;
    const QString host = servers_[index];
    StartAttempt(host);
    const quint32 start = TickCount();

    for (;;) {
      QThread::msleep(kWaitStepMs);
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      if (ctx_.life.quitState == 1) {
        CloseServerSocket();
        return Outcome::Done;
      }
      if (restartRequested_) {
        restartRequested_ = false;
        return Outcome::Restart;
      }
      if (call != calls_) return Outcome::Done;  // a later call took over
      if (attemptConnected_) return Outcome::Done;
      if (attemptFailed_) break;
      if (static_cast<qint64>(TickCount() - start) >= ctx_.settings.Server_Timeout) break;
    }

    ctx_.WriteLog(host + QStringLiteral("への接続に失敗"), 1);
    ctx_.SetStatus(QStringLiteral("別サーバーへ接続中..."), 1);
    ++failures;
    if (failures > lastIndex) break;
  }

  // Every server failed.
  CloseServerSocket();
  ctx_.WriteLog(QStringLiteral("サーバーに接続出来ませんでした。あとで再試行します…"), 2);
  ctx_.SetStatus(QStringLiteral("サーバーに接続出来ませんでした。"), 1);
  const QString failed = QStringLiteral("サーバーへ接続出来ませんでした。");
  switch (purpose) {
    case kPurposeJoin:
      ctx_.life.joinRetryPending = 1;
      SetTray(1, failed);
      break;
    case kPurposeEcho:
      SetTray(6, QStringLiteral("サーバーへ接続出来ません。 総参加:%1 接続:%2")
                     .arg(ctx_.net.totalPeers)
                     .arg(ctx_.net.connectedPeers));
      if (ctx_.net.connectedPeers >= 1) break;
      SetTray(8, QString());
      break;
    case kPurposeLeave:
      if (ctx_.life.quitState == 2) ctx_.net.ownPeerId = 0;
      SetTray(1, failed);
      break;
    default:
      break;
  }
  return Outcome::Done;
}

void ServerLink::StartAttempt(const QString& host) {
  CloseServerSocket();
  buffer_.clear();  // text left by a broken connection never reaches the next server's lines
  ++connectionNumber_;
  attemptConnected_ = false;
  attemptFailed_ = false;

  auto* socket = new QTcpSocket(this);
  socket_ = socket;
  connect(socket, &QTcpSocket::connected, this, [this, socket] { OnConnected(socket); });
  connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { OnSocketError(socket); });
  connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
  connect(socket, &QTcpSocket::disconnected, this, [this, socket] { OnDisconnected(socket); });
  if (!bindAddress_.isNull()) socket->bind(bindAddress_, 0);
  socket->connectToHost(host, profile_.serverPort);
}

void ServerLink::OnConnected(QTcpSocket* socket) {
  if (socket != socket_) return;
  attemptConnected_ = true;
  if (ctx_.net.linkPurpose == kPurposeJoin) SetTray(3, QString());
  ctx_.WriteLog(QStringLiteral("サーバーへ接続しました"), 1);
}

void ServerLink::OnSocketError(QTcpSocket* socket) {
  if (socket != socket_ || attemptConnected_) return;
  // Refused, unknown host, bind failure ...: the attempt is over now.
  if (socket->state() == QAbstractSocket::UnconnectedState) attemptFailed_ = true;
}

void ServerLink::OnReadyRead(QTcpSocket* socket) {
  if (socket != socket_) return;
  try {
    // Bytes that arrive while a handler below waits do not raise another
    // signal for this socket, so read until nothing is left.
    while (socket == socket_ && socket->bytesAvailable() > 0) {
      buffer_ += socket->readAll();
      ctx_.WriteLog(QStringLiteral("サーバーからデータを受信"), 0);
      ctx_.SetStatus(QStringLiteral("サーバーからデータ受信中..."), 1);
      qsizetype end;
      while ((end = buffer_.indexOf("\r\n")) >= 0) {
        const QByteArray line = buffer_.left(end);
        buffer_.remove(0, end + 2);
        HandleServerLine(cp932::toUnicode(line));
      }
    }
  } catch (const NetError& e) {
    LogError(QStringLiteral("データ受信中エラー："), e);
  }
}

void ServerLink::OnDisconnected(QTcpSocket* socket) {
  if (socket != socket_) return;
  HandleServerClose();
}

void ServerLink::HandleServerClose() {
  try {
    ctx_.WriteLog(QStringLiteral("サーバーから切断されました"), 1);
    CloseServerSocket();
    if (ctx_.net.linkPurpose != kPurposeNone) {
      ctx_.WriteLog(QStringLiteral("処理中にサーバーから切断されました。再接続しています..."), 3);
      ctx_.SetStatus(QStringLiteral("再接続中..."), 1);
      Reconnect(ctx_.net.linkPurpose);
    }
  } catch (const NetError& e) {
    LogError(QStringLiteral("サーバ切断中エラー："), e);
  }
}

void ServerLink::SendServerLine(const QString& text) {
  if (!IsServerConnected()) {
    throw NetError(kErrNotConnected,
                   QStringLiteral("Wrong protocol or connection state for the requested transaction"));
  }
  socket_->write(cp932::fromUnicode(text + QStringLiteral("\r\n")));
  socket_->flush();
}

ServerLine ParseServerLine(const QString& line) {
  ServerLine parsed;
  parsed.valid = line.size() >= 5 && line.mid(3, 2) == QStringLiteral(" 1") &&
                 (line.size() < 6 || line[5] == QLatin1Char(' '));
  if (!parsed.valid) return parsed;
  parsed.code = line.left(3).toInt(&parsed.codeIsNumber);
  if (line.size() >= 7) parsed.arguments = line.mid(6).split(QLatin1Char(':'));
  return parsed;
}

void ServerLink::HandleServerLine(const QString& line) {
  try {
    const ServerLine parsed = ParseServerLine(line);
    if (!parsed.valid) {
      ctx_.WriteLog(QStringLiteral("サーバーからのデータが不正です"), 3);
      ctx_.WriteLog(QStringLiteral("別サーバーに接続します..."), 1);
      // With no exchange running there is nothing to reconnect for.
      if (ctx_.net.linkPurpose != kPurposeNone) {
        Reconnect(ctx_.net.linkPurpose);
      } else {
        CloseServerSocket();
      }
      return;
    }
    if (!parsed.codeIsNumber) throw NetError(kErrTypeMismatch, QStringLiteral("Type mismatch"));
    sequence_->DispatchServerResponse(parsed.code, parsed.arguments);
  } catch (const NetError& e) {
    LogError(QStringLiteral("データ解析中エラー："), e);
  }
}

}  // namespace orva
