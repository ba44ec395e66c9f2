// Window driver for end-to-end tests: starts the programs and works their
// windows from a test program that runs under wine in the same prefix and
// desktop. Every wait has a time-out, and nothing here waits on the driven
// program's handlers: actions that may open a modal window are posted.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace windriver {

using Millis = std::chrono::milliseconds;
inline constexpr Millis kWait{10000};

// ---- texts and paths ------------------------------------------------------
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view text);
// "/work/x/a.exe" (a path of the Linux side, as CMake hands it over) becomes
// "Z:\work\x\a.exe"; a Windows path comes back with its slashes turned.
std::wstring windowsPath(std::string_view path);
// One argument quoted so that CommandLineToArgvW gives it back unchanged.
std::wstring quoteArgument(std::wstring_view arg);

// ---- processes ------------------------------------------------------------
// A started program. The destructor ends it when it still runs, so a failed
// test leaves nothing behind for the next one.
class Process {
 public:
  Process() = default;
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  // program: a Windows or Linux path. workDir empty: the program's folder.
  static Process start(const std::wstring& program, const std::vector<std::wstring>& args = {},
                       const std::wstring& workDir = {});
  // A process someone else started (see processIds), to wait for or end.
  static Process attach(DWORD pid);

  bool started() const { return handle_ != nullptr; }
  DWORD pid() const { return pid_; }
  HANDLE handle() const { return handle_; }
  const std::wstring& error() const { return error_; }  // why start() failed
  bool running() const;
  // The exit code once the program has ended; nothing when it still runs
  // after the time-out. Windows exit codes reach the test whole (no 8-bit cut).
  std::optional<DWORD> waitExit(Millis timeout = kWait);
  // Ends the program at once; true when it is gone.
  bool kill(UINT exitCode = 1);

 private:
  void release();

  HANDLE handle_ = nullptr;
  DWORD pid_ = 0;
  std::wstring error_;
};

// The running processes whose program file is exeName (any letter case).
std::vector<DWORD> processIds(std::wstring_view exeName);
// Ends every process whose program file is exeName (e.g. L"qav.exe", any letter
// case), except the calling one. Returns how many were ended.
int killProcesses(std::wstring_view exeName);

// ---- top-level windows ----------------------------------------------------
enum class Match { Exact, Prefix, Contains };

struct WindowQuery {
  std::wstring caption;
  Match match = Match::Exact;
  std::wstring className;  // empty: any class
  DWORD pid = 0;           // 0: any process
  bool visibleOnly = true;
};

std::vector<HWND> findWindows(const WindowQuery& query);
HWND findWindow(const WindowQuery& query);  // the first match or nullptr
HWND waitForWindow(const WindowQuery& query, Millis timeout = kWait);
HWND waitForWindow(std::wstring_view caption, Millis timeout = kWait);  // exact caption
HWND waitForWindowPrefix(std::wstring_view captionPrefix, Millis timeout = kWait);
// True once the window is destroyed or hidden.
bool waitWindowGone(HWND window, Millis timeout = kWait);
// The visible top-level windows, one a line ("pid class 'caption'"), for
// failure messages.
std::string describeWindows();
DWORD windowPid(HWND window);

// ---- controls -------------------------------------------------------------
struct Control {
  HWND hwnd = nullptr;
  std::wstring className;
  int id = 0;
  std::wstring text;
  bool visible = false;
  bool enabled = false;
};

// Every control inside window (nested ones included), in creation order.
std::vector<Control> controls(HWND window);
std::string describeControls(HWND window);
HWND control(HWND window, int id);  // nested ones included; nullptr when missing
HWND controlByText(HWND window, std::wstring_view text, std::wstring_view className = {});

// WM_GETTEXT / WM_SETTEXT across processes, bounded by a time-out.
std::wstring text(HWND window);
bool setText(HWND window, std::wstring_view text);
// Posted BM_CLICK: the handler may open a modal box without blocking the test.
bool click(HWND button);
bool click(HWND window, int buttonId);
// Posted WM_COMMAND with a menu command ID (menus of other processes cannot
// be read, so they are driven by ID).
bool menuCommand(HWND window, int commandId);
bool close(HWND window);  // posted WM_CLOSE
std::optional<int> progressPos(HWND progressBar);  // PBM_GETPOS
bool isEnabled(HWND window);
bool isVisible(HWND window);

// ---- message boxes --------------------------------------------------------
struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::wstring title;
  std::wstring text;         // the text control, ID 65535
  std::vector<int> buttons;  // IDOK, IDCANCEL, IDYES, IDNO, ...
};

// A visible message box ("#32770" with a text control 65535) of process pid
// (0: any) whose title is `title` (empty: any).
std::optional<MessageBoxInfo> findMessageBox(DWORD pid = 0, std::wstring_view title = {});
std::optional<MessageBoxInfo> waitForMessageBox(DWORD pid = 0, std::wstring_view title = {},
                                                Millis timeout = kWait);
// Presses the button with that ID; false when the box has no such button.
bool answerMessageBox(HWND box, int buttonId);

// ---- waiting --------------------------------------------------------------
// Polls ready() until it holds; false on time-out.
template <class Ready>
bool waitUntil(Ready ready, Millis timeout = kWait, Millis step = Millis{20}) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (ready()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    Sleep(static_cast<DWORD>(step.count()));
  }
}

// ---- screenshots ----------------------------------------------------------
// Waits until the window and its controls have nothing left to paint, then
// a little longer for the drawing to reach the display. False on time-out.
bool waitPainted(HWND window, Millis timeout = Millis{3000});

// A PNG of the whole screen (wine's virtual desktop), or of one window's
// rectangle as it shows on the screen, once the visible windows have been
// painted. Writes the file; false on failure.
bool saveScreenshot(const std::wstring& pngPath);
bool saveWindowScreenshot(HWND window, const std::wstring& pngPath);

// PNG encoding, 8-bit RGB rows top-down, zlib stored blocks (no compression).
std::vector<std::uint8_t> encodePng(int width, int height, const std::uint8_t* rgb);
std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler = 1);

}  // namespace windriver
