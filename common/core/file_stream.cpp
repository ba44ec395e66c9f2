#include "file_stream.h"

#include <cstring>

#include "file_io.h"

namespace qav {
namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

FileInStream::~FileInStream() { close(); }

bool FileInStream::open(const std::u16string& path) {
  close();
  handle_ = fileio::openRead(path, size_);
  return handle_ != nullptr;
}

void FileInStream::close() {
  if (handle_) fileio::close(handle_);
  handle_ = nullptr;
  size_ = pos_ = bufStart_ = 0;
  buf_.clear();
}

bool FileInStream::seek(uint64_t offset) {
  if (!handle_ || offset > size_) return false;
  pos_ = offset;
  return true;
}

bool FileInStream::fill() {
  buf_.resize(kBufferSize);
  size_t got = 0;
  if (!fileio::readAt(handle_, pos_, buf_.data(), kBufferSize, got)) got = 0;
  buf_.resize(got);
  bufStart_ = pos_;
  return got > 0;
}

bool FileInStream::read(void* dst, size_t n) {
  if (!handle_ || n > remaining()) return false;
  auto out = static_cast<char*>(dst);
  while (n > 0) {
    if (pos_ < bufStart_ || pos_ >= bufStart_ + buf_.size()) {
      if (!fill()) return false;  // the file shrank under us: a short read
    }
    size_t offset = static_cast<size_t>(pos_ - bufStart_);
    size_t take = buf_.size() - offset;
    if (take > n) take = n;
    std::memcpy(out, buf_.data() + offset, take);
    out += take;
    n -= take;
    pos_ += take;
  }
  return true;
}

}  // namespace qav
