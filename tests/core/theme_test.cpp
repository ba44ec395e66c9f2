#include "theme.h"

#include <gtest/gtest.h>

namespace {

using qav::Colour;
using qav::JoinColour;
using qav::Theme;
using qav::ThemeBounds;

constexpr Colour rgb(int r, int g, int b) { return r + 256u * g + 65536u * b; }

TEST(Theme, SplitAndJoinColour) {
  int r = -1, g = -1, b = -1;
  EXPECT_DOUBLE_EQ(qav::SplitColour(0x00F0FFE0, r, g, b), (224 + 255 + 240) / 3.0);
  EXPECT_EQ(r, 224);
  EXPECT_EQ(g, 255);
  EXPECT_EQ(b, 240);
  EXPECT_EQ(JoinColour(224, 255, 240), 0x00F0FFE0u);
  EXPECT_EQ(JoinColour(1, 2, 3), 1u + 2u * 256 + 3u * 65536);
  EXPECT_EQ(JoinColour(300, -5, 255), 0x00FF00FFu);  // out-of-range channels do not spill
}

TEST(Theme, Max3Min3) {
  const int orders[][3] = {{1, 2, 3}, {1, 3, 2}, {2, 1, 3}, {2, 3, 1}, {3, 1, 2}, {3, 2, 1}};
  for (const auto& o : orders) {
    EXPECT_EQ(qav::Max3(o[0], o[1], o[2]), 3);
    EXPECT_EQ(qav::Min3(o[0], o[1], o[2]), 1);
  }
  EXPECT_EQ(qav::Max3(7, 7, 7), 7);
}

TEST(Theme, ColourToHSL) {
  const struct {
    int r, g, b, hue, sat, light;
  } cases[] = {
      {255, 0, 0, 0, 240, 120},
      {0, 128, 0, 80, 240, 60},
      {0, 0, 255, 160, 240, 120},
      {255, 0, 255, 200, 240, 120},
      {0, 255, 255, 120, 240, 120},
      {0, 0, 0, 0, 0, 0},
      {255, 255, 255, 0, 0, 240},
      {128, 128, 128, 0, 0, 120},
      {224, 255, 240, 101, 240, 225},
      {10, 20, 30, 140, 120, 19},
      {97, 95, 95, 0, 2, 90},     // saturation exactly 2.5: halves go to even
      {100, 21, 20, 0, 160, 56},  // hue exactly 0.5
  };
  for (const auto& c : cases) {
    const qav::HSL hsl = qav::ColourToHSL(c.r, c.g, c.b);
    EXPECT_EQ(hsl.hue, c.hue) << c.r << "," << c.g << "," << c.b;
    EXPECT_EQ(hsl.saturation, c.sat) << c.r << "," << c.g << "," << c.b;
    EXPECT_EQ(hsl.lightness, c.light) << c.r << "," << c.g << "," << c.b;
  }
}

TEST(Theme, DesignColourPalette) {
  const Theme t = qav::InitTheme(rgb(224, 255, 240), ThemeBounds::Qav);
  EXPECT_EQ(t.ThemePalette[32], rgb(224, 255, 240));
  EXPECT_EQ(t.ThemePalette[31], rgb(225, 255, 241));
  EXPECT_EQ(t.ThemePalette[0], rgb(255, 255, 255));
  EXPECT_EQ(t.ThemePalette[33], rgb(216, 247, 232));
  // Steps carry the rounded value: the exact 255 - 31 * 7.96875 would round to 8.
  EXPECT_EQ(t.ThemePalette[63], rgb(0, 7, 0));

  EXPECT_EQ(qav::ColourToHSL(224, 255, 240).lightness, 225);
  EXPECT_EQ(t.ThemeLabelText, rgb(16, 47, 32));
  EXPECT_EQ(t.ThemeStripText, rgb(240, 255, 255));
  EXPECT_EQ(t.ThemeFieldText, rgb(80, 111, 96));
  EXPECT_EQ(t.ThemeFieldBack, rgb(244, 255, 255));
  EXPECT_EQ(t.ThemeButtonText, rgb(16, 47, 32));
  EXPECT_EQ(t.ThemeButtonHot, rgb(112, 143, 128));

  // The updater's bounds pick the same row for this colour.
  const Theme s = qav::InitTheme(rgb(224, 255, 240), ThemeBounds::Start);
  EXPECT_EQ(s.ThemeLabelText, t.ThemeLabelText);
  EXPECT_EQ(s.ThemeFieldBack, t.ThemeFieldBack);
}

TEST(Theme, PaletteRoundsHalvesToEven) {
  // up = 16 / 32 = 0.5: 239.5 rounds up to 240, and then 240.5 down to 240 for
  // good; rounding halves away from zero would reach 255.
  const Theme t = qav::InitTheme(rgb(239, 239, 239), ThemeBounds::Qav);
  EXPECT_EQ(t.ThemePalette[31], rgb(240, 240, 240));
  EXPECT_EQ(t.ThemePalette[0], rgb(240, 240, 240));
  EXPECT_EQ(t.ThemePalette[33], rgb(232, 232, 232));
  EXPECT_EQ(t.ThemePalette[63], rgb(22, 22, 22));
}

Theme withSentinelRoles() {
  Theme t;
  t.ThemeLabelText = 0x010101;
  t.ThemeFieldBack = 0x020202;
  t.ThemeFieldText = 0x030303;
  t.ThemeStripText = 0x040404;
  t.ThemeButtonText = 0x050505;
  t.ThemeButtonHot = 0x060606;
  return t;
}

TEST(Theme, BlackKeepsPreviousRolesInQav) {
  const Theme previous = withSentinelRoles();
  const Theme t = qav::InitTheme(0, ThemeBounds::Qav, previous);
  EXPECT_EQ(t.ThemeLabelText, previous.ThemeLabelText);
  EXPECT_EQ(t.ThemeFieldBack, previous.ThemeFieldBack);
  EXPECT_EQ(t.ThemeFieldText, previous.ThemeFieldText);
  EXPECT_EQ(t.ThemeStripText, previous.ThemeStripText);
  EXPECT_EQ(t.ThemeButtonText, previous.ThemeButtonText);
  EXPECT_EQ(t.ThemeButtonHot, previous.ThemeButtonHot);
  EXPECT_EQ(t.ThemePalette[31], rgb(8, 8, 8));  // the palette is built all the same
  EXPECT_EQ(t.ThemePalette[0], rgb(255, 255, 255));

  const Theme never = qav::InitTheme(0, ThemeBounds::Qav);
  EXPECT_EQ(never.ThemeLabelText, 0u);  // never set: black
  EXPECT_EQ(never.ThemeFieldBack, 0u);
}

TEST(Theme, BlackUsesTheLastRowInStart) {
  const Theme t = qav::InitTheme(0, ThemeBounds::Start, withSentinelRoles());
  EXPECT_EQ(t.ThemeLabelText, rgb(128, 128, 128));
  EXPECT_EQ(t.ThemeStripText, rgb(128, 128, 128));
  EXPECT_EQ(t.ThemeFieldText, rgb(0, 0, 0));
  EXPECT_EQ(t.ThemeFieldBack, rgb(144, 144, 144));
  EXPECT_EQ(t.ThemeButtonText, rgb(144, 144, 144));
  EXPECT_EQ(t.ThemeButtonHot, rgb(0, 0, 0));
}

// Palette indices of the role rows: label, strip, field text, field back,
// button text, button under the pointer.
const int kRows[5][6] = {
    {58, 16, 50, 12, 58, 46},
    {56, 14, 46, 10, 54, 42},
    {12, 12, 42, 8, 10, 38},
    {14, 16, 38, 12, 12, 36},
    {16, 16, 40, 14, 14, 34},
};
constexpr int kKeep = -1;

TEST(Theme, LightnessBounds) {
  const struct {
    int grey, lightness, qavRow, startRow;
  } cases[] = {
      {31, 29, kKeep, 4}, {32, 30, 4, 4},   {63, 59, 4, 4},   {64, 60, 3, 3},
      {95, 89, 3, 3},     {96, 90, 2, 2},   {126, 119, 2, 2}, {127, 120, 1, 1},
      {158, 149, 1, 1},   {159, 150, 1, 0}, {160, 151, 0, 0}, {255, 240, 0, 0},
  };
  const Theme previous = withSentinelRoles();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.grey);
    ASSERT_EQ(qav::ColourToHSL(c.grey, c.grey, c.grey).lightness, c.lightness);
    for (ThemeBounds bounds : {ThemeBounds::Qav, ThemeBounds::Start}) {
      const int row = bounds == ThemeBounds::Qav ? c.qavRow : c.startRow;
      const Theme t = qav::InitTheme(rgb(c.grey, c.grey, c.grey), bounds, previous);
      const Colour roles[6] = {t.ThemeLabelText, t.ThemeStripText, t.ThemeFieldText,
                               t.ThemeFieldBack, t.ThemeButtonText, t.ThemeButtonHot};
      const Colour before[6] = {previous.ThemeLabelText, previous.ThemeStripText,
                                previous.ThemeFieldText, previous.ThemeFieldBack,
                                previous.ThemeButtonText, previous.ThemeButtonHot};
      for (int i = 0; i < 6; ++i)
        EXPECT_EQ(roles[i], row == kKeep ? before[i] : t.ThemePalette[kRows[row][i]])
            << (bounds == ThemeBounds::Qav ? "qav" : "Start") << " role " << i;
    }
  }
}

}  // namespace

namespace {

TEST(ColourSetting, HexTextBothWays) {
  const std::pair<qav::Colour, std::u16string> texts[] = {
      {qav::JoinColour(224, 255, 240), u"F0FFE0"}, {0, u"0"}, {0xFF, u"FF"}, {0xFFFFFF, u"FFFFFF"},
  };
  for (const auto& [colour, text] : texts) {
    EXPECT_EQ(qav::hexColour(colour), text);
    qav::Colour back = 1;
    ASSERT_TRUE(qav::parseHexColour(text, back));
    EXPECT_EQ(back, colour);
  }
  qav::Colour c = 7;
  for (const std::u16string bad : {u"", u"green", u"12345G", u"1000000", u" F0", u"-1", u"&HF0"})
    EXPECT_FALSE(qav::parseHexColour(bad, c)) << std::string(bad.begin(), bad.end());
  EXPECT_EQ(c, 7u);
  ASSERT_TRUE(qav::parseHexColour(u"f0ffe0", c));
  EXPECT_EQ(c, qav::JoinColour(224, 255, 240));
}

}  // namespace
