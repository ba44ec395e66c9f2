// Windows build: the system's ANSI code page, without best-fit mapping.
#include "codepage.h"

#include <windows.h>

namespace qav {

bool toCodePage(const std::u16string& text, std::string& out) {
  out.clear();
  if (text.empty()) return true;
  auto src = reinterpret_cast<const wchar_t*>(text.data());
  int len = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, src, len, nullptr, 0, nullptr,
                              &usedDefault);
  if (n <= 0 || usedDefault) return false;
  out.resize(n);
  n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, src, len, out.data(), n, nullptr,
                          &usedDefault);
  return n > 0 && !usedDefault;
}

bool fromCodePage(const std::string& bytes, std::u16string& out) {
  out.clear();
  if (bytes.empty()) return true;
  int len = static_cast<int>(bytes.size());
  int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), len, nullptr, 0);
  if (n <= 0) return false;
  out.resize(n);
  n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), len,
                          reinterpret_cast<wchar_t*>(out.data()), n);
  return n > 0;
}

}  // namespace qav
