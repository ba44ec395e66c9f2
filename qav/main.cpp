// qav: start-up. Computes the program-wide values, opens the main window and
// runs the message loop.
#include <windows.h>

#include <string>

#include "program_info_win.h"
#include "version.h"

namespace {

constexpr wchar_t kMainClass[] = L"QAVMainWindow";
// Client area 6510 x 2790 twips: 434 x 186 pixels at 96 dpi.
constexpr int kClientWidth = 434;
constexpr int kClientHeight = 186;
constexpr COLORREF kDesignColour = RGB(224, 255, 240);

struct ProgramValues {
  std::u16string runName;
  std::u16string versionText;
  std::u16string productName;
};
ProgramValues g_program;

const wchar_t* w(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

LRESULT CALLBACK mainProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

HWND createMainWindow(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = mainProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = CreateSolidBrush(kDesignColour);
  wc.lpszClassName = kMainClass;
  RegisterClassExW(&wc);

  std::u16string caption = u"集裝檔(QAV) v" + g_program.versionText + u"  by 白　岩 (Zo7)";
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT r = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&r, style, FALSE);
  return CreateWindowExW(0, kMainClass, w(caption), style, CW_USEDEFAULT, CW_USEDEFAULT,
                         r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance,
                         nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  qav::win::ProgramVersion version = qav::win::readOwnVersion();
  g_program.runName = qav::runNameFor(qav::win::moduleBaseName());
  g_program.versionText = qav::versionText(version.major, version.minor, version.revision);
  g_program.productName = version.productName;

  HWND wnd = createMainWindow(instance);
  if (!wnd) return 1;
  ShowWindow(wnd, show);
  UpdateWindow(wnd);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
