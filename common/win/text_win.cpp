#include "text_win.h"

#include <windows.h>

namespace qav::win {

std::u16string lowerCase(std::u16string s) {
  if (s.empty()) return s;
  // LCMAP_LOWERCASE maps unit by unit, so the length stays the same.
  std::u16string out(s.size(), u'\0');
  int n = LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, W(s), static_cast<int>(s.size()),
                       reinterpret_cast<wchar_t*>(out.data()), static_cast<int>(out.size()));
  return n == static_cast<int>(s.size()) ? out : s;
}

}  // namespace qav::win
