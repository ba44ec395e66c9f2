// Native build: glibc iconv with CP950, the code page of the Windows programs.
#include "codepage.h"

#include <iconv.h>

#include <cerrno>

namespace qav {
namespace {

bool convert(const char* to, const char* from, const char* in, size_t inLen, std::string& out) {
  out.clear();
  if (inLen == 0) return true;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string buf(inLen * 2 + 16, '\0');
  char* src = const_cast<char*>(in);
  size_t srcLeft = inLen;
  size_t done = 0;
  bool ok = true;
  while (srcLeft > 0) {
    char* dst = buf.data() + done;
    size_t dstLeft = buf.size() - done;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    done = buf.size() - dstLeft;
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) { buf.resize(buf.size() * 2); continue; }
      ok = false;  // EILSEQ / EINVAL: no exact mapping or a cut sequence
      break;
    }
    // iconv counts irreversible (approximated) conversions in r: refuse them.
    if (r != 0) { ok = false; break; }
  }
  iconv_close(cd);
  if (ok) out.assign(buf.data(), done);
  return ok;
}

}  // namespace

bool toCodePage(const std::u16string& text, std::string& out) {
  return convert("CP950", "UTF-16LE", reinterpret_cast<const char*>(text.data()),
                 text.size() * 2, out);
}

bool fromCodePage(const std::string& bytes, std::u16string& out) {
  std::string raw;
  out.clear();
  if (!convert("UTF-16LE", "CP950", bytes.data(), bytes.size(), raw)) return false;
  out.resize(raw.size() / 2);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                   (static_cast<unsigned char>(raw[2 * i + 1]) << 8));
  return true;
}

}  // namespace qav
