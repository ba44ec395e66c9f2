#include "pathname.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
  std::u16string path, drive, folder, stem, ext;
};

const PathCase kCases[] = {
    {u"c:\\Tools\\My App\\run.bat", u"C:", u"\\Tools\\My App\\", u"run", u".bat"},
    {u"D:\\README", u"D:", u"\\", u"README", u"."},
    {u"report.final.doc", u"", u"", u"report.final", u".doc"},
    {u"C:\\x\\file.", u"C:", u"\\x\\", u"file", u"."},
    {u"C:\\a\\b\\", u"C:", u"\\a\\b\\", u"", u"."},
    {u"C:\\dir\\Makefile", u"C:", u"\\dir\\", u"Makefile", u"."},
    {u"C:\\C:x.txt", u"C:", u"\\", u"x", u".txt"},  // the drive is removed again later
    {u"", u"", u"", u"", u"."},
    {u"d:\\\u8cc7\u6599\\\u5831\u544a.Final.DOC", u"D:", u"\\\u8cc7\u6599\\", u"\u5831\u544a.Final",
     u".DOC"},
    {u"C:\\a..b\\c...txt", u"C:", u"\\a..b\\", u"c", u".txt"},  // trailing dots of the stem go
    {u"\\\\server\\share\\f.txt", u"", u"\\\\server\\share\\", u"f", u".txt"},
};

TEST(PathName, PartsInBothForms) {
  for (const PathCase& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.path));
    const std::u16string* expected[] = {&c.drive, &c.folder, &c.stem, &c.ext};
    for (int part = 1; part <= 4; ++part) {
      std::u16string path = c.path;
      EXPECT_EQ(qav::解析徑名(path, part), *expected[part - 1]) << "part " << part;
      EXPECT_EQ(qav::stub::解析徑名(c.path, part), *expected[part - 1]) << "part " << part;
    }
    std::u16string p = c.path;
    EXPECT_EQ(qav::Get磁碟名(p), c.drive);
    p = c.path;
    EXPECT_EQ(qav::Get路徑名(p), c.folder);
    p = c.path;
    EXPECT_EQ(qav::Get主檔名(p), c.stem);
    p = c.path;
    EXPECT_EQ(qav::Get副檔名(p), c.ext);
    EXPECT_EQ(qav::stub::Get磁碟名(c.path), c.drive);
    EXPECT_EQ(qav::stub::Get路徑名(c.path), c.folder);
    EXPECT_EQ(qav::stub::Get主檔名(c.path), c.stem);
    EXPECT_EQ(qav::stub::Get副檔名(c.path), c.ext);
  }
}

TEST(PathName, OtherPartNumbersGiveEmpty) {
  for (int part : {0, 5, -1}) {
    std::u16string path = u"C:\\a\\b.txt";
    EXPECT_EQ(qav::解析徑名(path, part), u"");
    EXPECT_EQ(qav::stub::解析徑名(path, part), u"");
  }
}

TEST(PathName, MatchingIsCaseSensitive) {
  // Only the exact drive text "c:" is removed again; "C:" later stays in the name.
  std::u16string path = u"c:\\C:x.txt";
  EXPECT_EQ(qav::Get主檔名(path), u"C:x");
  EXPECT_EQ(qav::stub::Get磁碟名(u"c:\\C:x.txt"), u"C:");
}

TEST(PathName, QavFormCleansTheCallersText) {
  const struct {
    std::u16string path, cleaned;
  } cases[] = {
      {u"C:\\\\dir\\\\\\sub\\\\f.txt", u"C:\\dir\\sub\\f.txt"},
      {u"C:::\\a....b", u"C:\\a.b"},
      {u"C:\\dir\\f.txt", u"C:\\dir\\f.txt"},
  };
  for (const auto& c : cases) {
    std::u16string path = c.path;
    qav::解析徑名(path, 3);
    EXPECT_EQ(path, c.cleaned);
  }
}

TEST(PathName, SecondCallParsesTheCleanedText) {
  const std::u16string doubled = u"C:\\\\dir\\\\sub\\\\f.txt";

  std::u16string path = doubled;
  EXPECT_EQ(qav::Get磁碟名(path), u"C:");
  EXPECT_EQ(qav::Get路徑名(path), u"\\dir\\sub\\");

  // Each call parses what it receives: the first call still sees the doubles.
  std::u16string fresh = doubled;
  EXPECT_EQ(qav::Get路徑名(fresh), u"\\\\dir\\\\sub\\\\");

  // The stub's form never cleans, so the doubles stay.
  EXPECT_EQ(qav::stub::Get磁碟名(doubled), u"C:");
  EXPECT_EQ(qav::stub::Get路徑名(doubled), u"\\\\dir\\\\sub\\\\");
}

}  // namespace
