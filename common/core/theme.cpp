#include "theme.h"

#include <cmath>

namespace qav {
namespace {

// Rounds to the nearest integer, halves to the even neighbour.
int roundHalfEven(double x) {
  const double f = std::floor(x);
  const double diff = x - f;
  if (diff > 0.5) return static_cast<int>(f) + 1;
  if (diff < 0.5) return static_cast<int>(f);
  const int i = static_cast<int>(f);
  return i % 2 == 0 ? i : i + 1;
}

int clampChannel(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Palette indices of one row of role colours.
struct RoleRow {
  int label, strip, fieldText, fieldBack, buttonText, buttonHot;
};
constexpr RoleRow kRows[] = {
    {58, 16, 50, 12, 58, 46},
    {56, 14, 46, 10, 54, 42},
    {12, 12, 42, 8, 10, 38},
    {14, 16, 38, 12, 12, 36},
    {16, 16, 40, 14, 14, 34},
};

// Row for a lightness, or -1 to keep the previous role colours.
int rowFor(int lightness, ThemeBounds bounds) {
  const int top = bounds == ThemeBounds::Qav ? 151 : 150;
  if (lightness >= top) return 0;
  if (lightness >= 120) return 1;
  if (lightness >= 90) return 2;
  if (lightness >= 60) return 3;
  if (bounds == ThemeBounds::Start || lightness >= 30) return 4;
  return -1;
}

}  // namespace

double SplitColour(Colour colour, int& red, int& green, int& blue) {
  red = static_cast<int>(colour & 0xFF);
  green = static_cast<int>((colour >> 8) & 0xFF);
  blue = static_cast<int>((colour >> 16) & 0xFF);
  return (red + green + blue) / 3.0;
}

Colour JoinColour(int red, int green, int blue) {
  return static_cast<Colour>(clampChannel(red)) + 256u * static_cast<Colour>(clampChannel(green)) +
         65536u * static_cast<Colour>(clampChannel(blue));
}

int Max3(int a, int b, int c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }
int Min3(int a, int b, int c) { return a < b ? (a < c ? a : c) : (b < c ? b : c); }

HSL ColourToHSL(int red, int green, int blue) {
  const int mx = Max3(red, green, blue);
  const int mn = Min3(red, green, blue);
  const int sum = mx + mn;
  // Each value is one division of exact integers, so that a true half is seen
  // as one when rounding. Lightness: (max + min) / 2 of 255, scaled to 240.
  HSL hsl{0, 0, roundHalfEven(sum * 120.0 / 255)};
  if (mx == mn) return hsl;
  const int delta = mx - mn;
  hsl.saturation = roundHalfEven(delta * 240.0 / (sum <= 255 ? sum : 510 - sum));
  int sixths;  // hue as a fraction of delta, in sixths of the circle
  if (red == mx)
    sixths = green - blue;
  else if (green == mx)
    sixths = 2 * delta + blue - red;
  else
    sixths = 4 * delta + red - green;
  if (sixths < 0) sixths += 6 * delta;
  hsl.hue = roundHalfEven(sixths * 40.0 / delta);
  return hsl;
}

Theme InitTheme(Colour base, ThemeBounds bounds, const Theme& previous) {
  Theme t = previous;
  int rgb[3];
  SplitColour(base, rgb[0], rgb[1], rgb[2]);
  const double up = (255 - Min3(rgb[0], rgb[1], rgb[2])) / 32.0;
  const double down = Max3(rgb[0], rgb[1], rgb[2]) / 32.0;

  // Each shade steps from the previous one as rounded, not from the exact sum.
  int c[3] = {rgb[0], rgb[1], rgb[2]};
  for (int index = 31; index >= 0; --index) {
    for (int& v : c) v = clampChannel(roundHalfEven(v + up));
    t.ThemePalette[index] = JoinColour(c[0], c[1], c[2]);
  }
  t.ThemePalette[32] = base & 0xFFFFFF;
  c[0] = rgb[0], c[1] = rgb[1], c[2] = rgb[2];
  for (int index = 33; index <= 63; ++index) {
    for (int& v : c) v = clampChannel(roundHalfEven(v - down));
    t.ThemePalette[index] = JoinColour(c[0], c[1], c[2]);
  }

  const int row = rowFor(ColourToHSL(rgb[0], rgb[1], rgb[2]).lightness, bounds);
  if (row < 0) return t;
  const RoleRow& r = kRows[row];
  t.ThemeLabelText = t.ThemePalette[r.label];
  t.ThemeStripText = t.ThemePalette[r.strip];
  t.ThemeFieldText = t.ThemePalette[r.fieldText];
  t.ThemeFieldBack = t.ThemePalette[r.fieldBack];
  t.ThemeButtonText = t.ThemePalette[r.buttonText];
  t.ThemeButtonHot = t.ThemePalette[r.buttonHot];
  return t;
}

std::u16string hexColour(Colour colour) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  std::u16string out;
  do {
    out.insert(out.begin(), digits[colour & 0xF]);
    colour >>= 4;
  } while (colour != 0);
  return out;
}

bool parseHexColour(const std::u16string& text, Colour& colour) {
  if (text.empty() || text.size() > 6) return false;
  Colour value = 0;
  for (char16_t c : text) {
    int digit;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
    else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
    else return false;
    value = value << 4 | static_cast<Colour>(digit);
  }
  colour = value;
  return true;
}

}  // namespace qav
