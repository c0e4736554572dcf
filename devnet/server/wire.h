#pragma once
// Line shapes and dates of the server and peer protocols, as the server
// writes and reads them.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace orva::devnet {

// Protocol version and identification the server announces (212 and the
// peer handshake).
inline constexpr char kServerProtocolVersion[] = "0.32";
inline constexpr char kServerIdentification[] = "0.32:Orva_Server:Devnet1";
inline constexpr double kLowestProtocolVersion = 0.3;

// The network's clock is Japan time, whatever the machine's zone.
QDateTime ProtocolTimeNow();

// "yyyy/mm/dd hh-nn-ss" (no ":" so that it can travel as one field).
QString ExpiryText(const QDateTime& t);
// Reads an ExpiryText back; nullopt when it is not one.
std::optional<QDateTime> ParseExpiryText(const QString& text);

// A request line "ccc 1" or "ccc 1 a:b:c".
struct Request {
  int code = 0;
  QStringList args;  // empty when the line has no argument part
  bool hasArgs = false;
};
// nullopt for anything else: wrong code shape, a protocol field other than
// "1", a missing blank.
std::optional<Request> ParseRequest(const QString& line);

// "ccc 1" or "ccc 1 args".
QString ResponseLine(int code, const QString& args = QString());

// Reads a decimal integer field strictly (no blanks, no sign unless allowed).
std::optional<qint64> ParseUInt(const QString& s, qint64 max);

// Protocol version text as the clients compare it (a single-precision number).
std::optional<double> ParseVersion(const QString& s);

}  // namespace orva::devnet

namespace orva::devnet {
// Takes every complete CR LF line out of `buffer` (bytes, without the CR LF);
// what follows the last CR LF stays in the buffer.
QList<QByteArray> TakeLines(QByteArray& buffer);
}  // namespace orva::devnet
