// The installer stub: finds the archive behind its own image, shows one
// progress window and acts on the header. It takes no arguments.
#include <windows.h>

#include <string>

#include "resource.h"

namespace {

constexpr wchar_t kClassName[] = L"QAVStubWindow";
constexpr UINT kRunMessage = WM_APP + 1;
// Client area 6000 x 3165 twips: 400 x 211 pixels at 96 dpi.
constexpr int kClientWidth = 400;
constexpr int kClientHeight = 211;

struct Stub {
  std::wstring ownPath;
  bool started = false;
};
Stub g_stub;

std::wstring ownPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

bool readOwnHeader() {
  // The archive header lives at offset 114687; the bare stub holds a zero there.
  HANDLE h = CreateFileW(g_stub.ownPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER at;
  at.QuadPart = 114687;
  char magic[5] = {};
  DWORD got = 0;
  bool ok = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) &&
            ReadFile(h, magic, sizeof magic, &got, nullptr) && got == sizeof magic &&
            magic[0] == 3 && magic[1] == 0 && magic[2] == 'Q' && magic[3] == 'A' &&
            magic[4] == 'V';
  CloseHandle(h);
  return ok;
}

void run(HWND wnd) {
  if (!readOwnHeader()) {
    MessageBoxW(wnd, L"檔案格式不正確！程式結束。", L"程式執行失敗", MB_OK);
  }
  DestroyWindow(wnd);
}

LRESULT CALLBACK windowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ACTIVATE:
      // The whole run happens once, when the window is first shown.
      if (LOWORD(wp) != WA_INACTIVE && !g_stub.started) {
        g_stub.started = true;
        PostMessageW(wnd, kRunMessage, 0, 0);
      }
      break;
    case kRunMessage:
      run(wnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmdLine, int show) {
  // Anything dropped onto the package ends it at once: no window, nothing written.
  if (cmdLine && *cmdLine) return 0;
  g_stub.ownPath = ownPath();

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT r = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&r, style, FALSE);
  HWND wnd = CreateWindowExW(0, kClassName, L"(QAV)自解檔 v4.4.5  by ZO7", style, CW_USEDEFAULT,
                             CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                             instance, nullptr);
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
