#include "filetimes_win.h"

#include <windows.h>

#include "text_win.h"

namespace qav::win {
namespace {

HANDLE openForAttributes(const std::u16string& path, DWORD access) {
  // Attribute access does not conflict with other programs' sharing modes and
  // is allowed on read-only files.
  return CreateFileW(W(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

uint64_t toNumber(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME toFileTime(uint64_t v) {
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(v);
  t.dwHighDateTime = static_cast<DWORD>(v >> 32);
  return t;
}

}  // namespace

bool GetFileTimes(const std::u16string& path, uint64_t& slotA, uint64_t& slotB, uint64_t&) {
  HANDLE h = openForAttributes(path, FILE_READ_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME access, write;
  const bool ok = GetFileTime(h, nullptr, &access, &write);
  CloseHandle(h);
  if (!ok) return false;
  slotA = toNumber(access);
  slotB = toNumber(write);
  return true;
}

bool SetFileTimes(const std::u16string& path, uint64_t slotA, uint64_t slotB, uint64_t) {
  HANDLE h = openForAttributes(path, FILE_WRITE_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) return false;
  const FILETIME a = toFileTime(slotA), b = toFileTime(slotB);
  const bool ok = SetFileTime(h, &a, &a, &b);
  CloseHandle(h);
  return ok;
}

}  // namespace qav::win
