// The file operations the pack and restore engines need, behind one small
// interface: the Win32 half (file_system_win.cpp) for the programs, the POSIX
// half (file_system_posix.cpp) for the native tests and benchmark, and fakes in
// the tests that inject faults. No platform types cross this header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace qav {

// What went wrong, as far as the engines' messages tell causes apart.
enum class FsResult : uint8_t {
  Ok,
  NotFound,      // no such file, or a folder on the way is missing
  Exists,        // an exclusive create or a non-replacing rename met an existing name
  AccessDenied,  // no right, read-only, or in use by another program
  DiskFull,
  Failed,  // any other I/O failure
};

// An open file; null means none.
using FileHandle = void*;

// Identifies a file independently of the path used to name it.
struct FileId {
  uint64_t volume = 0, index = 0;
  bool operator==(const FileId&) const = default;
};

enum class CreateMode : uint8_t {
  Truncate,   // create, or empty an existing file
  Exclusive,  // create only when the name is free (Exists otherwise)
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens an existing file for sequential reading; `size` receives its length.
  virtual FsResult openRead(const std::u16string& path, FileHandle& file, uint64_t& size) = 0;
  virtual FsResult seek(FileHandle file, uint64_t offset) = 0;
  // Reads up to n bytes at the current position; got < n only at the end of the file.
  virtual FsResult read(FileHandle file, void* dst, size_t n, size_t& got) = 0;

  virtual FsResult create(const std::u16string& path, CreateMode mode, FileHandle& file) = 0;
  // Writes all n bytes, or fails.
  virtual FsResult write(FileHandle file, const void* src, size_t n) = 0;
  // Times of a file open for writing, as FILETIMEs (100 ns since 1601-01-01 UTC);
  // 0 leaves that time as it is. Creation is ignored where the platform has none.
  virtual FsResult setTimes(FileHandle file, uint64_t creation, uint64_t access,
                            uint64_t write) = 0;
  // Closes any handle; for a written file, a failure means its data may be lost.
  virtual FsResult close(FileHandle file) = 0;

  virtual FsResult remove(const std::u16string& path) = 0;
  // Renames a file within its volume. With `replace` an existing `to` is replaced
  // in one step; without it an existing `to` is left alone and Exists returned.
  virtual FsResult rename(const std::u16string& from, const std::u16string& to, bool replace) = 0;

  // True for an existing ordinary file: not a folder, and on Windows neither
  // hidden nor system (FixFname's search for a free old-name does not see those).
  virtual bool exists(const std::u16string& path) = 0;
  // Identity of an existing file or folder; false when there is none.
  virtual bool fileId(const std::u16string& path, FileId& id) = 0;
};

// True when both paths name the same existing file (links and other spellings
// of one path included).
bool sameFile(FileSystem& fs, const std::u16string& a, const std::u16string& b);

// The platform's own file system (Win32, or POSIX natively).
FileSystem& platformFileSystem();

}  // namespace qav
