// Win32 half of the file system, over the wide-character API.
#include <windows.h>

#include "file_system.h"

namespace qav {
namespace {

const wchar_t* w(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

FsResult lastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH: return FsResult::NotFound;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return FsResult::Exists;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return FsResult::AccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return FsResult::DiskFull;
    default: return FsResult::Failed;
  }
}

FILETIME toFileTime(uint64_t t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(t);
  ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return ft;
}

// Largest single transfer: ReadFile and WriteFile count in 32 bits.
constexpr size_t kMaxTransfer = 0x40000000;

class Win32FileSystem final : public FileSystem {
 public:
  FsResult openRead(const std::u16string& path, FileHandle& file, uint64_t& size) override {
    file = nullptr;
    HANDLE h = CreateFileW(w(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastError();
    LARGE_INTEGER length;
    if (!GetFileSizeEx(h, &length)) {
      const FsResult r = lastError();
      CloseHandle(h);
      return r;
    }
    size = static_cast<uint64_t>(length.QuadPart);
    file = h;
    return FsResult::Ok;
  }

  FsResult seek(FileHandle file, uint64_t offset) override {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ? FsResult::Ok : lastError();
  }

  FsResult read(FileHandle file, void* dst, size_t n, size_t& got) override {
    got = 0;
    auto out = static_cast<char*>(dst);
    while (got < n) {
      const size_t want = n - got < kMaxTransfer ? n - got : kMaxTransfer;
      DWORD r = 0;
      if (!ReadFile(file, out + got, static_cast<DWORD>(want), &r, nullptr)) return lastError();
      if (r == 0) break;
      got += r;
    }
    return FsResult::Ok;
  }

  FsResult create(const std::u16string& path, CreateMode mode, FileHandle& file) override {
    file = nullptr;
    HANDLE h = CreateFileW(w(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           mode == CreateMode::Exclusive ? CREATE_NEW : CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastError();
    file = h;
    return FsResult::Ok;
  }

  FsResult write(FileHandle file, const void* src, size_t n) override {
    auto in = static_cast<const char*>(src);
    while (n > 0) {
      const size_t want = n < kMaxTransfer ? n : kMaxTransfer;
      DWORD written = 0;
      if (!WriteFile(file, in, static_cast<DWORD>(want), &written, nullptr)) return lastError();
      if (written == 0) return FsResult::DiskFull;
      in += written;
      n -= written;
    }
    return FsResult::Ok;
  }

  FsResult setTimes(FileHandle file, uint64_t creation, uint64_t access, uint64_t write) override {
    const FILETIME c = toFileTime(creation), a = toFileTime(access), m = toFileTime(write);
    return SetFileTime(file, creation ? &c : nullptr, access ? &a : nullptr, write ? &m : nullptr)
               ? FsResult::Ok
               : lastError();
  }

  FsResult close(FileHandle file) override {
    return CloseHandle(file) ? FsResult::Ok : lastError();
  }

  FsResult remove(const std::u16string& path) override {
    return DeleteFileW(w(path)) ? FsResult::Ok : lastError();
  }

  FsResult rename(const std::u16string& from, const std::u16string& to, bool replace) override {
    return MoveFileExW(w(from), w(to), replace ? MOVEFILE_REPLACE_EXISTING : 0) ? FsResult::Ok
                                                                                : lastError();
  }

  bool exists(const std::u16string& path) override {
    const DWORD a = GetFileAttributesW(w(path));
    return a != INVALID_FILE_ATTRIBUTES &&
           !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  }

  bool fileId(const std::u16string& path, FileId& id) override {
    // No access rights needed: only the identity is read.
    HANDLE h = CreateFileW(w(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (ok)
      id = {info.dwVolumeSerialNumber,
            static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
    return ok;
  }
};

Win32FileSystem theFileSystem;  // at namespace scope: no thread-safe guard for a local static

}  // namespace

FileSystem& platformFileSystem() { return theFileSystem; }

}  // namespace qav
