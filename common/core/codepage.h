// Conversion between the program's UTF-16 texts and the ANSI code page in which
// archives, the registry and the service address file keep them (950 on the
// systems the product is made for).
//
// Mapping is exact in both directions: a character without an exact equivalent
// (or a byte sequence that is not valid) is an error, never a look-alike or "?".
#pragma once
#include <string>

namespace qav {

// UTF-16 -> code-page bytes. Returns false when some character has no exact
// equivalent; `out` is then unspecified.
bool toCodePage(const std::u16string& text, std::string& out);

// Code-page bytes -> UTF-16. Returns false on an invalid byte sequence.
bool fromCodePage(const std::string& bytes, std::u16string& out);

}  // namespace qav
