#include "program_info_win.h"

#include <windows.h>

#include <vector>

namespace qav::win {

std::u16string modulePath() {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()),
                                 static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::u16string moduleFolder() {
  std::u16string path = modulePath();
  size_t slash = path.find_last_of(u'\\');
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

std::u16string moduleBaseName() {
  std::u16string path = modulePath();
  size_t slash = path.find_last_of(u'\\');
  std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
  size_t dot = name.find_last_of(u'.');
  return dot == std::u16string::npos ? name : name.substr(0, dot);
}

ProgramVersion readOwnVersion() {
  ProgramVersion v;
  HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
  HGLOBAL data = res ? LoadResource(nullptr, res) : nullptr;
  DWORD size = res ? SizeofResource(nullptr, res) : 0;
  if (!data || size == 0) return v;
  // VerQueryValue needs a writable copy of the block.
  std::vector<char> block(static_cast<const char*>(LockResource(data)),
                          static_cast<const char*>(LockResource(data)) + size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed) {
    v.major = HIWORD(fixed->dwFileVersionMS);
    v.minor = LOWORD(fixed->dwFileVersionMS);
    v.revision = HIWORD(fixed->dwFileVersionLS);
  }
  wchar_t* name = nullptr;
  if (VerQueryValueW(block.data(), L"\\StringFileInfo\\040404b0\\ProductName",
                     reinterpret_cast<void**>(&name), &len) && name && len > 0) {
    v.productName.assign(reinterpret_cast<const char16_t*>(name), len - 1);
  }
  return v;
}

}  // namespace qav::win
