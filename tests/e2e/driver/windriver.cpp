#include "windriver.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <utility>

namespace windriver {
namespace {

// Bound for one message sent to another process: a hung program must not hang
// the test.
constexpr UINT kSendTimeoutMs = 2000;

std::wstring classOf(HWND wnd) {
  wchar_t buf[256];
  int n = GetClassNameW(wnd, buf, 256);
  return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

// The caption the window system keeps for a window; it never waits on the
// window's owner (unlike WM_GETTEXT).
std::wstring captionOf(HWND wnd) {
  wchar_t buf[1024];
  int n = InternalGetWindowText(wnd, buf, 1024);
  return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

bool matches(std::wstring_view have, std::wstring_view want, Match how) {
  switch (how) {
    case Match::Exact:
      return have == want;
    case Match::Prefix:
      return have.substr(0, want.size()) == want;
    case Match::Contains:
      return have.find(want) != std::wstring_view::npos;
  }
  return false;
}

bool sameNameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring lastErrorText(const wchar_t* what) {
  DWORD err = GetLastError();
  wchar_t* msg = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, err, 0, reinterpret_cast<wchar_t*>(&msg), 0, nullptr);
  std::wstring s = std::wstring(what) + L" failed, error " + std::to_wstring(err);
  if (msg) {
    s += L": ";
    s += msg;
    LocalFree(msg);
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r')) s.pop_back();
  }
  return s;
}

DWORD toMs(Millis m) { return m.count() < 0 ? 0 : static_cast<DWORD>(m.count()); }

std::vector<HWND> childWindows(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(
      parent,
      [](HWND h, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

}  // namespace

// ---- texts and paths ------------------------------------------------------

std::wstring widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string narrow(std::wstring_view text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

namespace {
std::wstring toWindowsPath(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  // Wine maps the Linux root to drive Z: in every prefix.
  if (!path.empty() && path[0] == L'\\' && (path.size() < 2 || path[1] != L'\\'))
    path.insert(0, L"Z:");
  return path;
}
}  // namespace

std::wstring windowsPath(std::string_view path) { return toWindowsPath(widen(path)); }

std::wstring quoteArgument(std::wstring_view arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring_view::npos)
    return std::wstring(arg);
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
    } else if (c == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
      backslashes = 0;
    } else {
      out.append(backslashes, L'\\');
      backslashes = 0;
    }
    if (c != L'\\') out += c;
  }
  out.append(backslashes * 2, L'\\');  // they precede the closing quote
  out += L'"';
  return out;
}

// ---- processes ------------------------------------------------------------

Process::Process(Process&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      pid_(std::exchange(other.pid_, 0)),
      error_(std::move(other.error_)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    release();
    handle_ = std::exchange(other.handle_, nullptr);
    pid_ = std::exchange(other.pid_, 0);
    error_ = std::move(other.error_);
  }
  return *this;
}

Process::~Process() { release(); }

void Process::release() {
  if (!handle_) return;
  if (running()) kill();
  CloseHandle(handle_);
  handle_ = nullptr;
  pid_ = 0;
}

Process Process::start(const std::wstring& program, const std::vector<std::wstring>& args,
                       const std::wstring& workDir) {
  Process p;
  std::wstring app = toWindowsPath(program);
  std::wstring cmdLine = quoteArgument(app);
  for (const auto& a : args) cmdLine += L" " + quoteArgument(a);
  std::wstring dir = workDir.empty() ? app.substr(0, app.find_last_of(L'\\') + 1)
                                     : toWindowsPath(workDir);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  // No standard handles: the program must not hold the test's output open.
  si.dwFlags = STARTF_USESTDHANDLES;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(app.c_str(), cmdLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      dir.empty() ? nullptr : dir.c_str(), &si, &pi)) {
    p.error_ = lastErrorText(L"CreateProcessW") + L" (" + app + L")";
    return p;
  }
  CloseHandle(pi.hThread);
  p.handle_ = pi.hProcess;
  p.pid_ = pi.dwProcessId;
  return p;
}

Process Process::attach(DWORD pid) {
  Process p;
  p.handle_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                          FALSE, pid);
  if (p.handle_)
    p.pid_ = pid;
  else
    p.error_ = lastErrorText(L"OpenProcess");
  return p;
}

bool Process::running() const {
  return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::waitExit(Millis timeout) {
  if (!handle_ || WaitForSingleObject(handle_, toMs(timeout)) != WAIT_OBJECT_0) return {};
  DWORD code = 0;
  if (!GetExitCodeProcess(handle_, &code)) return {};
  return code;
}

bool Process::kill(UINT exitCode) {
  if (!handle_) return true;
  if (!running()) return true;
  TerminateProcess(handle_, exitCode);
  return WaitForSingleObject(handle_, 5000) == WAIT_OBJECT_0;
}

std::vector<DWORD> processIds(std::wstring_view exeName) {
  std::vector<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W e = {};
  e.dwSize = sizeof e;
  for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e))
    if (sameNameIgnoringCase(e.szExeFile, exeName)) ids.push_back(e.th32ProcessID);
  CloseHandle(snap);
  return ids;
}

int killProcesses(std::wstring_view exeName) {
  int ended = 0;
  for (DWORD pid : processIds(exeName)) {
    if (pid == GetCurrentProcessId()) continue;
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!h) continue;
    if (TerminateProcess(h, 1) && WaitForSingleObject(h, 5000) == WAIT_OBJECT_0) ++ended;
    CloseHandle(h);
  }
  return ended;
}

// ---- top-level windows ----------------------------------------------------

DWORD windowPid(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

std::vector<HWND> findWindows(const WindowQuery& query) {
  struct Search {
    const WindowQuery* q;
    std::vector<HWND> found;
  } search{&query, {}};
  EnumWindows(
      [](HWND h, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        const WindowQuery& q = *s->q;
        if (q.visibleOnly && !IsWindowVisible(h)) return TRUE;
        if (q.pid && windowPid(h) != q.pid) return TRUE;
        if (!q.className.empty() && classOf(h) != q.className) return TRUE;
        if (!matches(captionOf(h), q.caption, q.match)) return TRUE;
        s->found.push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND findWindow(const WindowQuery& query) {
  auto all = findWindows(query);
  return all.empty() ? nullptr : all.front();
}

HWND waitForWindow(const WindowQuery& query, Millis timeout) {
  HWND found = nullptr;
  waitUntil([&] { return (found = findWindow(query)) != nullptr; }, timeout);
  return found;
}

HWND waitForWindow(std::wstring_view caption, Millis timeout) {
  WindowQuery q;
  q.caption = caption;
  return waitForWindow(q, timeout);
}

HWND waitForWindowPrefix(std::wstring_view captionPrefix, Millis timeout) {
  WindowQuery q;
  q.caption = captionPrefix;
  q.match = Match::Prefix;
  return waitForWindow(q, timeout);
}

bool waitWindowGone(HWND window, Millis timeout) {
  return waitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout);
}

std::string describeWindows() {
  WindowQuery all;
  all.match = Match::Prefix;
  std::string out;
  for (HWND h : findWindows(all)) {
    out += "  pid " + std::to_string(windowPid(h)) + " " + narrow(classOf(h)) + " '" +
           narrow(captionOf(h)) + "'\n";
  }
  return out.empty() ? "  (no visible top-level window)\n" : out;
}

// ---- controls -------------------------------------------------------------

std::vector<Control> controls(HWND window) {
  std::vector<Control> out;
  for (HWND h : childWindows(window)) {
    Control c;
    c.hwnd = h;
    c.className = classOf(h);
    c.id = GetDlgCtrlID(h);
    c.text = text(h);
    c.visible = IsWindowVisible(h) != FALSE;
    c.enabled = IsWindowEnabled(h) != FALSE;
    out.push_back(std::move(c));
  }
  return out;
}

std::string describeControls(HWND window) {
  std::string out;
  for (const Control& c : controls(window)) {
    out += "  id " + std::to_string(c.id) + " " + narrow(c.className) + " '" + narrow(c.text) +
           "'" + (c.visible ? "" : " hidden") + (c.enabled ? "" : " disabled") + "\n";
  }
  return out.empty() ? "  (no controls)\n" : out;
}

HWND control(HWND window, int id) {
  if (HWND direct = GetDlgItem(window, id)) return direct;
  for (HWND h : childWindows(window))
    if (GetDlgCtrlID(h) == id) return h;
  return nullptr;
}

HWND controlByText(HWND window, std::wstring_view wanted, std::wstring_view className) {
  for (HWND h : childWindows(window)) {
    if (!className.empty() && !sameNameIgnoringCase(classOf(h), className)) continue;
    if (text(h) == wanted) return h;
  }
  return nullptr;
}

std::wstring text(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length))
    return captionOf(window);
  std::wstring buf(length + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
    return captionOf(window);
  buf.resize(std::min<size_t>(got, length));
  return buf;
}

bool setText(HWND window, std::wstring_view value) {
  std::wstring s(value);
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.c_str()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) &&
         result != 0;
}

bool click(HWND button) {
  // A user cannot press what is disabled or hidden; neither may a test.
  if (!button || !IsWindowEnabled(button) || !IsWindowVisible(button)) return false;
  return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

bool click(HWND window, int buttonId) { return click(control(window, buttonId)); }

bool menuCommand(HWND window, int commandId) {
  return PostMessageW(window, WM_COMMAND, MAKEWPARAM(commandId, 0), 0) != FALSE;
}

bool close(HWND window) { return PostMessageW(window, WM_CLOSE, 0, 0) != FALSE; }

std::optional<int> progressPos(HWND progressBar) {
  DWORD_PTR pos = 0;
  if (!SendMessageTimeoutW(progressBar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &pos))
    return {};
  return static_cast<int>(pos);
}

bool isEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }
bool isVisible(HWND window) { return IsWindowVisible(window) != FALSE; }

// ---- message boxes --------------------------------------------------------

std::optional<MessageBoxInfo> findMessageBox(DWORD pid, std::wstring_view title) {
  WindowQuery q;
  q.className = L"#32770";
  q.caption = title;
  q.match = title.empty() ? Match::Prefix : Match::Exact;
  q.pid = pid;
  for (HWND box : findWindows(q)) {
    HWND textControl = GetDlgItem(box, 0xFFFF);
    if (!textControl) continue;
    MessageBoxInfo info;
    info.hwnd = box;
    info.title = captionOf(box);
    info.text = text(textControl);
    for (HWND h : childWindows(box))
      if (sameNameIgnoringCase(classOf(h), L"Button") && IsWindowVisible(h))
        info.buttons.push_back(GetDlgCtrlID(h));
    return info;
  }
  return {};
}

std::optional<MessageBoxInfo> waitForMessageBox(DWORD pid, std::wstring_view title,
                                                Millis timeout) {
  std::optional<MessageBoxInfo> box;
  waitUntil([&] { return (box = findMessageBox(pid, title)).has_value(); }, timeout);
  return box;
}

bool answerMessageBox(HWND box, int buttonId) {
  HWND button = GetDlgItem(box, buttonId);
  return button && classOf(button) == L"Button" && click(button);
}

// ---- screenshots ----------------------------------------------------------

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::uint32_t adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler) {
  std::uint32_t a = adler & 0xFFFF, b = adler >> 16;
  for (std::size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

namespace {

void putBE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putChunk(std::vector<std::uint8_t>& out, const char type[4],
              const std::vector<std::uint8_t>& body) {
  putBE32(out, static_cast<std::uint32_t>(body.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  putBE32(out, crc32(out.data() + start, out.size() - start));
}

bool writeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  // Create the missing folders first.
  for (size_t i = path.find_first_of(L"\\/", 3); i != std::wstring::npos;
       i = path.find_first_of(L"\\/", i + 1))
    CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  return CloseHandle(h) && ok;
}

bool captureScreenRect(const RECT& wanted, const std::wstring& pngPath) {
  RECT screen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
  screen.right = screen.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  screen.bottom = screen.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  RECT r;
  if (!IntersectRect(&r, &wanted, &screen)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;

  HDC screenDc = GetDC(nullptr);
  if (!screenDc) return false;
  HDC memDc = CreateCompatibleDC(screenDc);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screenDc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  std::vector<std::uint8_t> rgb;
  if (memDc && dib && bits) {
    HGDIOBJ old = SelectObject(memDc, dib);
    ok = BitBlt(memDc, 0, 0, w, h, screenDc, r.left, r.top, SRCCOPY | CAPTUREBLT) != FALSE;
    GdiFlush();
    if (ok) {
      const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
      rgb.resize(static_cast<size_t>(w) * h * 3);
      for (int y = 0; y < h; ++y) {
        const auto* src = static_cast<const std::uint8_t*>(bits) + stride * y;
        std::uint8_t* dst = rgb.data() + static_cast<size_t>(y) * w * 3;
        for (int x = 0; x < w; ++x) {  // BGR to RGB
          dst[x * 3] = src[x * 3 + 2];
          dst[x * 3 + 1] = src[x * 3 + 1];
          dst[x * 3 + 2] = src[x * 3];
        }
      }
    }
    SelectObject(memDc, old);
  }
  if (dib) DeleteObject(dib);
  if (memDc) DeleteDC(memDc);
  ReleaseDC(nullptr, screenDc);
  return ok && writeFile(pngPath, encodePng(w, h, rgb.data()));
}

}  // namespace

std::vector<std::uint8_t> encodePng(int width, int height, const std::uint8_t* rgb) {
  static const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> out(signature, signature + sizeof signature);

  std::vector<std::uint8_t> header;
  putBE32(header, static_cast<std::uint32_t>(width));
  putBE32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  putChunk(out, "IHDR", header);

  // Scanlines, each led by filter type 0.
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  std::vector<std::uint8_t> raw;
  raw.reserve((rowBytes + 1) * height);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb + rowBytes * y, rgb + rowBytes * (y + 1));
  }

  // zlib stream of stored deflate blocks (at most 65535 bytes each).
  std::vector<std::uint8_t> z = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(raw.size() - at, 65535);
    const bool last = at + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<std::uint8_t>(n));
    z.push_back(static_cast<std::uint8_t>(n >> 8));
    z.push_back(static_cast<std::uint8_t>(~n));
    z.push_back(static_cast<std::uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
    at += n;
  } while (at < raw.size());
  putBE32(z, adler32(raw.data(), raw.size()));
  putChunk(out, "IDAT", z);
  putChunk(out, "IEND", {});
  return out;
}

namespace {

// Wine hands a window's drawing to the display in periodic flushes.
constexpr DWORD kFlushMs = 150;

bool nothingLeftToPaint(HWND window, Millis timeout) {
  auto pending = [](HWND h) { return IsWindowVisible(h) && GetUpdateRect(h, nullptr, FALSE); };
  return waitUntil(
      [&] {
        // The owner must have taken its messages first: a window shown but not
        // yet processed may have no update region so far.
        DWORD_PTR ignored;
        if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                 &ignored))
          return false;
        if (pending(window)) return false;
        for (HWND c : childWindows(window))
          if (pending(c)) return false;
        return true;
      },
      timeout);
}

}  // namespace

bool waitPainted(HWND window, Millis timeout) {
  bool painted = nothingLeftToPaint(window, timeout);
  Sleep(kFlushMs);
  return painted;
}

bool saveScreenshot(const std::wstring& pngPath) {
  WindowQuery visible;
  visible.match = Match::Prefix;
  for (HWND h : findWindows(visible)) nothingLeftToPaint(h, Millis{1000});
  Sleep(kFlushMs);
  RECT all = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
  all.right = all.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  all.bottom = all.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  return captureScreenRect(all, toWindowsPath(pngPath));
}

bool saveWindowScreenshot(HWND window, const std::wstring& pngPath) {
  waitPainted(window);
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  return captureScreenRect(r, toWindowsPath(pngPath));
}

}  // namespace windriver
