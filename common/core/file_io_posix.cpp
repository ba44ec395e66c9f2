#include <cstdio>

#include "file_io.h"
#include "utf8.h"

namespace qav::fileio {

void* openRead(const std::u16string& path, uint64_t& size) {
  FILE* f = std::fopen(toUtf8(path).c_str(), "rb");
  if (!f) return nullptr;
  if (fseeko(f, 0, SEEK_END) != 0 || ftello(f) < 0) {
    std::fclose(f);
    return nullptr;
  }
  size = static_cast<uint64_t>(ftello(f));
  return f;
}

bool readAt(void* file, uint64_t offset, void* buf, size_t n, size_t& got) {
  auto f = static_cast<FILE*>(file);
  got = 0;
  if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  got = std::fread(buf, 1, n, f);
  return !std::ferror(f);
}

void close(void* file) { std::fclose(static_cast<FILE*>(file)); }

}  // namespace qav::fileio
