#pragma once
// The network's public keys built into the programs. The build takes them
// from the key files named by ORVA_SERVER_DATA_KEY, ORVA_SERVER_PEERKEY_KEY
// and ORVA_CHAT_PEERKEY_KEY (by default the development network's), so
// another network's keys are built in without touching code.
#include <QString>

namespace orva {

// The two keys a node checks signed items against.
struct ServerKeys {
  QString dataKey;     // verifies server-signed items
  QString peerKeyKey;  // verifies the server's signature over a peer key
};

// Base64 DER SubjectPublicKeyInfo texts (216 characters for the 1024-bit,
// exponent-17 keys of the network).
struct BuiltInKeyTexts {
  QString serverData;     // server data key
  QString serverPeerKey;  // server peer-key key
  QString chatPeerKey;    // the chat network's peer-key key
};

BuiltInKeyTexts BuiltInKeys();

// The client's keys: server data key and server peer-key key.
ServerKeys ClientServerKeys();
// The chat plugin's keys: the chat network's peer-key key in place of the
// server peer-key key.
ServerKeys ChatServerKeys();

}  // namespace orva
