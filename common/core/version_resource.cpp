#include "version_resource.h"

#include <cstdint>

namespace qav {
namespace {

// One node of the block:
//   u16 length (of the node, children included), u16 value length,
//   u16 type (0 binary, 1 text), key (UTF-16, NUL-terminated), padding to 4,
//   value, padding to 4, children.
struct Node {
  size_t start = 0, end = 0;        // the node's bytes
  std::u16string key;
  size_t value = 0, valueBytes = 0;
  size_t children = 0;              // first child
};

class Block {
 public:
  Block(const void* data, size_t size) : p_(static_cast<const unsigned char*>(data)), size_(size) {}

  uint16_t u16(size_t at) const { return static_cast<uint16_t>(p_[at] | p_[at + 1] << 8); }
  uint32_t u32(size_t at) const { return u16(at) | static_cast<uint32_t>(u16(at + 2)) << 16; }

  bool node(size_t at, size_t limit, Node& n) const {
    if (at + 6 > limit) return false;
    size_t length = u16(at);
    if (length < 6 || at + length > limit) return false;
    n.start = at;
    n.end = at + length;
    n.key.clear();
    size_t k = at + 6;
    for (;; k += 2) {
      if (k + 2 > n.end) return false;
      char16_t c = static_cast<char16_t>(u16(k));
      if (c == 0) break;
      n.key += c;
    }
    n.value = align(k + 2);
    size_t count = u16(at + 2);
    n.valueBytes = u16(at + 4) == 1 ? count * 2 : count;  // text values count characters
    if (n.value > n.end) n.value = n.end;
    if (n.value + n.valueBytes > n.end) n.valueBytes = n.end - n.value;
    n.children = align(n.value + n.valueBytes);
    return true;
  }

  // The child of `parent` whose key is `key` (any child when key is empty).
  bool child(const Node& parent, const std::u16string& key, Node& found) const {
    for (size_t at = parent.children; at < parent.end; at = align(found.end)) {
      if (!node(at, parent.end, found)) return false;
      if (key.empty() || found.key == key) return true;
    }
    return false;
  }

  std::u16string text(const Node& n) const {
    std::u16string s;
    for (size_t at = n.value; at + 2 <= n.value + n.valueBytes; at += 2) {
      char16_t c = static_cast<char16_t>(u16(at));
      if (c == 0) break;
      s += c;
    }
    return s;
  }

  size_t size() const { return size_; }

 private:
  static size_t align(size_t at) { return (at + 3) & ~static_cast<size_t>(3); }
  const unsigned char* p_;
  size_t size_;
};

}  // namespace

bool parseVersionResource(const void* data, size_t size, VersionInfo& info) {
  Block block(data, size);
  Node root;
  if (!block.node(0, block.size(), root) || root.key != u"VS_VERSION_INFO") return false;
  // VS_FIXEDFILEINFO: signature, struct version, file version MS, file version LS, ...
  if (root.valueBytes < 16 || block.u32(root.value) != 0xFEEF04BDu) return false;
  uint32_t ms = block.u32(root.value + 8), ls = block.u32(root.value + 12);
  info.major = static_cast<int>(ms >> 16);
  info.minor = static_cast<int>(ms & 0xFFFF);
  info.revision = static_cast<int>(ls >> 16);
  info.build = static_cast<int>(ls & 0xFFFF);
  info.productName.clear();
  Node strings, table, value;
  if (block.child(root, u"StringFileInfo", strings) && block.child(strings, u"", table) &&
      block.child(table, u"ProductName", value))
    info.productName = block.text(value);
  return true;
}

}  // namespace qav
