#include "mdlMain.h"

#include "cmdline.h"
#include "frmQAVMain.h"
#include "program_info_win.h"
#include "process_win.h"
#include "version.h"

namespace qav::app {
namespace {
ProgramValues g_program;
}

const ProgramValues& program() { return g_program; }

std::u16string commandLineArguments() {
  // Skip the program name (quoted or not) and the blanks after it.
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return std::u16string(reinterpret_cast<const char16_t*>(p));
}

void HandleCommandLine(const std::u16string& list) {
  MainWindow& main = MainWindow::instance();
  CommandLineAction action = ShapeCommandLine(list);
  if (action.kind == CommandLineAction::Kind::Pack) {
    ShowWindow(main.hwnd(), SW_SHOW);
    if (main.設定檔案資料(action.selection) > 0) main.儲存檔案();
  } else if (action.kind == CommandLineAction::Kind::Restore) {
    main.從子文件啟動 = true;
    main.還原檔案(action.archivePath, 512);
    DestroyWindow(main.hwnd());  // restore-and-exit: the program ends whatever happened
  } else {
    ShowWindow(main.hwnd(), SW_SHOW);  // only blanks and commas: nothing to do
  }
}

int Main(HINSTANCE instance, int show) {
  win::restrictDllSearch();
  win::ProgramVersion version = win::readOwnVersion();
  g_program.runName = runNameFor(win::moduleBaseName());
  g_program.versionText = versionText(version.major, version.minor, version.revision);
  g_program.productName = version.productName;
  g_program.major = version.major;
  g_program.minor = version.minor;
  g_program.revision = version.revision;

  MainWindow& main = MainWindow::instance();
  if (!main.create(instance)) return 1;
  ShowWindow(main.hwnd(), show);
  UpdateWindow(main.hwnd());

  std::u16string list = SplitCommandLine(commandLineArguments());
  win::pumpMessages();
  if (!list.empty() && IsWindow(main.hwnd())) {
    ShowWindow(main.hwnd(), SW_HIDE);
    HandleCommandLine(list);
  }
  const int code = win::runMessageLoop();
  main.waitForShellTies();
  return code;
}

}  // namespace qav::app
