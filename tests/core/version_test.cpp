#include "version.h"

#include <gtest/gtest.h>

namespace {

TEST(Version, TextsAndRunName) {
  struct { int major, minor, revision; std::u16string text; } versions[] = {
      {4, 4, 13, u"4.4.13"}, {4, 4, 5, u"4.4.05"}, {10, 0, 100, u"10.0.100"}, {4, 4, 0, u"4.4.00"},
  };
  for (const auto& v : versions)
    EXPECT_EQ(qav::versionText(v.major, v.minor, v.revision), v.text);

  struct { std::u16string base, run; } names[] = {
      {u"qav", u"qav"}, {u"QAV集裝檔", u"qav"}, {u"  QAV集裝檔 ", u"qav"},
      {u"QAV集裝檔2", u"QAV集裝檔2"}, {u"mytool", u"mytool"},
  };
  for (const auto& n : names) EXPECT_EQ(qav::runNameFor(n.base), n.run);

  EXPECT_EQ(qav::decimal(-42), u"-42");
  EXPECT_EQ(qav::decimal(3000000000LL), u"3000000000");
}

}  // namespace
