#include "cp932.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>
#include <vector>

namespace orva::cp932 {
namespace {

// iconv descriptors are not thread-safe; the programs are single-threaded
// but tests and tools may not be, so each direction is guarded.
struct Converter {
  iconv_t cd;
  std::mutex lock;
  Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

Converter& encoder() {
  static Converter c("CP932", "UTF-16LE");
  return c;
}
Converter& decoder() {
  static Converter c("UTF-16LE", "CP932");
  return c;
}

// Runs one conversion; on an unconvertible input unit, writes `replacement`
// (in the target encoding) and skips `skipBytes` input bytes.
QByteArray run(Converter& conv, const char* in, size_t inLen, const QByteArray& replacement,
               size_t skipBytes) {
  std::lock_guard guard(conv.lock);
  QByteArray out;
  if (conv.cd == reinterpret_cast<iconv_t>(-1)) return out;
  iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
  std::vector<char> buf(inLen * 2 + 16);
  char* inPtr = const_cast<char*>(in);
  size_t inLeft = inLen;
  while (inLeft > 0) {
    char* outPtr = buf.data();
    size_t outLeft = buf.size();
    size_t r = iconv(conv.cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buf.data(), static_cast<qsizetype>(buf.size() - outLeft));
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: replace and skip the offending unit.
    out.append(replacement);
    size_t skip = std::min(skipBytes, inLeft);
    inPtr += skip;
    inLeft -= skip;
    iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace

QByteArray fromUnicode(const QString& text) {
  if (text.isEmpty()) return {};
  // Surrogate pairs never map to code page 932; skipping 2 bytes of UTF-16
  // per failure yields one "?" for each UTF-16 unit, which matches the
  // character count the rest of the system works with.
  return run(encoder(), reinterpret_cast<const char*>(text.utf16()),
             static_cast<size_t>(text.size()) * 2, QByteArray("?"), 2);
}

QString toUnicode(const QByteArray& bytes) {
  if (bytes.isEmpty()) return {};
  static const QByteArray replacement("\xFD\xFF", 2);  // U+FFFD in UTF-16LE
  QByteArray u16 = run(decoder(), bytes.constData(), static_cast<size_t>(bytes.size()),
                       replacement, 1);
  return QString(reinterpret_cast<const QChar*>(u16.constData()), u16.size() / 2);
}

qsizetype completePrefixLength(const QByteArray& bytes) {
  qsizetype i = 0;
  const qsizetype n = bytes.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (!lead) {
      ++i;
    } else if (i + 1 < n) {
      i += 2;
    } else {
      break;
    }
  }
  return i;
}

}  // namespace orva::cp932
