#include "version.h"

namespace qav {

std::u16string decimal(int64_t n, int minDigits) {
  bool negative = n < 0;
  uint64_t v = negative ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  char16_t digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (count < minDigits && count < 20) digits[count++] = u'0';
  std::u16string out;
  if (negative) out += u'-';
  while (count > 0) out += digits[--count];
  return out;
}

std::u16string versionText(int major, int minor, int revision) {
  return decimal(major) + u"." + decimal(minor) + u"." + decimal(revision, 2);
}

std::u16string runNameFor(const std::u16string& baseName) {
  size_t first = baseName.find_first_not_of(u' ');
  size_t last = baseName.find_last_not_of(u' ');
  std::u16string trimmed =
      first == std::u16string::npos ? std::u16string() : baseName.substr(first, last - first + 1);
  return trimmed == u"QAV集裝檔" ? std::u16string(u"qav") : baseName;
}

}  // namespace qav
