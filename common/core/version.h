// Version texts and the program's run name, shared by the programs' start-up,
// the About box and the update check.
#pragma once
#include <cstdint>
#include <string>

namespace qav {

// Decimal digits of n, at least minDigits of them (zero-padded); no sign handling
// beyond a leading "-".
std::u16string decimal(int64_t n, int minDigits = 1);

// major "." minor "." revision, the revision with at least two digits (4.4.13, 4.4.05).
std::u16string versionText(int major, int minor, int revision);

// The program's base name, or "qav" when that name, trimmed of spaces, is the
// program title: the update service knows the program by that name.
std::u16string runNameFor(const std::u16string& baseName);

}  // namespace qav
