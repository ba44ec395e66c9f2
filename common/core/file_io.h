// The few file primitives the portable streams and engines need; each platform
// half (file_io_win.cpp, file_io_posix.cpp) implements them over its own API.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace qav::fileio {

// Opens an existing file for reading; null on failure. `size` receives its length.
void* openRead(const std::u16string& path, uint64_t& size);
// Reads up to n bytes at offset; false on an I/O error (got = 0 at the end).
bool readAt(void* file, uint64_t offset, void* buf, size_t n, size_t& got);
void close(void* file);

}  // namespace qav::fileio
