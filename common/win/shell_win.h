// Ties into the Windows shell: the file-type association, shortcut files, the
// folder picker, and bringing a window to the top.
#pragma once
#include <windows.h>

#include <string>

namespace qav::win {

// Makes files with this extension (".qav") open in the program at programPath:
//   HKCR\<extension in lower case>              = "zo7_App_QAV"
//   HKCR\zo7_App_QAV                            = "集裝檔工具"
//   HKCR\zo7_App_QAV\DefaultIcon                = "<path>",7
//   HKCR\zo7_App_QAV\shell\open\command         = "<path>" "%1"
// Without the rights to write them nothing is registered; the result says
// whether every key was written (callers may ignore it).
bool RegisterFileType(const std::u16string& programPath, const std::u16string& extension);

// Creates (or replaces) the shortcut <special folder>\<shortcutName>.lnk for
// target, with no arguments, a normal window, workingFolder as its working
// folder and iconLocation ("path" or "path,index"; "" for the target's own
// icon). folderKey is a key of GetSpecialFolder ("Desktop", "Programs",
// "Startup", "SendTo", ...). Returns true when the shortcut could NOT be made,
// including for a folder key that names no folder.
bool 建立捷徑(const std::u16string& folderKey, const std::u16string& shortcutName,
              const std::u16string& target, const std::u16string& workingFolder,
              const std::u16string& iconLocation);

// Shows the shell's folder picker, modal to owner, rooted at the special
// folder rootCsidl (0 = the desktop), with the title text and BIF_* flags.
// Returns the chosen folder followed by "\", or "" when the user cancels,
// the root does not exist, or the chosen item is not a file-system folder.
std::u16string BrowseFolder(HWND owner, const std::u16string& title, int rootCsidl, UINT flags);

// Puts the window at the top of the z-order without moving or resizing it.
void RaiseWindow(HWND window);

}  // namespace qav::win
