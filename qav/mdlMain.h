// Start-up of qav: the program-wide values and the command line.
#pragma once
#include <windows.h>

#include <string>

namespace qav::app {

struct ProgramValues {
  std::u16string runName;      // base name of the program file; "qav" for the program title
  std::u16string versionText;  // 4.4.13
  std::u16string productName;  // QAV集裝檔
  int major = 0, minor = 0, revision = 0;
};
const ProgramValues& program();

// The arguments after the program name, as the process received them.
std::u16string commandLineArguments();

// Restore-and-exit for one path, the file list and the package settings for
// several. `list` is what SplitCommandLine made of the arguments.
void HandleCommandLine(const std::u16string& list);

// The whole run: values, main window, command line, message loop.
int Main(HINSTANCE instance, int show);

}  // namespace qav::app
