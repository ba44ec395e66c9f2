#include "version_resource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void put16(std::string& b, uint16_t v) {
  b += static_cast<char>(v & 0xFF);
  b += static_cast<char>(v >> 8);
}
void pad4(std::string& b) {
  while (b.size() % 4) b += '\0';
}

// One node: length, value length, type, key, padding, value, padding, children.
std::string node(const std::u16string& key, const std::string& value, bool text,
                 const std::string& children = {}) {
  std::string b(6, '\0');
  for (char16_t c : key) put16(b, c);
  put16(b, 0);
  pad4(b);
  b += value;
  pad4(b);
  b += children;
  b[0] = static_cast<char>(b.size() & 0xFF);
  b[1] = static_cast<char>(b.size() >> 8);
  size_t count = text ? value.size() / 2 : value.size();
  b[2] = static_cast<char>(count & 0xFF);
  b[3] = static_cast<char>(count >> 8);
  b[4] = text ? 1 : 0;
  return b;
}
std::string utf16z(const std::u16string& s) {
  std::string b;
  for (char16_t c : s) put16(b, c);
  put16(b, 0);
  return b;
}

std::string versionBlock() {
  std::string fixed;
  for (uint32_t v : {0xFEEF04BDu, 0x00010000u, 0x00040004u, 0x000D0000u})
    for (int i = 0; i < 4; ++i) fixed += static_cast<char>(v >> (8 * i) & 0xFF);
  fixed.append(52 - 16, '\0');
  std::string table = node(u"040404b0", "", false,
                           node(u"FileVersion", utf16z(u"4.4.13"), true) +
                               node(u"ProductName", utf16z(u"QAV集裝檔"), true));
  return node(u"VS_VERSION_INFO", fixed, false,
              node(u"StringFileInfo", "", false, table) +
                  node(u"VarFileInfo", "", false, node(u"Translation", "\x04\x04\xb0\x04", false)));
}

TEST(VersionResource, ReadsFileVersionAndProductName) {
  const std::string block = versionBlock();
  qav::VersionInfo info;
  ASSERT_TRUE(qav::parseVersionResource(block.data(), block.size(), info));
  EXPECT_EQ(info.major, 4);
  EXPECT_EQ(info.minor, 4);
  EXPECT_EQ(info.revision, 13);
  EXPECT_EQ(info.productName, u"QAV集裝檔");
}

TEST(VersionResource, DamagedBlocksAreRefusedOrReadWithinTheirBounds) {
  const std::string block = versionBlock();
  // Every cut: never a read past the end (the sanitizers and valgrind see it),
  // and no fixed version taken from a block too short to hold it.
  for (size_t cut = 0; cut < block.size(); ++cut) {
    qav::VersionInfo info;
    if (qav::parseVersionResource(block.data(), cut, info)) {
      EXPECT_EQ(info.major, 4);
    }
  }
  std::string wrongKey = block;
  wrongKey[6] = 'X';
  qav::VersionInfo info;
  EXPECT_FALSE(qav::parseVersionResource(wrongKey.data(), wrongKey.size(), info));
}

}  // namespace
