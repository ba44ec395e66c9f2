// POSIX half of the file system: the native tests and the benchmark run the
// engines over it. Handles carry the descriptor plus one, so that 0 stays "none".
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_system.h"
#include "utf8.h"

namespace qav {
namespace {

int fd(FileHandle h) { return static_cast<int>(reinterpret_cast<intptr_t>(h) - 1); }
FileHandle handle(int fd) { return reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1); }

FsResult fromErrno(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR: return FsResult::NotFound;
    case EEXIST:
    case ENOTEMPTY: return FsResult::Exists;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EISDIR: return FsResult::AccessDenied;
    case ENOSPC:
    case EDQUOT: return FsResult::DiskFull;
    default: return FsResult::Failed;
  }
}
FsResult lastError() { return fromErrno(errno); }

// FILETIME (100 ns since 1601) to a timespec; 0 leaves the time alone.
timespec toTimespec(uint64_t fileTime) {
  constexpr int64_t kEpochDifference = 11644473600;  // seconds from 1601 to 1970
  timespec t{};
  if (fileTime == 0) {
    t.tv_nsec = UTIME_OMIT;
    return t;
  }
  t.tv_sec = static_cast<time_t>(static_cast<int64_t>(fileTime / 10000000) - kEpochDifference);
  t.tv_nsec = static_cast<long>(fileTime % 10000000 * 100);
  return t;
}

class PosixFileSystem final : public FileSystem {
 public:
  FsResult openRead(const std::u16string& path, FileHandle& file, uint64_t& size) override {
    file = nullptr;
    const int f = ::open(toUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (f < 0) return lastError();
    struct stat st;
    const FsResult r = fstat(f, &st) != 0     ? lastError()
                       : !S_ISREG(st.st_mode) ? FsResult::AccessDenied
                                              : FsResult::Ok;
    if (r != FsResult::Ok) {
      ::close(f);
      return r;
    }
    posix_fadvise(f, 0, 0, POSIX_FADV_SEQUENTIAL);
    size = static_cast<uint64_t>(st.st_size);
    file = handle(f);
    return FsResult::Ok;
  }

  FsResult seek(FileHandle file, uint64_t offset) override {
    return lseek(fd(file), static_cast<off_t>(offset), SEEK_SET) < 0 ? lastError() : FsResult::Ok;
  }

  FsResult read(FileHandle file, void* dst, size_t n, size_t& got) override {
    got = 0;
    auto out = static_cast<char*>(dst);
    while (got < n) {
      const ssize_t r = ::read(fd(file), out + got, n - got);
      if (r < 0) {
        if (errno == EINTR) continue;
        return lastError();
      }
      if (r == 0) break;
      got += static_cast<size_t>(r);
    }
    return FsResult::Ok;
  }

  FsResult create(const std::u16string& path, CreateMode mode, FileHandle& file) override {
    file = nullptr;
    const int flags =
        O_WRONLY | O_CREAT | O_CLOEXEC | (mode == CreateMode::Exclusive ? O_EXCL : O_TRUNC);
    const int f = ::open(toUtf8(path).c_str(), flags, 0666);
    if (f < 0) return lastError();
    file = handle(f);
    return FsResult::Ok;
  }

  FsResult write(FileHandle file, const void* src, size_t n) override {
    auto in = static_cast<const char*>(src);
    while (n > 0) {
      const ssize_t w = ::write(fd(file), in, n);
      if (w < 0) {
        if (errno == EINTR) continue;
        return lastError();
      }
      if (w == 0) return FsResult::DiskFull;
      in += w;
      n -= static_cast<size_t>(w);
    }
    return FsResult::Ok;
  }

  FsResult setTimes(FileHandle file, uint64_t, uint64_t access, uint64_t write) override {
    const timespec times[2] = {toTimespec(access), toTimespec(write)};
    return futimens(fd(file), times) != 0 ? lastError() : FsResult::Ok;
  }

  FsResult close(FileHandle file) override {
    return ::close(fd(file)) != 0 ? lastError() : FsResult::Ok;
  }

  FsResult remove(const std::u16string& path) override {
    return ::unlink(toUtf8(path).c_str()) != 0 ? lastError() : FsResult::Ok;
  }

  FsResult rename(const std::u16string& from, const std::u16string& to, bool replace) override {
    const std::string a = toUtf8(from), b = toUtf8(to);
    if (replace) return ::rename(a.c_str(), b.c_str()) != 0 ? lastError() : FsResult::Ok;
    if (renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) == 0)
      return FsResult::Ok;
    if (errno != EINVAL && errno != ENOSYS) return lastError();
    // A file system without the flag: a hard link refuses an existing name too.
    if (::link(a.c_str(), b.c_str()) != 0) return lastError();
    return ::unlink(a.c_str()) != 0 ? lastError() : FsResult::Ok;
  }

  bool exists(const std::u16string& path) override {
    struct stat st;
    return ::stat(toUtf8(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  bool fileId(const std::u16string& path, FileId& id) override {
    struct stat st;
    if (::stat(toUtf8(path).c_str(), &st) != 0) return false;
    id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return true;
  }
};

PosixFileSystem theFileSystem;  // at namespace scope: no thread-safe guard for a local static

}  // namespace

FileSystem& platformFileSystem() { return theFileSystem; }

}  // namespace qav
