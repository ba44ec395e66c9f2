#include "codepage.h"

#include <gtest/gtest.h>

namespace {

struct CodePageCase {
  std::u16string text;
  std::string bytes;
};

TEST(CodePage, ExactRoundTrips) {
  const CodePageCase cases[] = {
      {u"", ""},
      {u"abc.txt", "abc.txt"},
      {u"中文", "\xA4\xA4\xA4\xE5"},
      {u"報告 final.doc", "\xB3\xF8\xA7i final.doc"},
  };
  for (const auto& c : cases) {
    std::string bytes;
    ASSERT_TRUE(qav::toCodePage(c.text, bytes));
    EXPECT_EQ(bytes, c.bytes);
    std::u16string back;
    ASSERT_TRUE(qav::fromCodePage(bytes, back));
    EXPECT_EQ(back, c.text);
  }
}

TEST(CodePage, RefusesWhatHasNoExactEquivalent) {
  const std::u16string noEquivalent[] = {
      u"\u00E9t\u00E9",   // Latin accents: best fit would give "ete"
      u"\u4E2A",          // simplified-only character
      u"\U0001F600",      // outside the basic plane
      u"\u00A0",          // no-break space: best fit would give a space
  };
  for (const auto& t : noEquivalent) {
    std::string bytes;
    EXPECT_FALSE(qav::toCodePage(t, bytes)) << bytes;
  }
  std::u16string out;
  EXPECT_FALSE(qav::fromCodePage("\xA4", out));       // cut lead byte
  EXPECT_FALSE(qav::fromCodePage("\xFF\xFF", out));   // not a valid pair
}

}  // namespace
