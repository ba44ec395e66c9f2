// Small helpers for the tests of the Windows helpers.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "text_win.h"

namespace helpers_test {

using qav::win::W;
inline std::u16string ascii(const char* s) { return std::u16string(s, s + strlen(s)); }
inline std::u16string U(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
inline std::u16string U(const std::wstring& s) { return U(s.c_str()); }
inline std::string narrow(const std::u16string& s) {
  int n = WideCharToMultiByte(CP_UTF8, 0, W(s), static_cast<int>(s.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, W(s), static_cast<int>(s.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

inline std::u16string currentFolder() {
  wchar_t buf[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH + 1, buf);
  return U(buf);
}

inline bool isFolder(const std::u16string& path) {
  DWORD a = GetFileAttributesW(W(path));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
inline bool exists(const std::u16string& path) {
  return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

// Whole content of a file; `ok` false when it cannot be read.
inline std::string readAll(const std::u16string& path, bool* ok = nullptr) {
  std::string data;
  HANDLE h = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (ok) *ok = h != INVALID_HANDLE_VALUE;
  if (h == INVALID_HANDLE_VALUE) return data;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) data.append(buf, n);
  CloseHandle(h);
  return data;
}

inline bool writeAll(const std::u16string& path, const std::string& data) {
  HANDLE h = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  bool ok = WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &n, nullptr) &&
            n == data.size();
  CloseHandle(h);
  return ok;
}

// Removes a file or a whole folder tree (read-only files included).
inline void removeTree(const std::u16string& path) {
  DWORD a = GetFileAttributesW(W(path));
  if (a == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(W(path), FILE_ATTRIBUTE_NORMAL);
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(W(path));
    return;
  }
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW(W(path + u"\\*"), &fd);
  if (f != INVALID_HANDLE_VALUE) {
    do {
      std::u16string name = U(fd.cFileName);
      if (name != u"." && name != u"..") removeTree(path + u"\\" + name);
    } while (FindNextFileW(f, &fd));
    FindClose(f);
  }
  RemoveDirectoryW(W(path));
}

// Names in a folder (without "." and ".."), sorted by the file system.
inline std::u16string listing(const std::u16string& folder) {
  std::u16string names;
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW(W(folder + u"\\*"), &fd);
  if (f == INVALID_HANDLE_VALUE) return names;
  do {
    std::u16string name = U(fd.cFileName);
    if (name != u"." && name != u"..") names += name + u"|";
  } while (FindNextFileW(f, &fd));
  FindClose(f);
  return names;
}

}  // namespace helpers_test
