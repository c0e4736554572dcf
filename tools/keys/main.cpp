// orva_keys: makes the development network's keys.
//
//   orva_keys generate [FOLDER] [--force]
//       Writes a new key set into FOLDER (default "."): server_data,
//       server_peerkey and chat_peerkey, each 1024-bit RSA with exponent 17,
//       as NAME.pub (base64 DER SubjectPublicKeyInfo, 216 characters) and
//       NAME.key (base64 DER PKCS#1 RSAPrivateKey). Existing files are kept
//       unless --force is given.
//   orva_keys peerkey
//       Prints a fresh 384-bit peer key: the private key text on the first
//       line, the public key text on the second.
//
// Key files hold one line of text without a line break.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>

#include "client/signed/crypto.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: orva_keys generate [FOLDER] [--force]\n"
               "       orva_keys peerkey\n");
  return 2;
}

bool WriteText(const QString& path, const QByteArray& text) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(text) == text.size() && file.flush();
}

int Generate(const QString& folder, bool force) {
  static const char* const kNames[] = {"server_data", "server_peerkey", "chat_peerkey"};
  QDir dir(folder);
  if (!dir.exists() && !QDir().mkpath(folder)) {
    std::fprintf(stderr, "orva_keys: cannot create %s\n", qPrintable(folder));
    return 1;
  }
  if (!force) {
    for (const char* name : kNames) {
      for (const char* ext : {".pub", ".key"}) {
        const QString path = dir.filePath(QString::fromLatin1(name) + QString::fromLatin1(ext));
        if (QFile::exists(path)) {
          std::fprintf(stderr, "orva_keys: %s exists (use --force to replace the set)\n",
                       qPrintable(path));
          return 1;
        }
      }
    }
  }
  for (const char* name : kNames) {
    const auto pair = orva::crypto::GenerateServerKey();
    if (!pair) {
      std::fprintf(stderr, "orva_keys: key generation failed\n");
      return 1;
    }
    const QString base = dir.filePath(QString::fromLatin1(name));
    if (!WriteText(base + ".pub", pair->publicKeyText) ||
        !WriteText(base + ".key", pair->privateKeyText)) {
      std::fprintf(stderr, "orva_keys: cannot write %s\n", qPrintable(base));
      return 1;
    }
    std::printf("%s.pub (%d characters), %s.key\n", qPrintable(base),
                static_cast<int>(pair->publicKeyText.size()), qPrintable(base));
  }
  return 0;
}

int PeerKey() {
  const auto pair = orva::crypto::GeneratePeerKey();
  if (!pair) {
    std::fprintf(stderr, "orva_keys: key generation failed\n");
    return 1;
  }
  std::printf("%s\n%s\n", pair->privateKeyText.constData(), pair->publicKeyText.constData());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  if (std::strcmp(argv[1], "generate") == 0) {
    QString folder = QStringLiteral(".");
    bool force = false;
    for (int i = 2; i < argc; ++i) {
      if (std::strcmp(argv[i], "--force") == 0) {
        force = true;
      } else {
        folder = QString::fromLocal8Bit(argv[i]);
      }
    }
    return Generate(folder, force);
  }
  if (std::strcmp(argv[1], "peerkey") == 0 && argc == 2) return PeerKey();
  return Usage();
}
