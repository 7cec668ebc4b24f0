#include "platform/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace velrix {
namespace {

// Converts as much as it can; on an invalid or unmappable sequence it calls
// onBad with the output so far and skips skipBytes input bytes.
template <typename OnBad>
std::string Convert(const char* to, const char* from, const std::string& in, OnBad onBad,
                    bool* ok) {
  if (ok != nullptr) *ok = true;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    if (ok != nullptr) *ok = false;
    return in;
  }
  std::string out;
  std::vector<char> buffer(in.size() * 4 + 16);
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  while (true) {
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t r = iconv(cd, inLeft > 0 ? &inPtr : nullptr, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), static_cast<std::size_t>(outPtr - buffer.data()));
    if (r != static_cast<std::size_t>(-1)) {
      if (inLeft == 0) break;
      continue;
    }
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: one bad character or a truncated one at the end.
    if (ok != nullptr) *ok = false;
    const std::size_t skip = onBad(out, static_cast<unsigned char>(*inPtr));
    const std::size_t step = skip < inLeft ? skip : inLeft;
    inPtr += step;
    inLeft -= step;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (inLeft == 0) break;
  }
  iconv_close(cd);
  return out;
}

std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

}  // namespace

std::string Utf8ToCp932(const std::string& utf8, bool* ok) {
  return Convert(
      "CP932", "UTF-8", utf8,
      [](std::string&, unsigned char lead) { return Utf8SequenceLength(lead); }, ok);
}

std::string Cp932ToUtf8(const std::string& cp932) {
  return Convert(
      "UTF-8", "CP932", cp932,
      [](std::string& out, unsigned char) {
        out += "\xEF\xBF\xBD";
        return std::size_t{1};
      },
      nullptr);
}

std::size_t Cp932CharLength(unsigned char lead) {
  return ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) ? 2 : 1;
}

std::string CutCp932(const std::string& cp932, std::size_t maxBytes) {
  std::size_t pos = 0;
  while (pos < cp932.size()) {
    const std::size_t len = Cp932CharLength(static_cast<unsigned char>(cp932[pos]));
    if (pos + len > maxBytes || pos + len > cp932.size()) break;
    pos += len;
  }
  return cp932.substr(0, pos);
}

std::string CutUtf8ToCp932Bytes(const std::string& utf8, std::size_t maxBytes) {
  // Most texts fit whole; only a longer one is measured character by
  // character (a round trip through CP932 could swap look-alike characters).
  bool ok = false;
  if (Utf8ToCp932(utf8, &ok).size() <= maxBytes && ok) return utf8;
  std::size_t bytes = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::size_t len = Utf8SequenceLength(static_cast<unsigned char>(utf8[pos]));
    const std::string one = utf8.substr(pos, len);
    const std::size_t width = Utf8ToCp932(one).size();
    if (bytes + width > maxBytes) break;
    bytes += width;
    pos += len;
  }
  return utf8.substr(0, pos);
}

}  // namespace velrix
