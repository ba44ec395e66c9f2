#include "cmdline.h"

#include <gtest/gtest.h>

namespace {

using qav::CommandLineAction;
using qav::ShapeCommandLine;
using qav::SplitCommandLine;

TEST(SplitCommandLine, Tokens) {
  const struct {
    std::u16string commandLine, list;
  } cases[] = {
      {u"", u""},
      {u"a.qav", u"a.qav"},
      {u"\"C:\\My Files\\a.qav\"", u"C:\\My Files\\a.qav"},
      {u"\"C:\\My Files\\a.txt\" C:\\b.txt", u"C:\\My Files\\a.txt,C:\\b.txt"},
      {u"C:\\a.txt  C:\\b.txt", u"C:\\a.txt,,C:\\b.txt"},  // run of spaces: empty token
      {u"C:\\x,y.txt C:\\z.txt", u"C:\\x,y.txt,C:\\z.txt"},  // commas are kept here
      {u"\"\" b", u",b"},
      {u"\"C:\\\u5831\u544A.doc\" \"D:\\a b\\c\"", u"C:\\\u5831\u544A.doc,D:\\a b\\c"},
      {u"a ", u"a,"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SplitCommandLine(c.commandLine), c.list);
}

// Cases where a literal search for the closing quote from the opening one finds
// nothing usable; they must still give whole tokens.
TEST(SplitCommandLine, QuoteEdgeCases) {
  const struct {
    std::u16string commandLine, list;
  } cases[] = {
      {u"\"C:\\My Files\\a.qav", u"C:\\My Files\\a.qav"},       // never closed
      {u"a.txt \"C:\\b c.txt", u"a.txt,C:\\b c.txt"},          // last one never closed
      {u"\"a\"b c", u"a\"b c"},                                  // no quote-space pair
      {u"\"", u""},
      {u"\" x\" y", u" x,y"},                                    // space right after the quote
  };
  for (const auto& c : cases)
    EXPECT_EQ(SplitCommandLine(c.commandLine), c.list);
}

TEST(ShapeCommandLine, NothingToDo) {
  for (const std::u16string list : {u"", u",", u",,,"})
    EXPECT_EQ(ShapeCommandLine(list).kind, CommandLineAction::Kind::None);
}

TEST(ShapeCommandLine, OnePathIsRestored) {
  const struct {
    std::u16string list, path;
  } cases[] = {
      {u"C:\\My Files\\a.qav", u"C:\\My Files\\a.qav"},
      {u"C:\\a.qav,", u"C:\\a.qav"},  // a trailing space adds no second file
      {u",C:\\a.qav", u"C:\\a.qav"},
  };
  for (const auto& c : cases) {
    const CommandLineAction a = ShapeCommandLine(c.list);
    EXPECT_EQ(a.kind, CommandLineAction::Kind::Restore);
    EXPECT_EQ(a.archivePath, c.path);
  }
}

TEST(ShapeCommandLine, SeveralPathsArePackedFromTheFirstFolder) {
  using namespace std::string_literals;
  const struct {
    std::u16string list, selection;
  } cases[] = {
      {u"C:\\d\\a.txt,C:\\d\\b.txt,C:\\d\\c.txt", u"C:\\d\\\0a.txt\0b.txt\0c.txt"s},
      // the other paths' folders are dropped
      {u"C:\\d\\a.txt,E:\\other\\b.txt", u"C:\\d\\\0a.txt\0b.txt"s},
      // a path holding a comma becomes two
      {u"C:\\d\\x,y.txt", u"C:\\d\\\0x\0y.txt"s},
      // empty tokens from runs of spaces are no files
      {u"C:\\d\\a.txt,,C:\\d\\b.txt", u"C:\\d\\\0a.txt\0b.txt"s},
      // no folder at all
      {u"a.txt,b.txt", u"\0a.txt\0b.txt"s},
  };
  for (const auto& c : cases) {
    const CommandLineAction a = ShapeCommandLine(c.list);
    EXPECT_EQ(a.kind, CommandLineAction::Kind::Pack);
    EXPECT_EQ(a.selection, c.selection);
  }
}

TEST(ShapeCommandLine, FromSplitCommandLine) {
  using namespace std::string_literals;
  const CommandLineAction a =
      ShapeCommandLine(SplitCommandLine(u"\"C:\\My Files\\a b.txt\"  \"C:\\My Files\\c.txt\""));
  EXPECT_EQ(a.kind, CommandLineAction::Kind::Pack);
  EXPECT_EQ(a.selection, u"C:\\My Files\\\0a b.txt\0c.txt"s);
}

}  // namespace
