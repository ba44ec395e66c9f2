#include "zostr.h"

#include <chrono>
#include <vector>

#include "codepage.h"

namespace qav {
namespace {

constexpr int kMinKey = 5;
constexpr int kMaxKey = 14;

int hexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// Value of the digit pair at text[pos], or -1 when either is not a hex digit.
int pairValue(const std::u16string& text, size_t pos) {
  const int hi = hexValue(text[pos]);
  const int lo = hexValue(text[pos + 1]);
  return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

unsigned checksum(const std::u16string& text, size_t count) {
  unsigned s = 0;
  for (size_t i = 0; i < count; ++i) s ^= text[i];
  return s;
}

uint64_t splitmix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

std::u16string cZostr::FHex(int64_t x) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  const unsigned b = static_cast<uint64_t>(x) & 0xFF;
  return {digits[b >> 4], digits[b & 15]};
}

uint32_t cZostr::draw(uint64_t& state, uint32_t bound) {
  if (random_) return random_(bound) % bound;
  return static_cast<uint32_t>(((splitmix64(state) >> 32) * bound) >> 32);
}

void cZostr::fail(int number, const char16_t* source, const char16_t* description) {
  if (cZostrError) cZostrError(number, source, description);
}

std::u16string cZostr::encode(const std::u16string& strData) {
  std::string bytes;
  if (!toCodePage(strData, bytes)) {
    fail(kCodePageError, u"cZostr.encode", u"文字含有系統字碼頁無法表示的字元！");
    return u"";
  }

  // A fresh seed for every encoding: the clock, plus a per-process count so
  // that two encodings within one clock tick still get different keys.
  static uint64_t calls = 0;
  uint64_t state = static_cast<uint64_t>(
                       std::chrono::high_resolution_clock::now().time_since_epoch().count()) ^
                   (++calls * 0xD1B54A32D192ED03ull);

  const int n = kMinKey + static_cast<int>(draw(state, kMaxKey - kMinKey + 1));
  std::vector<int> key(n + 1);
  std::u16string out = FHex(n + 65);
  for (int& k : key) {
    k = static_cast<int>(draw(state, 256));
    out += FHex(k);
  }
  for (size_t i = 0; i < bytes.size(); ++i)
    out += FHex(static_cast<unsigned char>(bytes[i]) + key[(i + 1) % key.size()]);
  out += FHex(checksum(out, out.size()));
  return out;
}

std::u16string cZostr::Decode(const std::u16string& strData) {
  const size_t len = strData.size();
  if (len < 2 || FHex(checksum(strData, len - 2)) != strData.substr(len - 2)) {
    fail(kChecksumError, u"cZostr.Decode", u"系統授權資料驗證錯誤！　　　");
    return u"";
  }

  static const char16_t* const kBadFormat = u"編碼資料格式錯誤！";
  const int header = pairValue(strData, 0);
  const int n = header - 65;
  if (header < 0 || n < kMinKey || n > kMaxKey) {
    fail(kFormatError, u"cZostr.Decode", kBadFormat);
    return u"";
  }
  // Header, key and checksum must fit, and the body must be whole digit pairs.
  const size_t start = 2 + 2 * static_cast<size_t>(n + 1);
  if (len < start + 2 || (len - start - 2) % 2 != 0) {
    fail(kFormatError, u"cZostr.Decode", kBadFormat);
    return u"";
  }
  std::vector<int> key(n + 1);
  for (int i = 0; i <= n; ++i) {
    key[i] = pairValue(strData, 2 + 2 * static_cast<size_t>(i));
    if (key[i] < 0) {
      fail(kFormatError, u"cZostr.Decode", kBadFormat);
      return u"";
    }
  }

  const size_t count = (len - start - 2) / 2;
  if (count == 0) return u"";  // the encoding of ""
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) {
    const int c = pairValue(strData, start + 2 * i);
    if (c < 0) {
      fail(kFormatError, u"cZostr.Decode", kBadFormat);
      return u"";
    }
    bytes[i] = static_cast<char>((c - key[(i + 1) % key.size()] + 256) & 0xFF);
  }

  std::u16string text;
  if (!fromCodePage(bytes, text)) {
    fail(kCodePageError, u"cZostr.Decode", u"解碼結果不是有效的系統字碼頁文字！");
    return u"";
  }
  return text;
}

}  // namespace qav
