// The installer stub: finds the archive behind its own image, shows one
// progress window and acts on the header. It takes no arguments.
#include <windows.h>

#include <string>

#include "archive.h"
#include "file_stream.h"
#include "version.h"
#include "resource.h"

namespace {

constexpr wchar_t kClassName[] = L"QAVStubWindow";
constexpr UINT kRunMessage = WM_APP + 1;
// Client area 6000 x 3165 twips: 400 x 211 pixels at 96 dpi.
constexpr int kClientWidth = 400;
constexpr int kClientHeight = 211;

// Exit codes, so that a caller (and the tests) can tell the outcomes apart.
constexpr int kExitDone = 0;
constexpr int kExitBadArchive = 2;

struct Stub {
  std::u16string ownPath;
  qav::ArchiveHeader header;
  uint64_t dataOffset = 0;
  bool started = false;
  int exitCode = kExitDone;
};
Stub g_stub;

std::u16string ownPath() {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()),
                                 static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

const wchar_t* w(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// Reads the header from offset 114687 of the stub's own file; the bare stub
// holds a zero there, which reads as no archive.
qav::ArchiveError readOwnHeader() {
  qav::FileInStream in;
  if (!in.open(g_stub.ownPath) || !in.seek(qav::kArchiveOffset))
    return {qav::ArchiveErrorCode::Truncated, {}};
  qav::ArchiveError error = qav::readHeader(in, g_stub.header);
  g_stub.dataOffset = in.position();
  return error;
}

std::u16string kindName(int32_t outputKind) {
  if (outputKind == 1) return u"自解檔";
  if (outputKind == 2) return u"程式安裝檔";
  return u"";
}

void run(HWND wnd) {
  qav::ArchiveError error = readOwnHeader();
  if (!error.ok()) {
    // A damaged container stops here, before anything is written.
    std::u16string text = error.code == qav::ArchiveErrorCode::BadMagic ||
                                  error.code == qav::ArchiveErrorCode::Truncated
                              ? std::u16string(u"檔案格式不正確！程式結束。")
                              : qav::describeArchiveError(error) + u"程式結束。";
    MessageBoxW(wnd, w(text), L"程式執行失敗", MB_OK);
    g_stub.exitCode = kExitBadArchive;
  } else {
    const qav::ArchiveHeader& h = g_stub.header;
    std::u16string caption = u"QAV " + kindName(h.outputKind) + u" (v" +
                             qav::versionText(h.versionMajor, h.versionMinor, h.versionRevision) +
                             u")   By 白 岩 (zo7)";
    SetWindowTextW(wnd, w(caption));
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
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_STUB));
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
  return g_stub.exitCode;
}
