// Start: the updater's window. The update, restart and settings-removal
// commands arrive with the command line.
#include <windows.h>

#include "process_win.h"

namespace {

constexpr wchar_t kClass[] = L"QAVStartWindow";

LRESULT CALLBACK startProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  qav::win::restrictDllSearch();
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = startProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClass;
  RegisterClassExW(&wc);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT r = {0, 0, 360, 140};
  AdjustWindowRect(&r, style, FALSE);
  HWND wnd = CreateWindowExW(0, kClass, L"QAV 更新程式", style, CW_USEDEFAULT, CW_USEDEFAULT,
                             r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance,
                             nullptr);
  if (!wnd) return 1;
  ShowWindow(wnd, show);
  return qav::win::runMessageLoop();
}
