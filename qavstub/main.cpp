// The installer stub: finds the archive behind its own image, shows one
// progress window, restores the packed files and carries out the install
// actions the header asks for, then ends by itself. It takes no arguments.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

#include "archive.h"
#include "engine.h"
#include "file_system.h"
#include "folders_win.h"
#include "icons_win.h"
#include "install_rules.h"
#include "pathname.h"
#include "program_info_win.h"
#include "process_win.h"
#include "resource.h"
#include "shell_win.h"
#include "text_win.h"
#include "version.h"

namespace {

using qav::win::W;

constexpr wchar_t kClassName[] = L"QAVStubWindow";
constexpr wchar_t kBarClassName[] = L"QAVStubBar";
constexpr UINT kRunMessage = WM_APP + 1;

// Exit codes, so that a caller (and the tests) can tell the outcomes apart.
constexpr int kExitDone = 0;
constexpr int kExitNoWindow = 1;
constexpr int kExitRefused = 2;    // not a container, or one the stub will not act on
constexpr int kExitDeclined = 4;   // the user said No to the install
constexpr int kExitFailed = 5;     // the restore stopped; nothing after it ran
constexpr int kExitCancelled = 6;  // the window was closed during the work

// Client area 6000 x 3165 twips; controls placed in twips and scaled to the
// screen's resolution (15 twips a pixel at 96 dpi).
constexpr int kClientWidthTwips = 6000;
constexpr int kClientHeightTwips = 3165;
constexpr int kBannerWidthPx = 405;  // at 96 dpi
constexpr int kBannerHeightPx = 50;

constexpr COLORREF kMsg2Back = RGB(192, 192, 255);
constexpr COLORREF kBarBack = RGB(192, 255, 192);
constexpr COLORREF kBarRest = RGB(255, 255, 0);
constexpr COLORREF kBarDone = RGB(255, 128, 0);
constexpr COLORREF kStatusText = RGB(255, 0, 0);

struct Place {
  int id;
  const wchar_t* cls;
  const wchar_t* text;
  int left, top, width, height;
};

constexpr Place kPlaces[] = {
    {IDC_LABEL4, L"STATIC", L"應用程式安裝工具", 4140, 525, 1635, 195},
    {IDC_MSG1, L"STATIC", L"正在安裝：", 240, 900, 5355, 195},
    {IDC_LABEL2, L"STATIC", L"到資料夾：", 240, 1200, 915, 195},
    {IDC_MSG2, L"STATIC", L"", 1200, 1200, 4515, 375},
    {IDC_PICTURE1, kBarClassName, L"", 240, 1740, 5535, 195},
    {IDC_PICTURE2, kBarClassName, L"", 240, 1980, 5535, 195},
    {IDC_LABEL1, L"STATIC", L"", 300, 2340, 5355, 255},
    {IDC_LABEL3, L"STATIC", L"zo7.qav@example.com", 2820, 2880, 2895, 195},
};

struct Stub {
  HINSTANCE instance = nullptr;
  HWND wnd = nullptr;
  int dpi = 96;
  HFONT font = nullptr, bannerFont = nullptr;
  HBRUSH msg2Brush = nullptr;
  HICON icon = nullptr;

  std::u16string ownPath;
  qav::Engine engine;
  qav::ArchiveHeader header;
  std::u16string appName;
  std::u16string target;  // ends with "\"

  bool working = false;
  bool cancelled = false;  // the window was closed while working
  int exitCode = kExitDone;
};
Stub g;

int scale(int twips) { return MulDiv(twips, g.dpi, 1440); }
int px(int pixels) { return MulDiv(pixels, g.dpi, 96); }

HWND item(int id) { return GetDlgItem(g.wnd, id); }
void setText(int id, const std::u16string& text) { SetWindowTextW(item(id), W(text)); }

void failure(const std::u16string& text) {
  MessageBoxW(g.wnd, W(text), L"程式執行失敗", MB_OK | MB_ICONERROR);
}

// ---- the two bars -------------------------------------------------------------

// A bar keeps its percentage times 1000 in its window bytes; -1 until the first
// drawing, when it shows its plain background. It answers PBM_GETPOS like the
// system's progress bar, so that the tests read it the same way.
constexpr LONG_PTR kNotDrawn = -1;

LRESULT CALLBACK barProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: SetWindowLongPtrW(wnd, 0, kNotDrawn); return 0;
    case WM_USER + 8:  // PBM_GETPOS
      return GetWindowLongPtrW(wnd, 0) == kNotDrawn ? 0 : GetWindowLongPtrW(wnd, 0) / 1000;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      RECT box;
      GetClientRect(wnd, &box);
      const LONG_PTR milli = GetWindowLongPtrW(wnd, 0);
      auto fill = [&](const RECT& r, COLORREF c) {
        SetBkColor(dc, c);
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
      };
      if (milli == kNotDrawn) {
        fill(box, kBarBack);
      } else {
        fill(box, kBarRest);
        RECT done = box;
        done.right = static_cast<LONG>(static_cast<long long>(box.right) * milli / 100000);
        fill(done, kBarDone);
      }
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

// Draws the bar at percent: yellow over the whole box, orange up to the percentage.
int Pgb(int id, double percent) {
  HWND bar = item(id);
  SetWindowLongPtrW(bar, 0, static_cast<LONG_PTR>(percent * 1000));
  InvalidateRect(bar, nullptr, FALSE);
  UpdateWindow(bar);
  return static_cast<int>(percent);
}

// ---- the window ---------------------------------------------------------------

void paintBanner(HDC dc) {
  // A blue gradient from left to right, the program's icon as the logo, and
  // the word Installer.
  const int width = px(kBannerWidthPx), height = px(kBannerHeightPx);
  for (int x = 0; x < width; x += 2) {
    const int t = MulDiv(x, 255, width);
    SetBkColor(dc, RGB(MulDiv(100, t, 255), 40 + MulDiv(130, t, 255), 140 + MulDiv(115, t, 255)));
    RECT line = {x, 0, x + 2, height};
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
  }
  const int iconSize = px(32);
  DrawIconEx(dc, px(10), (height - iconSize) / 2, g.icon, iconSize, iconSize, 0, nullptr,
             DI_NORMAL);
  HGDIOBJ old = SelectObject(dc, g.bannerFont);
  SetBkMode(dc, TRANSPARENT);
  RECT text = {px(52), 0, width, height};
  OffsetRect(&text, 1, 1);
  SetTextColor(dc, RGB(0, 20, 70));
  DrawTextW(dc, L"Installer", -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  OffsetRect(&text, -1, -1);
  SetTextColor(dc, RGB(255, 255, 255));
  DrawTextW(dc, L"Installer", -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SelectObject(dc, old);
}

void createControls() {
  for (const Place& p : kPlaces) {
    DWORD style = WS_CHILD | WS_VISIBLE;
    if (p.cls != kBarClassName) style |= SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL;
    HWND c = CreateWindowExW(0, p.cls, p.text, style, scale(p.left), scale(p.top), scale(p.width),
                             scale(p.height), g.wnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(p.id)), g.instance,
                             nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(g.font), FALSE);
  }
}

LRESULT colourStatic(HDC dc, HWND control) {
  switch (GetDlgCtrlID(control)) {
    case IDC_LABEL4:  // white, over the banner
      SetTextColor(dc, RGB(255, 255, 255));
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    case IDC_MSG2:
      SetBkColor(dc, kMsg2Back);
      return reinterpret_cast<LRESULT>(g.msg2Brush);
    case IDC_LABEL1:
      SetTextColor(dc, kStatusText);
      SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_HIGHLIGHTTEXT));
    case IDC_LABEL3:
      SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
      [[fallthrough]];
    default:
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
}

// ---- the run ------------------------------------------------------------------

// Turns the restore's events into the status line and the bars, and keeps the
// window alive between chunks. Closing the window stops the restore. The
// window is brought up to date at most every 15 ms (and at the end): a message
// loop and a redraw per small file would cost more than copying it.
class WindowProgress final : public qav::Progress {
 public:
  bool yield() override {
    const DWORD now = GetTickCount();
    if (now - lastPump_ < 15) return !g.cancelled;
    lastPump_ = now;
    flush();
    return qav::win::pumpMessages() && !g.cancelled;
  }
  // The status line is built only when it is shown: the backlog keeps the events.
  void event(const qav::ProgressEvent& e) override {
    backlog_.add(e);
    if (e.kind == qav::ProgressEvent::Kind::Finished) flush();
  }
  void flush() {
    using T = qav::ProgressStep::Target;
    if (backlog_.empty()) return;
    for (const qav::ProgressStep& s : backlog_.take(qav::ProgressView::Extract)) {
      if (s.target == T::Label1) setText(IDC_LABEL1, s.text);
      if (s.target == T::FileBar) Pgb(IDC_PICTURE1, s.percent);
      if (s.target == T::TotalBar) Pgb(IDC_PICTURE2, s.percent);
    }
  }

 private:
  DWORD lastPump_ = GetTickCount() - 1000;
  qav::ProgressBacklog backlog_;
};

std::u16string kindName(int32_t outputKind) {
  if (outputKind == 1) return u"自解檔";
  if (outputKind == 2) return u"程式安裝檔";
  return u"";
}

std::u16string programFilesFolder() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"ProgramFiles", buf, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return qav::win::fromW(buf, n);
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, buf)))
    return qav::win::fromW(buf);
  return u"";
}

// Creates the target folder and makes it the current folder, which the icon
// step relies on. A folder without a drive letter (a network path) is created
// as one level beside the executable.
bool makeTargetFolder(const std::u16string& target) {
  if (qav::win::stub::新建資料夾(target)) return true;
  CreateDirectoryW(W(target), nullptr);
  return SetCurrentDirectoryW(W(target)) != 0;
}

// True when the file is a 32-bit x86 image (machine field of its PE header).
bool isX86Image(const std::u16string& path) {
  HANDLE h = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  unsigned char dos[64], pe[6];
  DWORD got = 0;
  bool x86 = false;
  if (ReadFile(h, dos, sizeof dos, &got, nullptr) && got == sizeof dos && dos[0] == 'M' &&
      dos[1] == 'Z') {
    const LONG at = static_cast<LONG>(dos[60] | dos[61] << 8 | dos[62] << 16 |
                                      static_cast<unsigned>(dos[63]) << 24);
    x86 = SetFilePointer(h, at, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
          ReadFile(h, pe, sizeof pe, &got, nullptr) && got == sizeof pe && pe[0] == 'P' &&
          pe[1] == 'E' && pe[2] == 0 && pe[3] == 0 &&
          (pe[4] | pe[5] << 8) == IMAGE_FILE_MACHINE_I386;
  }
  CloseHandle(h);
  return x86;
}

// Copies the component from the target folder into the system folder of its
// bitness and starts its silent registration there, hidden. A 32-bit DLL or
// OCX goes to the folder 32-bit programs see as their system folder and is
// registered by that folder's regsvr32. One message when either part fails.
void Regsvr32(const std::u16string& name) {
  const std::u16string source = g.target + name;
  std::u16string system;
  if (isX86Image(source)) {
    wchar_t buf[MAX_PATH];
    const UINT n = GetSystemWow64DirectoryW(buf, MAX_PATH);
    if (n > 0 && n < MAX_PATH) system = qav::win::fromW(buf, n);
  } else {
    system = qav::win::GetSystemRoot();
  }
  CharUpperBuffW(reinterpret_cast<wchar_t*>(system.data()), static_cast<DWORD>(system.size()));
  bool ok = !system.empty() && CopyFileW(W(source), W(system + u"\\" + name), FALSE);
  // The registration names the file in the target folder; its working folder
  // is that folder too, never the one the package was started from.
  if (!system.empty()) {
    const std::u16string parameters = u" /s \"" + source + u"\"";
    const INT_PTR r = reinterpret_cast<INT_PTR>(ShellExecuteW(
        nullptr, nullptr, W(system + u"\\regsvr32.exe"), W(parameters), W(g.target), SW_HIDE));
    ok = ok && r > 32;
  }
  if (!ok) {
    const std::u16string text = u"元件「" + name +
                                u"」安裝失敗！\r\n可能是你的權限不足，請用 Administrator "
                                u"身分豋入後再試一次。";
    MessageBoxW(g.wnd, W(text), L"重要訊息：", MB_OK | MB_ICONWARNING);
  }
}

void status(const std::u16string& text) {
  setText(IDC_LABEL1, text);
  qav::win::wait(0.2f);
}

void shortcut(bool wanted, const char16_t* folderKey, const char16_t* caption,
              const std::u16string& iconLocation) {
  if (!wanted || g.cancelled) return;
  const qav::ArchiveHeader& h = g.header;
  // The name becomes a file in the special folder: one that is not a plain
  // file name would put it elsewhere, so that shortcut fails instead.
  const bool failed = !qav::isBareFileName(h.shortcutName + u".lnk") ||
                      qav::win::建立捷徑(folderKey, h.shortcutName, g.target + h.mainProgram,
                                         g.target, iconLocation);
  status(caption + std::u16string(failed ? u"失敗" : u"成功") + u"）。");
}

void installSteps() {
  const qav::ArchiveHeader& h = g.header;
  SetCurrentDirectoryW(W(g.target));

  // The shortcuts' icon: the package's own choice, or for an install package
  // with the default icon the built-in one of the main program's type, written
  // into the target folder. A type without a built-in icon leaves the shortcut
  // with the main program's own icon.
  std::u16string icon;
  if (!h.shortcutIcon.empty()) {
    icon = g.target + h.shortcutIcon;
  } else if (h.outputKind == 2) {
    const std::u16string type = qavstub::defaultIconType(h.mainProgram);
    if (qav::win::stub::解出圖示(type)) icon = g.target + type + u".ico";
  }

  shortcut(h.desktopShortcut, u"Desktop", u"在桌面加入捷徑（", icon);
  shortcut(h.programsMenuShortcut, u"Programs", u"在開始功能表建立捷徑（", icon);
  shortcut(h.startWithWindows, u"Startup", u"在啟動資料夾建立捷徑（", icon);

  if (h.registerComponents) {
    for (const qav::ArchiveEntry& e : h.entries) {
      if (g.cancelled) return;
      if (!qavstub::isComponent(e.name)) continue;
      Regsvr32(e.name);
      status(u"正在向系統註冊 " + e.name + u"。");
    }
  }

  SetCurrentDirectoryW(W(g.target));
  if (h.postCommand.empty() || g.cancelled) return;
  setText(IDC_LABEL1, u"執行後置命令：" + h.postCommand);
  std::u16string program, parameters;
  qavstub::splitCommand(h.postCommand, program, parameters);
  qav::win::wait(0.2f);
  if (program.empty() || g.cancelled) return;
  // A program that was just restored is named by its full path, so that no
  // file of the same name elsewhere (beside the package) is started instead.
  if (program.find(u':') == std::u16string::npos && program[0] != u'\\') {
    const DWORD a = GetFileAttributesW(W(g.target + program));
    if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY)) program = g.target + program;
  }
  ShellExecuteW(g.wnd, nullptr, W(program), parameters.empty() ? nullptr : W(parameters),
                W(g.target), SW_SHOWNORMAL);
}

int install() {
  qav::ArchiveHeader& h = g.header;
  qav::EngineError e =
      g.engine.openArchive(qav::platformFileSystem(), g.ownPath, qav::kArchiveOffset, h);
  if (!e.ok()) {
    // A damaged or refused container stops here, before anything is written.
    const qav::ArchiveErrorCode code = e.archive.code;
    failure(e.code != qav::EngineErrorCode::Header || code == qav::ArchiveErrorCode::BadMagic ||
                    code == qav::ArchiveErrorCode::Truncated
                ? std::u16string(u"檔案格式不正確！程式結束。")
                : qav::describeArchiveError(e.archive) + u"程式結束。");
    return kExitRefused;
  }
  SetWindowTextW(g.wnd, W(u"QAV " + kindName(h.outputKind) + u" (v" +
                          qav::versionText(h.versionMajor, h.versionMinor, h.versionRevision) +
                          u")   By 白 岩 (zo7)"));
  setText(IDC_MSG1, u"正在安裝：" + qav::stub::Get主檔名(g.ownPath) + u" 程式。");
  g.appName = qav::stub::Get主檔名(h.mainProgram);

  if (h.outputKind == 2 && h.installUnderProgramFiles) {
    const std::u16string folderName = h.installFolderName.empty() ? g.appName : h.installFolderName;
    if (!qavstub::staysInside(folderName)) {
      g.engine.closeArchive();
      failure(u"安裝資料夾「" + folderName +
              u"」不是程式集資料夾之內的資料夾名稱，整個集裝檔不予處理。程式結束。");
      return kExitRefused;
    }
    const std::u16string question = u"QAV 自動安裝程式，正要安裝軟體〔" + g.appName +
                                    u"〕於程式集。\r\n同意這項安裝嗎？";
    if (MessageBoxW(g.wnd, W(question), L"系統詢問",
                    MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION) != IDYES)
      return kExitDeclined;
    if (g.cancelled) return kExitCancelled;
    // Running copies of the program would keep their files locked.
    qav::win::結束Win32程式(g.appName);
    qav::win::wait(0.3f);
    g.target = qavstub::programFilesTarget(programFilesFolder(), folderName);
  } else {
    g.target = qavstub::selfExtractTarget(g.ownPath);
  }
  makeTargetFolder(g.target);
  setText(IDC_MSG2, g.target);

  WindowProgress progress;
  e = g.engine.restore(h, g.target, qav::RestoreMode::Overwrite, qav::kChunkBytes, &progress);
  progress.flush();
  if (g.cancelled) return kExitCancelled;
  if (!e.ok()) {
    // The install steps would act on an incomplete program: none of them runs.
    failure(qav::describeEngineError(e) + u"程式結束。");
    return kExitFailed;
  }
  installSteps();
  return g.cancelled ? kExitCancelled : kExitDone;
}

LRESULT CALLBACK windowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kRunMessage:
      g.working = true;
      g.exitCode = install();
      g.working = false;
      DestroyWindow(wnd);
      return 0;
    case WM_CLOSE:
      // Closing during the work stops it at the next chunk or step; the run
      // then closes the window itself.
      if (g.working) {
        g.cancelled = true;
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
      return colourStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      paintBanner(dc);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmdLine, int show) {
  qav::win::restrictDllSearch();
  // Anything dropped onto the package ends it at once: no window, nothing written.
  if (cmdLine && *cmdLine) return kExitDone;
  g.instance = instance;
  g.ownPath = qav::win::modulePath();
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  HDC screen = GetDC(nullptr);
  g.dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  g.font = CreateFontW(-px(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                       L"新細明體");
  g.bannerFont = CreateFontW(-px(26), 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             DEFAULT_PITCH, L"Arial");
  g.msg2Brush = CreateSolidBrush(kMsg2Back);
  g.icon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDI_STUB), IMAGE_ICON, px(32), px(32), 0));

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = barProc;
  wc.hInstance = instance;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.lpszClassName = kBarClassName;
  RegisterClassExW(&wc);

  wc.lpfnWndProc = windowProc;
  wc.cbWndExtra = 0;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_STUB));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT r = {0, 0, scale(kClientWidthTwips), scale(kClientHeightTwips)};
  AdjustWindowRect(&r, style, FALSE);
  const int width = r.right - r.left, height = r.bottom - r.top;
  g.wnd = CreateWindowExW(0, kClassName, L"(QAV)自解檔 v4.4.5  by ZO7", style,
                          (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                          (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr,
                          nullptr, instance, nullptr);
  if (!g.wnd) return kExitNoWindow;
  createControls();
  ShowWindow(g.wnd, show);
  UpdateWindow(g.wnd);
  // The whole run happens once, as soon as the window is shown; posted rather
  // than tied to the window's activation, which a package started in the
  // background or minimised would never get.
  PostMessageW(g.wnd, kRunMessage, 0, 0);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  CoUninitialize();
  return g.exitCode;
}
