// Small text helpers between the programs' UTF-16 texts and the wide-character
// API (wchar_t is 2 bytes on Windows, so the two are the same units).
#pragma once
#include <string>

namespace qav::win {

inline const wchar_t* W(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline std::u16string fromW(const wchar_t* s) {
  return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}
inline std::u16string fromW(const wchar_t* s, size_t n) {
  return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}

// Lower case as the file system and the registry compare names (not only ASCII).
std::u16string lowerCase(std::u16string s);

}  // namespace qav::win
