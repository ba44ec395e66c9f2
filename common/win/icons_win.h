// Icon files written out of the running program's own resources: the custom
// resource <type>/101 holds a complete ".ico" file ("MAIN_ICON", "CMD", "DOC",
// "PPS", "VBS", "XLS"; type names compare without regard to case).
#pragma once
#include <string>

namespace qav::win {

// Writes the resource to <program folder>\<type>.ico, replacing an older file,
// and returns that path. When the program folder cannot be written (a program
// under Program Files run by a user), writes it to the per-user folder
// %LOCALAPPDATA%\QAV\ instead and returns that path. Returns "" when the
// program has no such resource or neither place can be written.
std::u16string 解出圖示(const std::u16string& type);

namespace stub {
// The installer's form: writes <type>.ico into the process's current folder,
// replacing an older file. Returns false when the resource is missing or the
// file cannot be written completely.
bool 解出圖示(const std::u16string& type);
}  // namespace stub

}  // namespace qav::win
