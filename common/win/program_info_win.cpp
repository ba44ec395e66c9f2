#include "program_info_win.h"

#include <windows.h>

#include "version_resource.h"

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
  VersionInfo info;
  if (data && parseVersionResource(LockResource(data), SizeofResource(nullptr, res), info)) {
    v.major = info.major;
    v.minor = info.minor;
    v.revision = info.revision;
    v.productName = info.productName;
  }
  return v;
}

}  // namespace qav::win
