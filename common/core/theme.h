// The colour theme of the dialog windows: 64 shades derived from one base
// colour, and role colours picked from them by the base colour's lightness.
// Colours are 0x00BBGGRR values: red + 256 * green + 65536 * blue.
#pragma once
#include <cstdint>
#include <string>

namespace qav {

using Colour = uint32_t;

// Splits a colour into its channels (0-255 each); the result is their mean.
double SplitColour(Colour colour, int& red, int& green, int& blue);
// Joins channels into a colour; channels outside 0-255 are clamped into it so
// that one cannot spill into its neighbour.
Colour JoinColour(int red, int green, int blue);

struct HSL {
  int hue;         // 0..240; 0 for greys
  int saturation;  // 0..240
  int lightness;   // 0..240
};
// Hue, saturation and lightness scaled to 0..240, rounded halves to even.
HSL ColourToHSL(int red, int green, int blue);

int Max3(int a, int b, int c);
int Min3(int a, int b, int c);

struct Theme {
  Colour ThemePalette[64] = {};  // 0 lightest ... 32 the base ... 63 darkest
  Colour ThemeLabelText = 0;     // labels and check boxes
  Colour ThemeFieldBack = 0;     // text and list boxes, button tool tips
  Colour ThemeFieldText = 0;     // their text; background of title strips
  Colour ThemeStripText = 0;     // text of title strips, border of shapes
  Colour ThemeButtonText = 0;    // caption of themed buttons
  Colour ThemeButtonHot = 0;     // caption of a themed button under the pointer
};

// Which lightness bounds pick the role colours: the main program's, where a
// very dark base (below 30) keeps the previous role colours, or the updater's,
// where every lightness picks a row.
enum class ThemeBounds { Qav, Start };

// Builds the theme for a base colour. The palette is always rebuilt; role
// colours kept unchanged are taken from `previous`.
Theme InitTheme(Colour base, ThemeBounds bounds, const Theme& previous = Theme{});

// The "RGB" setting: the colour value as upper-case hexadecimal without leading
// zeros (224, 255, 240 is F0FFE0). parseHexColour accepts 1 to 6 hexadecimal
// digits in either case and nothing else.
std::u16string hexColour(Colour colour);
bool parseHexColour(const std::u16string& text, Colour& colour);

}  // namespace qav
