// UTF-16 <-> UTF-8, for the native build's file names and for test output.
#pragma once
#include <string>

namespace qav {
std::string toUtf8(const std::u16string& s);
std::u16string fromUtf8(const std::string& s);
}  // namespace qav
