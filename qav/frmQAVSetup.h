// frmQAVSetup, the package settings dialog: output kind, target folder and
// name, post-extract command, install and shortcut settings. Its rules live in
// the core's SetupState; this window binds them to controls.
#pragma once
#include <windows.h>

#include <string>

#include "archive.h"

namespace qav::app {

// Program-wide: the container the last confirmed dialog asked for.
extern std::u16string outputPath;

// Shows the dialog modally over owner (whose icon it takes) in the given
// background colour. On "確定" it has written the header's settings fields,
// outputPath and the stored install folder text, and returns true: the caller
// packs next. Cancel or the close box: false, and nothing has changed. The
// temporary default-icon files exist only while the dialog is open.
bool ShowQAVSetup(HWND owner, COLORREF background, ArchiveHeader& header,
                  const std::u16string& sourceFolder, const std::u16string& defaultBaseName,
                  int fileCount);

}  // namespace qav::app
