#include "join_sequence.h"

#include <QCoreApplication>
#include <QThread>

#include "client/network/peer_links.h"
#include "client/network/server_link.h"

namespace orva {

namespace {

const QString& Arg(const QStringList& args, int index) {
  if (index < 0 || index >= args.size()) {
    throw NetError(kErrMissingArgument, QStringLiteral("Subscript out of range"));
  }
  return args[index];
}

qint32 IntArg(const QStringList& args, int index) {
  bool ok = false;
  const qint32 value = Arg(args, index).trimmed().toInt(&ok);
  if (!ok) throw NetError(kErrTypeMismatch, QStringLiteral("Type mismatch"));
  return value;
}

QDateTime DateArg(const QStringList& args, int index) {
  const QDateTime value = ParseWireDate(Arg(args, index));
  if (!value.isValid()) throw NetError(kErrTypeMismatch, QStringLiteral("Type mismatch"));
  return value;
}

}  // namespace

QDateTime ParseWireDate(const QString& text) {
  QString t = text.trimmed();
  t.replace(QLatin1Char('-'), QLatin1Char(':'));
  for (const char* format : {"yyyy/M/d H:m:s", "yyyy/M/d"}) {
    const QDateTime value = QDateTime::fromString(t, QLatin1String(format));
    if (value.isValid()) return value;
  }
  return QDateTime();
}

JoinSequence::JoinSequence(NodeContext& ctx, const NetworkProfile& profile, ServerLink& link,
                           PeerLinks& peers)
    : ctx_(ctx), profile_(profile), link_(link), peers_(peers) {}

void JoinSequence::Send(const QString& line) { link_.SendServerLine(line); }

void JoinSequence::SetTray(int icon, const QString& toolTip) {
  if (!ctx_.ui.tray) return;
  if (icon >= 0) ctx_.ui.tray->SetIcon(icon);
  if (!toolTip.isEmpty()) ctx_.ui.tray->SetToolTip(toolTip);
}

void JoinSequence::SetMenusJoined(bool joined) {
  if (!ctx_.ui.menus) return;
  ctx_.ui.menus->SetEntryEnabled(MenuEntry::Connect, !joined);
  ctx_.ui.menus->SetEntryEnabled(MenuEntry::Disconnect, joined);
}

QString JoinSequence::Connected() const { return QString::number(ctx_.net.connectedPeers); }

void JoinSequence::DispatchServerResponse(int code, const QStringList& arguments) {
  try {
    Dispatch(code, arguments);
  } catch (const NetError& e) {
    ctx_.WriteLog(QStringLiteral("サーバーデータ処理中エラー：%1 %2").arg(e.number).arg(e.description), 4);
  } catch (const std::exception& e) {
    ctx_.WriteLog(QStringLiteral("サーバーデータ処理中エラー：-1 %1").arg(QString::fromLocal8Bit(e.what())), 4);
  }
}

void JoinSequence::Dispatch(int code, const QStringList& args) {
  NetworkState& net = ctx_.net;
  const quint32 purpose = net.linkPurpose;
  switch (code) {
    case 211:
      net.busyCount = 0;
      ctx_.WriteLog(QStringLiteral("プロトコルバージョンを通知します"), 0);
      ctx_.SetStatus(QStringLiteral("サーバーと通信しています..."), 1);
      if (purpose == kPurposeJoin) SetTray(4, QStringLiteral("サーバーと通信中です..."));
      Send(QStringLiteral("131 1 ") + profile_.identity);
      break;

    case 212: {
      bool ok = false;
      const float version = Arg(args, 0).trimmed().toFloat(&ok);
      if (!ok) throw NetError(kErrTypeMismatch, QStringLiteral("Type mismatch"));
      if (version >= profile_.minProtocolVersion) {
        if (purpose == kPurposeJoin) {
          ctx_.WriteLog(QStringLiteral("ピアIDの暫定割り当てを要求します"), 0);
          Send(QStringLiteral("113 1"));
        } else if (purpose == kPurposeEcho) {
          ctx_.WriteLog(QStringLiteral("ピアエコーを行います"), 1);
          ctx_.SetStatus(QStringLiteral("エコー送信中..."), 1);
          Send(QStringLiteral("123 1 %1:%2").arg(net.ownPeerId).arg(net.connectedPeers));
        } else if (purpose == kPurposeLeave) {
          ctx_.SetStatus(QStringLiteral("参加終了を通知しています..."), 1);
          ctx_.WriteLog(QStringLiteral("参加終了を行います"), 1);
          SetTray(4, QStringLiteral("切断処理中..."));
          Send(QStringLiteral("128 1 %1:%2").arg(net.ownPeerId).arg(net.key.privateKey));
        }
      } else {
        Send(QStringLiteral("192 1 Protocol_version_incompatible"));
        ctx_.WriteLog(QStringLiteral("サーバーが古く互換性がありません。再接続します"), 1);
        link_.Reconnect(purpose);
      }
      break;
    }

    case 233:
      OnPeerIdAssigned(args);
      break;

    case 234:
      if (Arg(args, 0) == QStringLiteral("1")) {
        ctx_.WriteLog(QStringLiteral("ポートは正常に開放されています"), 1);
        ctx_.status.Set(StatusField::PortCheck, QStringLiteral("正常"));
      } else {
        ctx_.WriteLog(QStringLiteral("ポートが開放されていません"), 1);
        ctx_.status.Set(StatusField::PortCheck, QStringLiteral("未開放"));
        peers_.StopListening();
      }
      ctx_.WriteLog(QStringLiteral("ピアデータを要求します"), 0);
      Send(QStringLiteral("115 1 %1").arg(net.ownPeerId));
      break;

    case 235:
      OnPeerList(args);
      break;

    case 236:
      net.totalPeers = IntArg(args, 0);
      ctx_.status.Set(StatusField::TotalPeers, QStringLiteral("%1ピア").arg(net.totalPeers));
      ctx_.WriteLog(QStringLiteral("鍵の割り当てを要求します"), 0);
      ctx_.SetStatus(QStringLiteral("鍵を要求しています..."), 1);
      Send(QStringLiteral("117 1 %1").arg(net.ownPeerId));
      break;

    case 237:
      StoreKey(args);
      ctx_.status.Set(StatusField::KeyState, QStringLiteral("有効"));
      ctx_.WriteLog(QStringLiteral("鍵が割り当てられました"), 1);
      RegionStep();
      break;

    case 295:
      if (purpose == kPurposeJoin) {
        ctx_.WriteLog(QStringLiteral("鍵を割り当てられませんでした。"), 3);
        ctx_.status.Set(StatusField::KeyState, QStringLiteral("無効"));
        RegionStep();
      } else if (purpose == kPurposeEcho) {
        ctx_.WriteLog(QStringLiteral("鍵を割り当てられませんでした。"), 3);
        AfterKeyStep();
      }
      break;

    case 247:
      if (args.isEmpty()) break;
      if (regionCounts_) regionCounts_(args[0]);
      ctx_.SetStatus(QStringLiteral("参加最終処理中..."), 1);
      ctx_.WriteLog(QStringLiteral("プロトコル時刻を要求します"), 0);
      Send(QStringLiteral("118 1"));
      break;

    case 238: {
      const QDateTime network = DateArg(args, 0);
      QDateTime local = ctx_.clock.LocalNow();
      local.setTime(QTime(local.time().hour(), local.time().minute(), local.time().second()));
      const qint64 difference = local.secsTo(network);
      if (difference != 0) {
        ctx_.clock.protocolOffset = static_cast<qint32>(difference);
        ctx_.WriteLog(QStringLiteral("プロトコル時刻補正をセットしました"), 0);
      } else {
        ctx_.WriteLog(QStringLiteral("プロトコル時刻との誤差は1秒以内です"), 0);
      }
      Send(QStringLiteral("119 1"));
      break;
    }

    case 243: {
      // An expiry never set (the zero date) counts as expired.
      const QDateTime& expiry = net.key.expiry;
      const bool renew = !expiry.isValid() || ctx_.ProtocolNow().secsTo(expiry) / 60 <= 30;
      if (renew) {
        ctx_.SetStatus(QStringLiteral("鍵を要求しています..."), 1);
        Send(QStringLiteral("124 1 %1:%2").arg(net.ownPeerId).arg(net.key.privateKey));
      } else {
        AfterKeyStep();
      }
      break;
    }

    case 244:
      StoreKey(args);
      ctx_.status.Set(StatusField::KeyState, QStringLiteral("有効"));
      ctx_.WriteLog(QStringLiteral("鍵が再割り当てされました"), 1);
      AfterKeyStep();
      break;

    case 239:
      OnComplete();
      break;

    case 248:
      Send(QStringLiteral("119 1"));
      break;

    case 292:
      ctx_.WriteLog(QStringLiteral("互換性がありません"), 1);
      net.linkPurpose = kPurposeNone;
      if (ctx_.ui.boxes) {
        ctx_.ui.boxes->Show(QStringLiteral("サーバーからバージョンが古いとエラーが返されました。\r\n\r\n"
                                           "当ソフトウェアのバージョンが古くなっている可能性があります。\r\n"
                                           "アップデートチェックを実行してください。"),
                            BoxIcon::Warning, BoxButtons::Ok, BoxAnswer::Ok);
      }
      if (ctx_.ui.windows) ctx_.ui.windows->ShowMainWindow(false);
      break;

    case 293:
      if (purpose == kPurposeEcho || purpose == kPurposeLeave) {
        Send(QStringLiteral("119 1"));
      } else if (purpose == kPurposeJoin) {
        link_.Reconnect(kPurposeJoin);
      }
      break;

    case 294:
      QThread::msleep(10);
      link_.HandleServerClose();
      break;

    case 298:
      OnBusy();
      break;

    case 299:
      if (purpose == kPurposeEcho) {
        ctx_.WriteLog(QStringLiteral("IPアドレスが変わっています。"), 1);
        ctx_.WriteLog(QStringLiteral("ネットワークに参加しなおします..."), 1);
        peers_.CloseAllPeers();
        link_.Reconnect(kPurposeJoin);
      } else if (purpose == kPurposeLeave) {
        Send(QStringLiteral("119 1"));
      }
      break;

    default:
      break;
  }
}

void JoinSequence::OnPeerIdAssigned(const QStringList& args) {
  NetworkState& net = ctx_.net;
  const Settings& s = ctx_.settings;
  net.ownPeerId = IntArg(args, 0);
  SetMenusJoined(true);

  bool checkPort = s.Port_Listen == 1;
  if (checkPort) {
    if (peers_.IsListening()) peers_.StopListening();
    const bool portInRange = s.Listen_Port >= 0 && s.Listen_Port <= 65535;
    const int error = portInRange ? peers_.StartListening(static_cast<quint16>(s.Listen_Port)) : 10049;
    if (error != 0) {
      const QString description =
          portInRange ? peers_.LastListenError() : QStringLiteral("Address not available");
      ctx_.WriteLog(QStringLiteral("サーバーデータ処理中エラー：%1 %2").arg(error).arg(description), 4);
      if (net.linkPurpose == kPurposeJoin) {
        // Without a listening socket there is no port to check: go on
        // with the peer list, whatever kept the port from opening.
        if (error == PeerLinks::kAddressInUse) {
          ctx_.WriteLog(QStringLiteral("ポートが既に使用されています。ポート開放をスキップします"), 3);
        }
        checkPort = false;
      } else if (error != PeerLinks::kAddressInUse) {
        return;
      }
    }
  }

  if (checkPort) {
    ctx_.WriteLog(QStringLiteral("ポートが開放しているかチェックしています..."), 1);
    ctx_.SetStatus(QStringLiteral("ポート開放状況をチェック中..."), 1);
    if (s.Use_UPnP == 1 && openPortMapping_) openPortMapping_(static_cast<quint16>(s.Listen_Port));
    Send(QStringLiteral("114 1 %1:%2").arg(net.ownPeerId).arg(s.Listen_Port));
  } else {
    ctx_.status.Set(StatusField::PortCheck, QStringLiteral("--"));
    ctx_.WriteLog(QStringLiteral("ピアデータを要求します"), 0);
    Send(QStringLiteral("115 1 %1").arg(net.ownPeerId));
  }
}

void JoinSequence::OnPeerList(const QStringList& args) {
  ctx_.SetStatus(QStringLiteral("ピアと接続しています..."), 1);
  const quint32 purpose = ctx_.net.linkPurpose;
  const quint64 connection = link_.ConnectionNumber();
  if (args.isEmpty()) {
    ctx_.WriteLog(QStringLiteral("ピアデータがないため、ネットワークとデータをやり取りすることが出来ません。"), 2);
  } else {
    peers_.ConnectToPeers(args);
    // Events ran while the peers were tried; if this exchange was replaced
    // meanwhile, the new one starts from its own greeting.
    if (link_.ConnectionNumber() != connection) return;
    if (purpose == kPurposeJoin) SetTray(5, QString());
  }

  const QString peerIds = QStringLiteral("155 1") + peers_.PeerIdList(QStringLiteral(":"), true, true);
  const Settings& s = ctx_.settings;
  if (purpose == kPurposeJoin) {
    ctx_.WriteLog(QStringLiteral("ピアIDの本割り当てを要求します"), 0);
    Send(peerIds + QStringLiteral("\r\n") +
         QStringLiteral("116 1 %1:%2:%3:%4:%5")
             .arg(ctx_.net.ownPeerId)
             .arg(s.Listen_Port)
             .arg(static_cast<int>(s.Area_Code), 3, 10, QLatin1Char('0'))
             .arg(ctx_.net.connectedPeers)
             .arg(s.Peer_Socket));
  } else if (purpose == kPurposeEcho) {
    Send(peerIds + QStringLiteral("\r\n118 1"));
  }
}

void JoinSequence::StoreKey(const QStringList& args) {
  // Check every field before storing any, so a short answer never leaves
  // half of a key behind.
  Arg(args, 3);
  const QDateTime expiry = DateArg(args, 2);
  PeerKey& key = ctx_.net.key;
  key.privateKey = args[0];
  key.publicKey = args[1];
  key.expiryText = args[2];
  key.expiry = expiry;
  key.signature = args[3];
}

void JoinSequence::RegionStep() {
  ctx_.WriteLog(QStringLiteral("各地域のピア数を取得します"), 0);
  ctx_.SetStatus(QStringLiteral("地域ピア数取得..."), 1);
  Send(QStringLiteral("127 1"));
}

void JoinSequence::AfterKeyStep() {
  if (ctx_.net.linkPurpose != kPurposeEcho) return;
  if (ctx_.net.connectedPeers > 2) {
    Send(QStringLiteral("118 1"));
  } else {
    Send(QStringLiteral("115 1 %1").arg(ctx_.net.ownPeerId));
  }
}

void JoinSequence::OnComplete() {
  NetworkState& net = ctx_.net;
  const QString joinedTip =
      QStringLiteral("接続中 総参加:%1 接続:%2").arg(net.totalPeers).arg(net.connectedPeers);
  switch (net.linkPurpose) {
    case kPurposeJoin:
      ctx_.life.joinRetryPending = 0;
      ctx_.WriteLog(QStringLiteral("参加処理が完了しました"), 1);
      ctx_.SetStatus(QStringLiteral("正常に接続されています。"), 1);
      SetTray(0, joinedTip);
      if (net.connectedPeers == 0) SetTray(7, QString());
      break;
    case kPurposeEcho:
      ctx_.WriteLog(QStringLiteral("エコー処理が完了しました"), 1);
      ctx_.SetStatus(QStringLiteral("正常に接続されています。"), 1);
      SetTray(-1, joinedTip);
      SetTray(net.connectedPeers >= 1 ? 0 : 7, QString());
      break;
    case kPurposeLeave:
      ctx_.WriteLog(QStringLiteral("参加終了処理が完了しました"), 1);
      ctx_.SetStatus(QStringLiteral("切断しました。"), 1);
      SetTray(1, QStringLiteral("接続されていません。"));
      net.ownPeerId = 0;
      SetMenusJoined(false);
      break;
    default:
      break;
  }
  net.linkPurpose = kPurposeNone;
  link_.CloseServerSocket();
}

void JoinSequence::OnBusy() {
  NetworkState& net = ctx_.net;
  net.busyCount += 1;
  if (net.busyCount == 10) {
    ctx_.WriteLog(QStringLiteral("サーバーとの通信が正常に出来ませんでした。本ソフトウェアまたはネットワークに"
                                 "問題が発生している可能性があります。"),
                  2);
    net.linkPurpose = kPurposeNone;
    if (ctx_.ui.boxes) {
      ctx_.ui.boxes->Show(QStringLiteral("サーバーと正常に通信出来ませんでした。\r\n\r\n"
                                         "当ソフトウェアのバージョンが古くなっている可能性があります。\r\n"
                                         "アップデートチェックを実行してみてください。"),
                          BoxIcon::Warning, BoxButtons::Ok, BoxAnswer::Ok);
    }
  }
  const quint64 connection = link_.ConnectionNumber();
  QThread::msleep(100);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // Another exchange may have taken over the link while events ran.
  if (link_.ConnectionNumber() != connection) return;
  link_.HandleServerClose();
}

}  // namespace orva
