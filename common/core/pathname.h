// Splitting a Windows path into its parts, numbered as everywhere in the
// programs: 1 drive (upper case, with its colon), 2 folder (from the first "\"
// after the drive to the last "\", both included), 3 base name (without its
// extension and trailing dots), 4 extension with its dot ("." when there is none).
// Any other part number gives "".
//
// Matching is exact and case-sensitive; nothing is trimmed. The drive is the
// text up to the first ":", and every later occurrence of it is removed as well
// (the base name of C:\C:x.txt is x).
#pragma once
#include <string>

namespace qav {

// The main program's form: the parts come from the text as received, and then
// the caller's own text is cleaned in place -- every run of "::", "\\" or ".."
// shrinks to one character -- so a second call on the same variable parses the
// cleaned text.
std::u16string 解析徑名(std::u16string& path, int part);
std::u16string Get磁碟名(std::u16string& path);
std::u16string Get路徑名(std::u16string& path);
std::u16string Get主檔名(std::u16string& path);
std::u16string Get副檔名(std::u16string& path);

namespace stub {
// The installer stub's form: the same parts, and the caller's text is never
// changed.
std::u16string 解析徑名(const std::u16string& path, int part);
std::u16string Get磁碟名(const std::u16string& path);
std::u16string Get路徑名(const std::u16string& path);
std::u16string Get主檔名(const std::u16string& path);
std::u16string Get副檔名(const std::u16string& path);
}  // namespace stub

}  // namespace qav
