#pragma once
// Peer links: the listening socket, the fixed table of link slots
// 1 .. Peer_Socket, accepting and opening links, the four-step handshake,
// the framing of received bytes into lines and the closing of links.
//
// Handshake (the accepting side is the parent, the opening side the child):
//   parent: accept, send "614 1 <identity>"            stage 1
//   child:  connected                                   stage 6
//           gets 614 (version >= floor), "634 1 <id>"   stage 7
//   parent: gets 634 (version >= floor), "612 1"        stage 2
//   child:  gets 612, "632 1 <own peer ID>"             stage 8 (complete)
//   parent: gets 632, learns the child's peer ID        stage 3 (complete)
// "611 1" is answered by "631 1" at any stage; "631" and "694" are ignored.
// A handshake line out of order or of the wrong shape drops the link.
//
// Framing: received bytes stay bytes until a whole CR LF line is there (no
// code page 932 trail byte is CR or LF), so a two-byte character split
// across reads survives. A link that sends more than kMaxLineBytes without
// a CR LF is dropped, so no peer can make the buffer grow without bound.
//
// Every whole line goes to HandlePeerLine, which takes it apart and hands it
// to the line handler: the relay's DispatchPeerItem once a PeerRelay is
// attached; without one, the handshake alone (HandleHandshake).
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <vector>

#include "client/core/node_context.h"
#include "client/network/network_profile.h"

namespace orva {

class PeerLinks : public QObject {
  Q_OBJECT

 public:
  // Socket error number for "address already in use".
  static constexpr int kAddressInUse = 10048;
  // Links whose handshake is not complete this long after their start are
  // closed by SweepSlots.
  static constexpr qint64 kIncompleteLinkMs = 20000;
  // Bytes a link may send without a CR LF before it is dropped. The longest
  // legitimate line (a full quake bulletin with its point list) is tens of
  // KiB; this leaves a wide margin.
  static constexpr qsizetype kMaxLineBytes = 512 * 1024;

  // Link stages.
  enum Stage : qint32 {
    kFree = 0,
    kParentAccepted = 1, kParentVersionOk = 2, kParentComplete = 3,
    kChildConnected = 6, kChildVersionOk = 7, kChildComplete = 8,
  };

  // DispatchPeerItem(code, hops as received, rest, fields, slot).
  using LineHandler =
      std::function<void(int code, qint64 hops, const QString& rest, const QStringList& fields, int slot)>;
  // Milliseconds of a monotonic clock (start times and the sweep).
  using MsClock = std::function<qint64()>;

  PeerLinks(NodeContext& ctx, const NetworkProfile& profile, QObject* parent = nullptr);
  ~PeerLinks() override;

  // Local address for the listening socket and for outgoing peer
  // connections (--bind). Null: any address / chosen by the system.
  void SetLocalAddress(const QHostAddress& address) { localAddress_ = address; }
  QHostAddress LocalAddress() const { return localAddress_; }

  // Starts listening on `port`. Returns 0 on success, else a socket error
  // number: kAddressInUse (10048) when the port is taken. The description
  // of the last failure is in LastListenError().
  int StartListening(quint16 port);
  QString LastListenError() const { return listenError_; }
  void StopListening();
  bool IsListening() const;
  quint16 ListeningPort() const;

  // Creates the slots 1 .. Peer_Socket (start-up); later calls add slots
  // when Peer_Socket grew. Every other call creates them when missing.
  void CreateSlots();
  int SlotCount() const { return static_cast<int>(slots_.size()) - 1; }

  // Links to the peers of a server peer list; each entry is
  // "host,port,peerId". Returns when its connection attempts are over:
  // each free slot waits, processing events, until any slot's connection
  // completes or Peer_Timeout ms passed; no entries are taken once more
  // than 3 peers are linked. Malformed entries are skipped.
  void ConnectToPeers(const QStringList& entries);

  // Counts the links in use into NetworkState::connectedPeers and shows
  // "Nピア" as the connected-peers value.
  void CountPeers();

  // Remote peer IDs of the links in use, in slot order, joined by
  // `separator`; with `leadingBlank` one blank before a non-empty list;
  // with `fromFirstOwnLink` slots are skipped until the first one that a
  // ConnectToPeers call linked.
  QString PeerIdList(const QString& separator, bool leadingBlank, bool fromFirstOwnLink) const;

  // Closes every link in use, empties its buffer and recounts.
  void CloseAllPeers();

  // Main timer step 1: closes slots whose socket failed, and links whose
  // handshake is still incomplete kIncompleteLinkMs after their start.
  void SweepSlots();

  // True when a slot other than `exceptIndex` is in use with `address`.
  bool wsPeer__MultiSessionCheck(const QHostAddress& address, int exceptIndex) const;
  // Drops the link in `slot` after a protocol violation.
  void wsPeer__RequestError(int slot);
  // The close handling: "ピアから切断されました", close, empty, recount.
  void CloseHandling(int slot);

  // Slot queries; slots are 1 .. SlotCount(), others answer as free.
  bool InUse(int slot) const;       // connected
  bool IsClosed(int slot) const;    // no connection, not even connecting
  bool IsComplete(int slot) const;  // in use and stage 3 or 8
  qint32 StageOf(int slot) const;
  quint32 RemotePeerId(int slot) const;
  bool OwnLink(int slot) const;
  QHostAddress RemoteAddress(int slot) const;
  qsizetype BufferedBytes(int slot) const;

  // Sends `line` + CR LF in code page 932 on one slot. False (nothing sent)
  // when the slot is not in use or the write fails.
  bool SendLine(int slot, const QString& line);

  // Takes one received line (without CR LF) apart and hands it to the line
  // handler. Malformed lines are logged and dropped.
  void HandlePeerLine(const QString& line, int slot);
  // The handshake part of the dispatch: handles 611, 612, 614, 631, 632,
  // 634 and 694 and returns true; any other code returns false.
  // Throws NetError for a field that is not a number.
  bool HandleHandshake(int code, const QStringList& fields, int slot);

  void SetLineHandler(LineHandler handler) { lineHandler_ = std::move(handler); }
  // Replaces the clock of start times and the sweep (tests).
  void SetClock(MsClock clock) { clock_ = std::move(clock); }

 private:
  struct Slot {
    QTcpSocket* socket = nullptr;  // owned; null when never used or closed
    QByteArray buffer;
    qint32 stage = kFree;
    qint64 startMs = 0;
    quint32 remotePeerId = 0;
    bool ownLink = false;  // kept when the link closes
    bool reading = false;  // inside the line loop of this slot
  };

  bool Valid(int slot) const { return slot >= 1 && slot < static_cast<int>(slots_.size()); }
  int FreeSlot() const;  // 0 when none
  QTcpSocket* NewSocket(int slot);
  void Attach(int slot, QTcpSocket* socket);
  // Closes the socket (pending output still goes out) and clears the
  // record; no log, no recount.
  void ReleaseSlot(int slot);
  int SlotOf(const QTcpSocket* socket) const;
  void OnIncoming();
  void OnConnected(QTcpSocket* socket);
  void OnReadyRead(QTcpSocket* socket);
  void OnDisconnected(QTcpSocket* socket);
  void ReadLines(int slot, QTcpSocket* socket);
  qint64 Now() const;
  static bool VersionOk(const QString& text, float floor);

  NodeContext& ctx_;
  const NetworkProfile& profile_;
  QHostAddress localAddress_;
  QTcpServer* listener_ = nullptr;
  QString listenError_;
  std::vector<Slot> slots_;  // index 0 unused
  // Set by the connection-completed event of any slot; ConnectToPeers
  // clears it before each attempt and waits for it.
  bool connectionCompleted_ = false;
  LineHandler lineHandler_;
  MsClock clock_;
};

}  // namespace orva
