#include "file_system.h"

namespace qav {

bool sameFile(FileSystem& fs, const std::u16string& a, const std::u16string& b) {
  FileId ia, ib;
  return fs.fileId(a, ia) && fs.fileId(b, ib) && ia == ib;
}

}  // namespace qav
