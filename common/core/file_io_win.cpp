#include <windows.h>

#include "file_io.h"

namespace qav::fileio {

void* openRead(const std::u16string& path, uint64_t& size) {
  HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ,
                         FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER len;
  if (!GetFileSizeEx(h, &len)) {
    CloseHandle(h);
    return nullptr;
  }
  size = static_cast<uint64_t>(len.QuadPart);
  return h;
}

bool readAt(void* file, uint64_t offset, void* buf, size_t n, size_t& got) {
  got = 0;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(static_cast<HANDLE>(file), at, nullptr, FILE_BEGIN)) return false;
  DWORD read = 0;
  if (!ReadFile(static_cast<HANDLE>(file), buf, static_cast<DWORD>(n), &read, nullptr))
    return false;
  got = read;
  return true;
}

void close(void* file) { CloseHandle(static_cast<HANDLE>(file)); }

}  // namespace qav::fileio
