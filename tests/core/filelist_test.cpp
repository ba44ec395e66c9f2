#include "filelist.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::string_literals;

TEST(FileList, SelectionShapes) {
  struct Case {
    std::u16string text;
    std::u16string folder;
    std::vector<std::u16string> names;
  };
  const Case cases[] = {
      {u"C:\\data\\a.b.txt", u"C:\\data\\", {u"a.b.txt"}},
      {u"C:\\data\0one.txt\0two.doc\0three"s, u"C:\\data\\", {u"one.txt", u"two.doc", u"three"}},
      {u"C:\\\0x.txt\0y.txt"s, u"C:\\", {u"x.txt", u"y.txt"}},
      {u"C:\\data\0\0x.txt\0"s, u"C:\\data\\", {u"x.txt"}},  // empty parts name nothing
      {u"", u"", {}},
      {u"C:\\data\\", u"C:\\data\\", {}},
  };
  for (const auto& c : cases) {
    qav::Selection s = qav::parseSelection(c.text);
    EXPECT_EQ(s.folder, c.folder);
    EXPECT_EQ(s.names, c.names);
  }
}

TEST(FileList, DefaultOutputName) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"a.b.txt", u"a.b"}, {u"readme", u"readme"}, {u"報告.doc", u"報告"}, {u".profile", u""},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(qav::defaultOutputName(name), expected);
}

}  // namespace
