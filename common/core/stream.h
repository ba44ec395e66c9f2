// Byte streams for the archive reader and writer. Kept minimal: the Windows file
// streams and the in-memory streams used by tests implement the same two calls.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace qav {

class InStream {
 public:
  virtual ~InStream() = default;
  // Reads exactly n bytes into dst, or returns false.
  virtual bool read(void* dst, size_t n) = 0;
  // Bytes between the current position and the end of the stream.
  virtual uint64_t remaining() const = 0;
};

class OutStream {
 public:
  virtual ~OutStream() = default;
  // Writes all n bytes, or returns false.
  virtual bool write(const void* src, size_t n) = 0;
};

// Reads from a caller-owned buffer; never past its end.
class MemoryInStream final : public InStream {
 public:
  MemoryInStream(const void* data, size_t size)
      : data_(static_cast<const unsigned char*>(data)), size_(size) {}
  explicit MemoryInStream(const std::string& bytes) : MemoryInStream(bytes.data(), bytes.size()) {}
  explicit MemoryInStream(std::string&&) = delete;  // would outlive its bytes

  bool read(void* dst, size_t n) override {
    if (n > size_ - pos_) return false;  // the cursor stays where it was
    if (n != 0) std::memcpy(dst, data_ + pos_, n);
    pos_ += n;
    return true;
  }
  uint64_t remaining() const override { return size_ - pos_; }
  size_t position() const { return pos_; }

 private:
  const unsigned char* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Appends everything written to its own string.
class StringOutStream final : public OutStream {
 public:
  bool write(const void* src, size_t n) override {
    bytes_.append(static_cast<const char*>(src), n);
    return true;
  }
  std::string& str() { return bytes_; }
  const std::string& str() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace qav
