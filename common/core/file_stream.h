// Buffered file streams behind the archive's stream interfaces. Declared here
// without platform headers; file_stream_win.cpp and file_stream_posix.cpp hold
// the two halves.
#pragma once
#include <cstdint>
#include <string>

#include "stream.h"

namespace qav {

class FileInStream : public InStream {
 public:
  FileInStream() = default;
  ~FileInStream() override;
  FileInStream(const FileInStream&) = delete;
  FileInStream& operator=(const FileInStream&) = delete;

  bool open(const std::u16string& path);
  bool seek(uint64_t offset);
  uint64_t position() const { return pos_; }
  void close();

  bool read(void* dst, size_t n) override;
  uint64_t remaining() const override { return size_ - pos_; }

 private:
  bool fill();
  void* handle_ = nullptr;
  uint64_t size_ = 0;
  uint64_t pos_ = 0;      // logical position of the next byte handed out
  std::string buf_;       // bytes [bufStart_, bufStart_ + buf_.size()) of the file
  uint64_t bufStart_ = 0;
};

}  // namespace qav
