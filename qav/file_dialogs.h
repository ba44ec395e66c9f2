// The system's open-file dialog, shaped as the program's pickers need it.
#pragma once
#include <windows.h>

#include <string>

namespace qav::win {

// Explorer-style open dialog, only existing files, long names, no read-only
// box. `filter` is "description|pattern|description|pattern...". Returns ""
// when cancelled; one full path for one file; with `multiple` and several
// files, "folder NUL name1 NUL name2 ...".
std::u16string OpenFilesDialog(HWND owner, const std::u16string& title,
                               const std::u16string& filter, const std::u16string& initialFolder,
                               bool multiple);

// Explorer-style save dialog with long names, no read-only box and shortcut
// files returned as themselves; it never asks before overwriting (the caller
// decides). `initialName` is proposed in the name box; no initial folder is
// set. Returns "" when cancelled.
std::u16string SaveFileDialog(HWND owner, const std::u16string& title,
                              const std::u16string& filter, const std::u16string& initialName);

}  // namespace qav::win
