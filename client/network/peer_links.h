#pragma once
// Peer links as the server conversations see them: the listening socket,
// the connections opened from a server peer list, the connected-peer count
// and the list of linked peer IDs.
//
// This is the small surface the join, echo and leave conversations use.
// The slots below only open and count TCP connections; the handshake,
// accepting, the relay and the sweeps live behind the same calls later.
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <vector>

#include "client/core/node_context.h"
#include "client/network/network_profile.h"

namespace orva {

class PeerLinks : public QObject {
  Q_OBJECT

 public:
  // Socket error number for "address already in use".
  static constexpr int kAddressInUse = 10048;

  PeerLinks(NodeContext& ctx, const NetworkProfile& profile, QObject* parent = nullptr);
  ~PeerLinks() override;

  // Local address for the listening socket and for outgoing peer
  // connections (--bind). Null: any address / chosen by the system.
  void SetLocalAddress(const QHostAddress& address) { localAddress_ = address; }

  // Starts listening on `port`. Returns 0 on success, else a socket error
  // number: kAddressInUse (10048) when the port is taken. The description
  // of the last failure is in LastListenError().
  int StartListening(quint16 port);
  QString LastListenError() const { return listenError_; }
  void StopListening();
  bool IsListening() const;

  // Links to the peers of a server peer list; each entry is
  // "host,port,peerId". Returns when its connection attempts are over:
  // each free slot waits up to Peer_Timeout ms, and no entries are taken
  // once more than 3 peers are linked. Malformed entries are skipped.
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

 private:
  struct Slot {
    std::unique_ptr<QTcpSocket> socket;
    QByteArray buffer;
    quint32 remotePeerId = 0;
    bool ownLink = false;
  };

  void EnsureSlots();
  bool InUse(const Slot& slot) const;
  int FreeSlot() const;  // index into slots_, -1 when none
  void CloseSlot(Slot& slot);
  void OnPeerClosed(QTcpSocket* socket);
  void OnIncoming();

  NodeContext& ctx_;
  const NetworkProfile& profile_;
  QHostAddress localAddress_;
  std::unique_ptr<QTcpServer> listener_;
  QString listenError_;
  std::vector<Slot> slots_;
  bool connectionCompleted_ = false;
};

}  // namespace orva
