// Benchmark of qav under wine. Not a test: it prints numbers and ratios
// measured in one run, on one machine, and fails on none.
//
//   qav_wine_bench FOLDER [--scale S] [--runs N] [--sets big,small,empty]
//                  [--qav PATH | --no-exe] [--verbose]
//   qav_wine_bench FOLDER --prepare [--scale S]   only make the data sets
//
// FOLDER is a Windows path (Z:\... for a Linux folder). The data sets live in
// FOLDER\sets, shaped, named and marked as the native benchmark makes them, so
// both share them: one 1 GiB file, 10,000 files of 1-64 KiB, 30,000 empty
// files (each count and size times S). Scratch files go to FOLDER\wine-work.
//
// Every set runs in a child process of its own, so that its peak memory is its
// own. The child shows qav's real main window (qavapp, with qav's resources,
// on the session's display) and times, after a warm-up, N runs of these in a
// rotating order, letting the disk settle after each:
//   pack     loop     every source read in 512 KiB ReadFile calls and appended to one output
//            engine   the window's file list (設定檔案資料) and the core pack, no window
//            window   設定檔案資料 + 存成集裝檔 of the main window: its captions, bars, yields
//   restore  loop     one archive read sequentially, every file written in 512 KiB WriteFile calls
//            engine   the core restore, no window (sets of up to 1,000 files)
//            window   還原檔案 with 從子文件啟動 set: a new folder beside the archive, no question
//            qav.exe  qav.exe started with the archive path, until it has ended
//            loop.exe this benchmark started as a program that only runs the restore's
//                     loop (into a new folder), until it has ended: qav.exe's baseline,
//                     since both pay for starting and ending a process
// The window runs are watched (messages to its controls, caption timing,
// private bytes). Then, to show where the window's time goes: a single run of
// the engine with each file call timed; the window's cost for one empty file;
// the cost of each kind of call qav makes beyond the loop; and the header's
// build and write time at half and all of the largest set's entries.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../bench_data.h"
#include "archive.h"
#include "engine.h"
#include "file_system.h"
#include "frmQAVMain.h"
#include "resource.h"
#include "process_win.h"

namespace {

using qav::app::MainWindow;
using std::u16string;

constexpr DWORD kChunk = 524288;

// ---- Small helpers --------------------------------------------------------------

const wchar_t* W(const u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
u16string U(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
u16string U(const char* ascii) { return u16string(ascii, ascii + std::strlen(ascii)); }
std::string ascii(const u16string& s) {
  std::string out;
  for (char16_t c : s) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}
std::string utf8(const u16string& s) {
  std::string out(s.size() * 3 + 1, '\0');
  const int n = WideCharToMultiByte(CP_UTF8, 0, W(s), static_cast<int>(s.size()), out.data(),
                                    static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? n : 0);
  return out;
}

// Text goes out as UTF-8 bytes; on a console as UTF-16, so that wine's
// console does not read the Chinese names in the ANSI code page.
void say(const char* format, ...) {
  char text[4096];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n <= 0) return;
  const DWORD length = static_cast<DWORD>(std::min<int>(n, sizeof text - 1));
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(out, &mode)) {
    std::vector<wchar_t> wide(length + 1);
    const int w = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), wide.data(),
                                      static_cast<int>(wide.size()));
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(w), &written, nullptr);
  } else {
    WriteFile(out, text, length, &written, nullptr);
  }
}

[[noreturn]] void die(const std::string& what) {
  std::fprintf(stderr, "qav_wine_bench: %s\n", what.c_str());
  std::fflush(stderr);
  ExitProcess(1);
}

double seconds() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart / frequency;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The spread of the runs, as the machine's noise: (max - min) / median.
double spread(const std::vector<double>& v) {
  if (v.empty()) return 0;
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  return (*hi - *lo) / median(v);
}

// A Linux path as wine sees it: drive Z: is the Linux root.
u16string fromLinuxPath(const char* path) {
  u16string s = U("Z:");
  for (const char* p = path; *p; ++p) s += *p == '/' ? u'\\' : static_cast<char16_t>(*p);
  return s;
}

u16string withSlash(u16string folder) {
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  return folder;
}

bool exists(const u16string& path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

uint64_t fileSize(const u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &d)) return UINT64_MAX;
  return static_cast<uint64_t>(d.nFileSizeHigh) << 32 | d.nFileSizeLow;
}

// Removes a file or a folder with everything in it.
void removeTree(u16string path) {
  if (path.size() > 3 && path.back() == u'\\') path.pop_back();
  const DWORD a = GetFileAttributesW(W(path));
  if (a == INVALID_FILE_ATTRIBUTES) return;
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(W(path), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(W(path));
    return;
  }
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW(W(path + u"\\*"), &f);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const u16string name = U(f.cFileName);
      if (name != u"." && name != u"..") removeTree(path + u"\\" + name);
    } while (FindNextFileW(h, &f));
    FindClose(h);
  }
  RemoveDirectoryW(W(path));
}

// Files in a folder and their total size.
void countFolder(const u16string& folder, size_t& files, uint64_t& bytes) {
  files = 0;
  bytes = 0;
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW(W(withSlash(folder) + u"*"), &f);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    ++files;
    bytes += static_cast<uint64_t>(f.nFileSizeHigh) << 32 | f.nFileSizeLow;
  } while (FindNextFileW(h, &f));
  FindClose(h);
}

// Writes what is still in the page cache for this file now, so that it does
// not go to disk during a timed run.
void flushFile(const u16string& path) {
  HANDLE h = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  FlushFileBuffers(h);
  CloseHandle(h);
}

u16string ownPath() {
  wchar_t path[MAX_PATH * 2];
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  return U(path);
}

// A Linux file such as /proc/meminfo, read through drive Z:.
std::string readText(const wchar_t* path) {
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string text(65536, '\0');
  DWORD got = 0;
  ReadFile(h, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
  CloseHandle(h);
  text.resize(got);
  return text;
}

// The machine's load (the 1, 5 and 15 minute averages), to tell the noise of
// other work from that of the runs.
std::string loadAverage() {
  const std::string s = readText(L"Z:\\proc\\loadavg");
  size_t end = 0;
  for (int fields = 0; fields < 3 && end != std::string::npos; ++fields)
    end = s.find(' ', end + (fields > 0));
  return s.empty() ? "?" : s.substr(0, end);
}

bool diskBusy() {
  const std::string mem = readText(L"Z:\\proc\\meminfo");
  const size_t at = mem.find("\nWriteback:");
  if (at != std::string::npos && std::atol(mem.c_str() + at + 11) > 0) return true;
  // /proc/diskstats: major minor name, then 11 or more counters; the 9th is
  // the number of I/Os in flight.
  const std::string disks = readText(L"Z:\\proc\\diskstats");
  for (size_t line = 0; line < disks.size();) {
    const size_t end = std::min(disks.find('\n', line), disks.size());
    unsigned major, minor;
    char name[64];
    unsigned long long c[9];
    if (std::sscanf(disks.c_str() + line, "%u %u %63s %llu %llu %llu %llu %llu %llu %llu %llu %llu",
                    &major, &minor, name, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7],
                    &c[8]) == 12 &&
        c[8] > 0)
      return true;
    line = end + 1;
  }
  return false;
}

// Lets the disk finish what the last operation left it: the write-back of
// closed files, and the discards that deleting them causes (the file system
// here is mounted with online discard). Otherwise that I/O runs into the next
// timed operation, whichever it is. An fsync commits the journal now, which
// issues the discards; then Linux's counters must show no write-back and no
// I/O in flight for 60 ms (10 s at most).
void settle(const u16string& scratch) {
  HANDLE h = CreateFileW(W(scratch), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(h, "x", 1, &written, nullptr);
    FlushFileBuffers(h);
    CloseHandle(h);
  }
  const double start = seconds();
  for (int quiet = 0; quiet < 3 && seconds() - start < 10;) {
    quiet = diskBusy() ? 0 : quiet + 1;
    Sleep(20);
  }
}

// ---- Memory ---------------------------------------------------------------------

struct Memory {
  double workingSet = 0, peakWorkingSet = 0, privateBytes = 0;  // MiB
};

Memory memoryOf(HANDLE process) {
  PROCESS_MEMORY_COUNTERS c = {};
  c.cb = sizeof c;
  if (!GetProcessMemoryInfo(process, &c, sizeof c)) return {};
  // Under wine PeakWorkingSetSize is the true peak (the kernel's high-water
  // mark) but PeakPagefileUsage is only the current private size: the peak of
  // that is sampled.
  return {c.WorkingSetSize / 1048576.0, c.PeakWorkingSetSize / 1048576.0,
          std::max(c.PagefileUsage, c.PeakPagefileUsage) / 1048576.0};
}

// Samples this process's private bytes every 10 ms while it lives (about
// 0.3 % of one processor under wine).
class PrivatePeak {
 public:
  PrivatePeak() : thread_([this] {
      while (!stop_) {
        peak_ = std::max(peak_.load(), memoryOf(GetCurrentProcess()).privateBytes);
        Sleep(10);
      }
    }) {}
  ~PrivatePeak() { stop(); }
  double stop() {
    if (thread_.joinable()) {
      stop_ = true;
      thread_.join();
    }
    return peak_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<double> peak_{0};
  std::thread thread_;
};

// ---- Data sets ------------------------------------------------------------------

struct DataSet {
  std::string name, label;
  std::vector<u16string> files;  // names inside the set's folder
  std::vector<uint64_t> sizes;
  uint64_t bytes = 0;
};

using qav::bench::fill;

void writeNewFile(const u16string& path, uint64_t size, uint64_t& state, std::vector<char>& buf) {
  HANDLE h = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) die("cannot create " + ascii(path));
  while (size > 0) {
    const DWORD n = static_cast<DWORD>(std::min<uint64_t>(size, buf.size()));
    fill(buf.data(), n, state);
    DWORD written = 0;
    if (!WriteFile(h, buf.data(), n, &written, nullptr) || written != n)
      die("cannot write " + ascii(path));
    size -= n;
  }
  CloseHandle(h);
}

// The same names, sizes and marker as the native benchmark: a set made by
// either serves both.
DataSet makeSet(const u16string& root, const std::string& name, const std::string& label,
                size_t count, uint64_t minSize, uint64_t maxSize, const char* prefix, bool create) {
  DataSet set{name, label, {}, {}, 0};
  uint64_t rng = 0x9E3779B97F4A7C15ull ^ count;
  for (size_t i = 0; i < count; ++i) {
    char file[32];
    std::snprintf(file, sizeof file, "%s%05u.bin", prefix, static_cast<unsigned>(i));
    set.files.push_back(U(file));
    rng = rng * 6364136223846793005ull + 1442695040888963407ull;
    set.sizes.push_back(minSize == maxSize ? minSize
                                           : minSize + (rng >> 33) % (maxSize - minSize + 1));
    set.bytes += set.sizes.back();
  }
  const u16string dir = root + U(name.c_str()), marker = root + U((name + ".ready").c_str());
  const std::string shape = std::to_string(count) + " " + std::to_string(set.bytes);
  std::string got(64, '\0');
  HANDLE m = CreateFileW(W(marker), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (m != INVALID_HANDLE_VALUE) {
    DWORD n = 0;
    ReadFile(m, got.data(), static_cast<DWORD>(got.size()), &n, nullptr);
    got.resize(n);
    CloseHandle(m);
    if (got == shape) return set;
  }
  if (!create) die("data set " + name + " is missing: run with --prepare first");
  say("creating %s ...\n", label.c_str());
  DeleteFileW(W(marker));
  removeTree(dir);
  CreateDirectoryW(W(dir), nullptr);
  uint64_t state = 88172645463325252ull;
  std::vector<char> buf(1 << 20);
  for (size_t i = 0; i < count; ++i) writeNewFile(dir + u"\\" + set.files[i], set.sizes[i], state, buf);
  m = CreateFileW(W(marker), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(m, shape.data(), static_cast<DWORD>(shape.size()), &n, nullptr);
  CloseHandle(m);
  return set;
}

struct Options {
  u16string root;  // with a trailing "\"
  double scale = 1;
  int runs = 3;
  std::vector<std::string> sets = {"big", "small", "empty"};
  u16string qavExe;  // empty: no qav.exe runs
  bool verbose = false;
};

DataSet setNamed(const Options& o, const std::string& name, bool create) {
  const auto count = [&](double n) {
    return std::max<size_t>(1, static_cast<size_t>(n * o.scale + 0.5));
  };
  const u16string sets = o.root + u"sets\\";
  if (name == "big") {
    const auto size = static_cast<uint64_t>(1073741824 * o.scale);
    return makeSet(sets, "big", "1 file of 1 GiB", 1, size, size, "big", create);
  }
  if (name == "small")
    return makeSet(sets, "small", std::to_string(count(10000)) + " files of 1-64 KiB",
                   count(10000), 1024, 65536, "s", create);
  if (name == "empty")
    return makeSet(sets, "empty", std::to_string(count(30000)) + " empty files", count(30000), 0,
                   0, "e", create);
  die("unknown set " + name);
}

// ---- The plain copy loops ------------------------------------------------------------

// The loops create their files with CREATE_NEW (they never exist beforehand
// here): wine opens a CREATE_ALWAYS file with O_TRUNC even when it is new, and
// ext4 then allocates and starts writing out all of its data when it is closed
// (0.17 s for 1 GiB on this machine, and 0.15 s more to delete it). The loops
// are meant to show what the copying itself costs.

// The pack's I/O without qav: every source read in 512 KiB chunks and appended
// to one output.
double loopPack(const u16string& from, const DataSet& set, const u16string& output, char* buf) {
  const double start = seconds();
  HANDLE out = CreateFileW(W(output), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) die("loop cannot create " + ascii(output));
  for (const u16string& name : set.files) {
    HANDLE in = CreateFileW(W(from + name), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE) die("loop cannot open " + ascii(name));
    for (;;) {
      DWORD got = 0, written = 0;
      if (!ReadFile(in, buf, kChunk, &got, nullptr)) die("loop cannot read " + ascii(name));
      if (got == 0) break;
      if (!WriteFile(out, buf, got, &written, nullptr) || written != got) die("loop cannot write");
    }
    CloseHandle(in);
  }
  CloseHandle(out);
  return seconds() - start;
}

// The restore's I/O without qav: the archive read from its data area to the
// end, every file written in 512 KiB chunks into a new folder.
double loopRestore(const u16string& archive, uint64_t dataStart, const DataSet& set,
                   const u16string& folder, char* buf) {
  const double start = seconds();
  CreateDirectoryW(W(folder), nullptr);
  HANDLE in = CreateFileW(W(archive), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (in == INVALID_HANDLE_VALUE) die("loop cannot open " + ascii(archive));
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(dataStart);
  SetFilePointerEx(in, at, nullptr, FILE_BEGIN);
  const u16string prefix = withSlash(folder);
  for (size_t i = 0; i < set.files.size(); ++i) {
    HANDLE out = CreateFileW(W(prefix + set.files[i]), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) die("loop cannot create " + ascii(set.files[i]));
    for (uint64_t left = set.sizes[i]; left > 0;) {
      const DWORD want = static_cast<DWORD>(std::min<uint64_t>(left, kChunk));
      DWORD got = 0, written = 0;
      if (!ReadFile(in, buf, want, &got, nullptr) || got != want) die("loop: archive ends early");
      if (!WriteFile(out, buf, got, &written, nullptr) || written != got) die("loop cannot write");
      left -= got;
    }
    CloseHandle(out);
  }
  CloseHandle(in);
  return seconds() - start;
}

// ---- Error boxes ----------------------------------------------------------------------

// qav reports a failure in a "錯誤報告" box and waits for OK. Answer it, so
// that the run can stop with the message instead of hanging.
std::atomic<bool> g_sawErrorBox{false};

BOOL CALLBACK findErrorBox(HWND wnd, LPARAM) {
  wchar_t cls[16] = {}, title[32] = {};
  GetClassNameW(wnd, cls, 16);
  GetWindowTextW(wnd, title, 32);
  if (std::wcscmp(cls, L"#32770") != 0 || U(title) != u"錯誤報告" || !IsWindowVisible(wnd))
    return TRUE;
  wchar_t text[1024] = {};
  GetDlgItemTextW(wnd, 0xFFFF, text, 1024);
  std::fprintf(stderr, "qav_wine_bench: qav reported: %s\n", utf8(U(text)).c_str());
  std::fflush(stderr);
  g_sawErrorBox = true;
  PostMessageW(wnd, WM_COMMAND, IDOK, 0);
  return TRUE;
}

void watchErrorBoxes() {
  std::thread([] {
    for (;;) {
      EnumWindows(findErrorBox, 0);
      Sleep(200);
    }
  }).detach();
}

void checkNoErrorBox(const char* what) {
  if (g_sawErrorBox) die(std::string(what) + " failed (see qav's message above)");
}

// ---- Window instrumentation -------------------------------------------------------------

// Counts and times the messages that the window's progress sends to its
// controls and the paints that follow, by subclassing them for one run.
struct Counter {
  int count = 0;
  double seconds = 0;
};
struct WindowProfile {
  Counter label1Text, label2Text, barPos, barRedraw, paint, otherMessages;
  std::vector<double> label1Times;
};
WindowProfile* g_profile = nullptr;
WNDPROC g_oldProcs[8] = {};
const int kSpied[8] = {0, IDC_LABEL1, IDC_LABEL2, IDC_PICTURE1, IDC_PICTURE2, IDC_OUTPUT,
                       IDC_LABEL4, IDC_LABEL5};

LRESULT CALLBACK spyProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  static int depth = 0;
  const int id = GetParent(wnd) ? GetDlgCtrlID(wnd) : 0;
  int slot = 0;
  while (slot < 8 && kSpied[slot] != id) ++slot;
  WNDPROC old = g_oldProcs[slot < 8 ? slot : 0];
  const double start = seconds();
  ++depth;
  const LRESULT r = CallWindowProcW(old, wnd, msg, wp, lp);
  --depth;
  const double took = seconds() - start;
  // A message sent while another one is handled (a label's paint asks the
  // main window for its colours) is part of that one's time.
  WindowProfile* p = g_profile;
  if (!p || depth > 0) return r;
  Counter* c = &p->otherMessages;
  if (msg == WM_SETTEXT && id == IDC_LABEL1) {
    c = &p->label1Text;
    p->label1Times.push_back(start);
  } else if (msg == WM_SETTEXT && id == IDC_LABEL2) {
    c = &p->label2Text;
  } else if (msg == PBM_SETPOS) {
    c = r != static_cast<LRESULT>(wp) ? &p->barRedraw : &p->barPos;
  } else if (msg == WM_PAINT || msg == WM_ERASEBKGND || msg == WM_NCPAINT) {
    c = &p->paint;
  }
  c->count++;
  c->seconds += took;
  return r;
}

void spyOnWindow(HWND main) {
  for (int slot = 0; slot < 8; ++slot) {
    HWND wnd = kSpied[slot] == 0 ? main : GetDlgItem(main, kSpied[slot]);
    if (!wnd) continue;
    g_oldProcs[slot] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(spyProc)));
  }
}

// ---- The child: one set ---------------------------------------------------------------

// Another file system, with the time spent in each kind of call.
class TimingFileSystem final : public qav::FileSystem {
 public:
  explicit TimingFileSystem(qav::FileSystem& fs) : fs_(fs) {}
  enum Call { OpenRead, Seek, Read, Create, Write, SetTimes, Close, Remove, Rename, Exists, FileId, kCalls };
  static constexpr const char* kNames[kCalls] = {"openRead", "seek", "read", "create", "write",
                                                 "setTimes", "close", "remove", "rename",
                                                 "exists", "fileId"};
  Counter calls[kCalls];

  template <class F>
  auto timed(Call call, F f) {
    const double start = seconds();
    auto r = f();
    calls[call].count++;
    calls[call].seconds += seconds() - start;
    return r;
  }

  qav::FsResult openRead(const u16string& path, qav::FileHandle& file, uint64_t& size) override {
    return timed(OpenRead, [&] { return fs_.openRead(path, file, size); });
  }
  qav::FsResult seek(qav::FileHandle file, uint64_t offset) override {
    return timed(Seek, [&] { return fs_.seek(file, offset); });
  }
  qav::FsResult read(qav::FileHandle file, void* dst, size_t n, size_t& got) override {
    return timed(Read, [&] { return fs_.read(file, dst, n, got); });
  }
  qav::FsResult create(const u16string& path, qav::CreateMode mode, qav::FileHandle& file) override {
    return timed(Create, [&] { return fs_.create(path, mode, file); });
  }
  qav::FsResult write(qav::FileHandle file, const void* src, size_t n) override {
    return timed(Write, [&] { return fs_.write(file, src, n); });
  }
  qav::FsResult setTimes(qav::FileHandle file, uint64_t c, uint64_t a, uint64_t w) override {
    return timed(SetTimes, [&] { return fs_.setTimes(file, c, a, w); });
  }
  qav::FsResult close(qav::FileHandle file) override {
    return timed(Close, [&] { return fs_.close(file); });
  }
  qav::FsResult remove(const u16string& path) override {
    return timed(Remove, [&] { return fs_.remove(path); });
  }
  qav::FsResult rename(const u16string& from, const u16string& to, bool replace) override {
    return timed(Rename, [&] { return fs_.rename(from, to, replace); });
  }
  bool exists(const u16string& path) override {
    return timed(Exists, [&] { return fs_.exists(path); });
  }
  bool fileId(const u16string& path, qav::FileId& id) override {
    return timed(FileId, [&] { return fs_.fileId(path, id); });
  }

  std::string summary() const {
    std::string out;
    for (int i = 0; i < kCalls; ++i) {
      if (calls[i].count == 0) continue;
      char part[96];
      std::snprintf(part, sizeof part, "%s%s %d x %.1f us = %.3f s", out.empty() ? "" : ", ",
                    kNames[i], calls[i].count, calls[i].seconds / calls[i].count * 1e6,
                    calls[i].seconds);
      out += part;
    }
    return out;
  }

 private:
  qav::FileSystem& fs_;
};

struct Op {
  std::string group, name;
  std::function<double()> run;
  std::function<void(bool verify)> after;  // checks the result (warm-up run) and removes it
  std::vector<double> times;
};

// Runs the qav.exe restore: start, wait until it has ended; its memory is
// polled meanwhile (its peak working set is the kernel's high-water mark).
double runQavExe(const u16string& exe, const u16string& archive, const u16string& cwd,
                 Memory* peak, const u16string& moreArgs = {}) {
  u16string cmd = u"\"" + exe + u"\" \"" + archive + u"\"" + moreArgs;
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  const double start = seconds();
  if (!CreateProcessW(W(exe), const_cast<wchar_t*>(W(cmd)), nullptr, nullptr, FALSE, 0, nullptr,
                      W(cwd), &si, &pi))
    die("cannot start " + ascii(exe));
  Memory m;
  for (;;) {
    const DWORD w = WaitForSingleObject(pi.hProcess, 20);
    const Memory now = memoryOf(pi.hProcess);
    m.peakWorkingSet = std::max(m.peakWorkingSet, now.peakWorkingSet);
    m.privateBytes = std::max(m.privateBytes, now.privateBytes);
    if (w != WAIT_TIMEOUT) break;
    if (seconds() - start > 600) die("qav.exe did not end within 10 minutes");
  }
  const double took = seconds() - start;
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (peak) *peak = m;
  if (code != 0) die(ascii(exe) + " ended with code " + std::to_string(code));
  return took;
}

u16string selectionOf(const u16string& folder, const DataSet& set, size_t n) {
  u16string s = folder;
  for (size_t i = 0; i < n; ++i) {
    s += u'\0';
    s += set.files[i];
  }
  return s;
}

// Microseconds per call of f, over n calls.
double perCall(int n, const std::function<void(int)>& f) {
  const double start = seconds();
  for (int i = 0; i < n; ++i) f(i);
  return (seconds() - start) / n * 1e6;
}

int runChild(const Options& o, const std::string& setName, const u16string& resultPath) {
  watchErrorBoxes();
  const DataSet set = setNamed(o, setName, false);
  const u16string from = o.root + u"sets\\" + U(set.name.c_str()) + u"\\";
  const u16string work = o.root + u"wine-work\\";
  const u16string base = work + U(set.name.c_str());
  const size_t n = set.files.size();
  const u16string selection = selectionOf(from, set, n);
  std::unique_ptr<char[]> buf(new char[kChunk]);
  FILE* result = _wfopen(W(resultPath), L"w");
  if (!result) die("cannot write " + ascii(resultPath));

  MainWindow& main = MainWindow::instance();
  const double createStart = seconds();
  if (!main.create(GetModuleHandleW(nullptr))) die("the main window was not created");
  const double createTime = seconds() - createStart;
  ShowWindow(main.hwnd(), SW_SHOW);
  UpdateWindow(main.hwnd());
  qav::win::pumpMessages();
  const Memory before = memoryOf(GetCurrentProcess());
  const std::string loadBefore = loadAverage();

  const u16string archive = base + u"_source.qav";
  const u16string windowTarget = base + u"_source";  // 還原檔案's new folder beside the archive
  const u16string packOut = base + u"_pack.qav";
  const u16string loopOut = base + u"_loop.bin";
  const u16string restoreTo = base + u"_restored";
  qav::Engine engine;
  qav::FileSystem& platform = qav::platformFileSystem();
  uint64_t dataStart = 0;

  auto checkPack = [&](const u16string& path, bool verify) {
    if (verify && fileSize(path) != dataStart + set.bytes)
      die("pack wrote " + ascii(path) + " with the wrong size");
    removeTree(path);
  };
  auto checkRestore = [&](const u16string& folder, bool verify) {
    if (verify) {
      size_t files = 0;
      uint64_t bytes = 0;
      countFolder(folder, files, bytes);
      if (files != n || bytes != set.bytes)
        die("restore into " + ascii(folder) + " gave " + std::to_string(files) + " files of " +
            std::to_string(bytes) + " bytes");
    }
    removeTree(folder);
  };
  auto enginePack = [&](qav::Progress* progress, qav::FileSystem& fs) {
    const double start = seconds();
    if (main.設定檔案資料(selection) != static_cast<int>(n)) die("the file list failed");
    const qav::EngineError e =
        engine.pack(fs, main.header, main.sourceFolder, packOut, {}, kChunk, progress);
    const double took = seconds() - start;
    if (!e.ok()) die("pack: " + utf8(qav::describeEngineError(e)));
    return took;
  };
  auto engineRestore = [&](qav::Progress* progress, qav::FileSystem& fs) {
    const double start = seconds();
    qav::ArchiveHeader h;
    qav::EngineError e = engine.openArchive(fs, archive, 0, h);
    CreateDirectoryW(W(restoreTo), nullptr);
    if (e.ok()) e = engine.restore(h, restoreTo + u"\\", qav::RestoreMode::MoveAside, kChunk, progress);
    const double took = seconds() - start;
    if (!e.ok()) die("restore: " + utf8(qav::describeEngineError(e)));
    return took;
  };
  auto windowPack = [&] {
    const double start = seconds();
    if (main.設定檔案資料(selection) != static_cast<int>(n)) die("the file list failed");
    const bool ok = main.存成集裝檔(packOut, 512);
    const double took = seconds() - start;
    checkNoErrorBox("存成集裝檔");
    if (!ok) die("存成集裝檔 failed");
    return took;
  };
  auto windowRestore = [&] {
    main.從子文件啟動 = true;
    const double start = seconds();
    main.還原檔案(archive, 512);
    const double took = seconds() - start;
    checkNoErrorBox("還原檔案");
    return took;
  };
  const u16string scratch = base + u"_settle.tmp";
  for (const u16string& left : {archive, windowTarget, packOut, loopOut, restoreTo})
    removeTree(left);  // of an interrupted run

  // Warm-up, not timed: the archive that the restores read (made by the engine,
  // which also brings every source into the page cache and is then written to
  // disk), the copy loop, and the window's first pack (checked).
  say("%s: warming up ...\n", set.label.c_str());
  if (main.設定檔案資料(selection) != static_cast<int>(n)) die("the file list failed");
  if (!engine.pack(platform, main.header, main.sourceFolder, archive, {}).ok())
    die("cannot make the source archive");
  flushFile(archive);
  dataStart = fileSize(archive) - set.bytes;
  loopPack(from, set, loopOut, buf.get());
  removeTree(loopOut);
  // The window's private bytes are sampled here, in runs that are not timed:
  // the sampling thread would share the processors with the timed runs.
  double privatePeak = 0;
  {
    PrivatePeak sampler;
    windowPack();
    privatePeak = sampler.stop();
  }
  checkPack(packOut, true);
  {
    PrivatePeak sampler;
    windowRestore();
    privatePeak = std::max(privatePeak, sampler.stop());
  }
  checkRestore(windowTarget, true);
  settle(scratch);

  // The timed operations. Each output is removed right after it is timed (and
  // checked, the first time), and the order rotates from run to run, so that
  // no operation always follows the same one. The window runs are watched:
  // the messages to its controls.
  std::vector<Op> ops;
  ops.push_back({"pack", "loop", [&] { return loopPack(from, set, loopOut, buf.get()); },
                 [&](bool) { removeTree(loopOut); }, {}});
  ops.push_back({"pack", "window", windowPack, [&](bool v) { checkPack(packOut, v); }, {}});
  // The core alone, without the window (restoring, only for the smaller sets:
  // it would add minutes to the run and the window's breakdown shows the rest).
  ops.push_back({"pack", "engine", [&] { return enginePack(nullptr, platform); },
                 [&](bool v) { checkPack(packOut, v); }, {}});
  ops.push_back({"restore", "loop",
                 [&] { return loopRestore(archive, dataStart, set, restoreTo, buf.get()); },
                 [&](bool v) { checkRestore(restoreTo, v); }, {}});
  if (n <= 1000)
    ops.push_back({"restore", "engine", [&] { return engineRestore(nullptr, platform); },
                   [&](bool v) { checkRestore(restoreTo, v); }, {}});
  ops.push_back({"restore", "window", windowRestore,
                 [&](bool v) { checkRestore(windowTarget, v); }, {}});
  Memory exeMemory;
  if (!o.qavExe.empty())
    ops.push_back({"restore", "exe",
                   [&] {
                     Memory m;
                     const double t = runQavExe(o.qavExe, archive, work, &m);
                     exeMemory.peakWorkingSet = std::max(exeMemory.peakWorkingSet, m.peakWorkingSet);
                     exeMemory.privateBytes = std::max(exeMemory.privateBytes, m.privateBytes);
                     return t;
                   },
                   [&](bool v) { checkRestore(windowTarget, v); }, {}});
  if (!o.qavExe.empty())
    ops.push_back({"restore", "loopexe",
                   [&] {
                     return runQavExe(ownPath(), u"--loop-restore", work, nullptr,
                                      u" \"" + archive + u"\" \"" + restoreTo + u"\"");
                   },
                   [&](bool v) { checkRestore(restoreTo, v); }, {}});
  std::vector<WindowProfile> packProfiles, restoreProfiles;
  spyOnWindow(main.hwnd());
  say("%s: %d runs of %u operations ...\n", set.label.c_str(), o.runs,
      static_cast<unsigned>(ops.size()));
  for (int r = 0; r < o.runs; ++r) {
    for (size_t i = 0; i < ops.size(); ++i) {
      Op& op = ops[(i + static_cast<size_t>(r)) % ops.size()];
      qav::win::pumpMessages();
      const bool watched = op.name == "window";
      std::vector<WindowProfile>& profiles = op.group == "pack" ? packProfiles : restoreProfiles;
      if (watched) {
        profiles.emplace_back();
        g_profile = &profiles.back();
      }
      const double t = op.run();
      g_profile = nullptr;
      op.after(r == 0);
      settle(scratch);
      op.times.push_back(t);
      if (o.verbose)
        say("  run %d %-7s %-6s %8.3f s\n", r + 1, op.group.c_str(), op.name.c_str(), t);
    }
  }
  for (int slot = 0; slot < 8; ++slot)
    if (g_oldProcs[slot]) {
      HWND wnd = kSpied[slot] == 0 ? main.hwnd() : GetDlgItem(main.hwnd(), kSpied[slot]);
      SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_oldProcs[slot]));
    }
  for (const Op& op : ops) {
    std::fprintf(result, "op %s %s", op.group.c_str(), op.name.c_str());
    for (double t : op.times) std::fprintf(result, " %.6f", t);
    std::fprintf(result, "\n");
  }
  const auto opTimes = [&](const std::string& group, const std::string& name) {
    for (const Op& op : ops)
      if (op.group == group && op.name == name) return op.times;
    return std::vector<double>();
  };

  // ---- Where the time goes.
  say("\n== %s: where the time goes\n", set.label.c_str());
  // The calls that qav makes beyond the copy loop, each on its own.
  for (int i = 0; i < 200; ++i) qav::win::pumpMessages();
  const double yieldUs = perCall(5000, [](int) { qav::win::pumpMessages(); });
  const double queueUs = perCall(5000, [](int) { (void)GetQueueStatus(QS_ALLINPUT); });
  const double tickUs = perCall(100000, [](int) { (void)GetTickCount64(); });
  const double dlgItemUs = perCall(5000, [&](int) { (void)GetDlgItem(main.hwnd(), IDC_PICTURE2); });
  main.Pgb(IDC_PICTURE2, 50);
  const double pgbUs = perCall(5000, [&](int) { main.Pgb(IDC_PICTURE2, 50); });
  main.Pgb(IDC_PICTURE2, 0);
  say("   per call: an idle pump (the PeekMessage loop; the window pumps at most every 15 ms) %.1f us, GetQueueStatus %.1f us, "
      "GetTickCount64 %.3f us, GetDlgItem %.1f us, Pgb to an unchanged bar %.1f us\n",
      yieldUs, queueUs, tickUs, dlgItemUs, pgbUs);
  std::vector<double> lists;
  for (int i = 0; i < 3; ++i) {
    const double start = seconds();
    main.設定檔案資料(selection);
    lists.push_back(seconds() - start);
  }
  const size_t sample = std::min<size_t>(n, 2000);
  WIN32_FILE_ATTRIBUTE_DATA data;
  const double attrUs = perCall(static_cast<int>(sample), [&](int i) {
    GetFileAttributesExW(W(from + set.files[i]), GetFileExInfoStandard, &data);
  });
  const double listStart = seconds();
  size_t listed = 0;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileExW(W(from + u"*"), FindExInfoBasic, &found, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find != INVALID_HANDLE_VALUE) {
    do ++listed; while (FindNextFileW(find, &found));
    FindClose(find);
  }
  const double listing = seconds() - listStart;
  say("   file list (設定檔案資料) %.3f s, GetFileAttributesExW %.1f us a source; a listing of "
      "the folder (FindFirstFileEx) gives the sizes and times of all %u entries in %.3f s\n",
      median(lists), attrUs, static_cast<unsigned>(listed), listing);
  // Fresh empty files, created and closed. 0: CREATE_NEW, as the loop; 1:
  // CREATE_ALWAYS (wine truncates even a new file, and ext4 then writes the
  // data out at close); 2: CREATE_NEW with the times set through the handle,
  // as the restore does.
  const u16string probeFolder = base + u"_probe\\";
  removeTree(probeFolder);
  CreateDirectoryW(W(probeFolder), nullptr);
  // Each in a fresh folder: a lookup's cost grows with the folder.
  const auto createClose = [&](int i, int how) {
    char name[32];
    std::snprintf(name, sizeof name, "%d\\c%05d.bin", how, i);
    HANDLE h = CreateFileW(W(probeFolder + U(name)), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           how == 1 ? CREATE_ALWAYS : CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (how == 2) {
      FILETIME t = {0x12345678, 0x01D00000};
      SetFileTime(h, &t, &t, &t);
    }
    CloseHandle(h);
  };
  double createUs[3];
  for (int how = 0; how < 3; ++how) {
    CreateDirectoryW(W(probeFolder + U(std::to_string(how).c_str())), nullptr);
    createUs[how] = perCall(static_cast<int>(sample), [&](int i) { createClose(i, how); });
  }
  removeTree(probeFolder);

  // The window's fixed cost per operation: pack and restore one empty file,
  // against the engine doing the same.
  const u16string tinyFolder = work + u"tiny\\";
  const u16string tiny = work + u"tiny_one.qav", tinyOut = work + u"tiny_pack.qav";
  removeTree(tinyFolder);
  CreateDirectoryW(W(tinyFolder), nullptr);
  CloseHandle(CreateFileW(W(tinyFolder + u"one.bin"), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                          nullptr));
  const u16string tinySelection = tinyFolder + u'\0' + u"one.bin";
  std::vector<double> fixedWindow[2], fixedEngine[2];
  for (int i = 0; i < 5; ++i) {
    double start = seconds();
    main.設定檔案資料(tinySelection);
    if (!main.存成集裝檔(tinyOut, 512)) die("存成集裝檔 of one file failed");
    fixedWindow[0].push_back(seconds() - start);
    removeTree(tinyOut);
    start = seconds();
    main.設定檔案資料(tinySelection);
    if (!engine.pack(platform, main.header, main.sourceFolder, tiny, {}).ok())
      die("cannot pack one file");
    fixedEngine[0].push_back(seconds() - start);
    start = seconds();
    main.還原檔案(tiny, 512);
    fixedWindow[1].push_back(seconds() - start);
    checkNoErrorBox("還原檔案");
    removeTree(work + u"tiny_one");
    start = seconds();
    qav::ArchiveHeader h;
    qav::EngineError e = engine.openArchive(platform, tiny, 0, h);
    CreateDirectoryW(W(work + u"tiny_one"), nullptr);
    if (e.ok()) e = engine.restore(h, work + u"tiny_one\\", qav::RestoreMode::MoveAside);
    fixedEngine[1].push_back(seconds() - start);
    if (!e.ok()) die("cannot restore one file");
    removeTree(work + u"tiny_one");
  }
  const double fixedCost[2] = {median(fixedWindow[0]) - median(fixedEngine[0]),
                               median(fixedWindow[1]) - median(fixedEngine[1])};

  // One run of the engine alone, each file call timed, beside the medians.
  for (const char* group : {"pack", "restore"}) {
    const bool pack = std::strcmp(group, "pack") == 0;
    TimingFileSystem timing(platform);
    const double engOnce = pack ? enginePack(nullptr, timing) : engineRestore(nullptr, timing);
    // The median of the runs where the engine took part in them.
    const std::vector<double> engineTimes = opTimes(group, "engine");
    const double eng = engineTimes.empty() ? engOnce : median(engineTimes);
    pack ? checkPack(packOut, true) : checkRestore(restoreTo, true);
    settle(scratch);

    const std::vector<WindowProfile>& profiles = pack ? packProfiles : restoreProfiles;
    const std::vector<double> windowTimes = opTimes(group, "window");
    // The watched run whose time is the median.
    size_t mid = 0;
    for (size_t i = 0; i < windowTimes.size(); ++i)
      if (windowTimes[i] == median(windowTimes)) mid = i;
    const WindowProfile& prof = profiles.at(mid);
    const double loop = median(opTimes(group, "loop")), win = windowTimes[mid];
    const Counter& p = prof.paint;
    const double inProcs = prof.label1Text.seconds + prof.label2Text.seconds + prof.barPos.seconds +
                           prof.barRedraw.seconds + p.seconds + prof.otherMessages.seconds;
    say("   %s: loop %.3f s, window %.3f s; engine alone %.3f s (%s); window procedures %.3f s; "
        "fixed cost %.3f s\n",
        group, loop, win, eng, engineTimes.empty() ? "one run" : "median", inProcs,
        fixedCost[pack ? 0 : 1]);
    say("     engine's file calls: %s\n", timing.summary().c_str());
    say("     window procedures: Label1 text %d (%.3f s), Label2 text %d (%.3f s), bars moved %d "
        "(%.3f s), paints %d (%.3f s), other %d (%.3f s)\n",
        prof.label1Text.count, prof.label1Text.seconds, prof.label2Text.count,
        prof.label2Text.seconds, prof.barRedraw.count, prof.barRedraw.seconds + prof.barPos.seconds,
        p.count, p.seconds, prof.otherMessages.count, prof.otherMessages.seconds);
    // The captions are meant to change at most every 30 ms (the last ones
    // always land): a run of t seconds allows about t / 0.030 + a few.
    std::vector<double> gaps;
    for (size_t i = 1; i < prof.label1Times.size(); ++i)
      gaps.push_back((prof.label1Times[i] - prof.label1Times[i - 1]) * 1e3);
    const int allowed = static_cast<int>(win / 0.030) + 3;
    const double shortest = gaps.empty() ? 0 : *std::min_element(gaps.begin(), gaps.end());
    say("     caption throttle: Label1 set %d times in %.3f s (at most %d allowed), median gap "
        "%.1f ms, shortest %.1f ms: %s\n",
        prof.label1Text.count, win, allowed, gaps.empty() ? 0 : median(gaps), shortest,
        prof.label1Text.count <= allowed ? "holds" : "DOES NOT HOLD");
    std::fprintf(result, "diag %s %.6f %.6f %.6f\n", group, eng, inProcs, fixedCost[pack ? 0 : 1]);
  }
  say("   an empty file created and closed: CREATE_NEW %.1f us (the loop), CREATE_ALWAYS %.1f us, "
      "CREATE_NEW with SetFileTime %.1f us (the restore; into a folder of up to %u)\n",
      createUs[0], createUs[1], createUs[2], static_cast<unsigned>(sample));
  say("   the window's creation (registry, association, SendTo entry, icon file) %.3f s\n",
      createTime);

  // qav.exe's fixed cost: start, restore one empty file, end.
  if (!o.qavExe.empty()) {
    std::vector<double> starts, bare;
    for (int i = 0; i < 3; ++i) {
      starts.push_back(runQavExe(o.qavExe, tiny, work, nullptr));
      removeTree(work + u"tiny_one");
      bare.push_back(runQavExe(ownPath(), u"--noop", work, nullptr));
    }
    say("   qav.exe start + restore of one empty file + end %.3f s; a console program that only "
        "starts and ends %.3f s (medians of 3)\n",
        median(starts), median(bare));
    std::fprintf(result, "exestart %.6f %.6f\n", median(starts), median(bare));
  }
  removeTree(tiny);
  removeTree(tinyFolder);
  removeTree(scratch);

  // ---- Header build and write: half the entries and all of them.
  if (n >= 1000) {
    const size_t half = n / 2;
    const u16string halfSelection = selectionOf(from, set, half);
    const u16string recordPath = base + u"_header.bin";
    // As qav does it: the list from the files, then the record written to a file.
    const auto withFiles = [&](const u16string& sel) {
      const double start = seconds();
      main.設定檔案資料(sel);
      qav::StringOutStream record;
      if (!qav::writeHeader(record, main.header).ok()) die("writeHeader refused the list");
      HANDLE f = CreateFileW(W(recordPath), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      DWORD written = 0;
      WriteFile(f, record.str().data(), static_cast<DWORD>(record.str().size()), &written, nullptr);
      CloseHandle(f);
      return seconds() - start;
    };
    // The core alone: the table built in memory and the record written to memory.
    const auto inMemory = [&](size_t entries) {
      const double start = seconds();
      qav::ArchiveHeader h;
      h.magic = u"QAV";
      for (size_t i = 0; i < entries; ++i)
        if (!qav::appendEntry(h.entries, set.files[i], 1000, 1, 2).ok()) die("appendEntry");
      qav::StringOutStream record;
      if (!qav::writeHeader(record, h).ok()) die("writeHeader");
      return seconds() - start;
    };
    withFiles(selection);
    inMemory(n);
    std::vector<double> fh, ff, mh, mf;
    for (int r = 0; r < 7; ++r) {
      fh.push_back(withFiles(halfSelection));
      ff.push_back(withFiles(selection));
      mh.push_back(inMemory(half));
      mf.push_back(inMemory(n));
    }
    removeTree(recordPath);
    std::fprintf(result, "header %u %u %.6f %.6f %.6f %.6f %.3f %.3f\n",
                 static_cast<unsigned>(half), static_cast<unsigned>(n), median(fh), median(ff),
                 median(mh), median(mf), spread(ff), spread(mf));
  }

  removeTree(archive);
  std::fprintf(result, "load %s -> %s\n", loadBefore.c_str(), loadAverage().c_str());
  const Memory after = memoryOf(GetCurrentProcess());
  std::fprintf(result, "mem %.1f %.1f %.1f %.1f %.1f %.1f\n", before.workingSet,
               before.privateBytes, after.peakWorkingSet, privatePeak, exeMemory.peakWorkingSet,
               exeMemory.privateBytes);
  std::fclose(result);
  DestroyWindow(main.hwnd());
  qav::win::pumpMessages();
  return 0;
}

// ---- The parent: data sets, one child per set, the report ----------------------------------

struct SetResult {
  std::string label;
  std::vector<std::pair<std::string, std::vector<double>>> ops;  // "pack loop" -> times
  double memBeforeWs = 0, memBeforePrivate = 0, peakWs = 0, peakPrivate = 0, exePeakWs = 0,
         exePrivate = 0, exeStart = -1, bareStart = -1;
  struct Diagnosis {
    bool have = false;
    double engine = 0, procs = 0, fixed = 0;
  } diag[2];  // pack, restore
  std::string load;
  bool haveHeader = false;
  unsigned half = 0, full = 0;
  double fileHalf = 0, fileFull = 0, memHalf = 0, memFull = 0, fileSpread = 0, memSpread = 0;

  const std::vector<double>* times(const std::string& key) const {
    for (const auto& [k, v] : ops)
      if (k == key) return &v;
    return nullptr;
  }
};

SetResult readResult(const u16string& path, const std::string& label) {
  SetResult r;
  r.label = label;
  FILE* f = _wfopen(W(path), L"r");
  if (!f) die("no result in " + ascii(path));
  char line[1024];
  while (std::fgets(line, sizeof line, f)) {
    char group[32], name[32];
    int used = 0;
    if (std::sscanf(line, "op %31s %31s%n", group, name, &used) == 2) {
      std::vector<double> v;
      const char* p = line + used;
      double t;
      int k;
      while (std::sscanf(p, " %lf%n", &t, &k) == 1) {
        v.push_back(t);
        p += k;
      }
      r.ops.push_back({std::string(group) + " " + name, v});
    } else if (std::strncmp(line, "mem ", 4) == 0) {
      std::sscanf(line + 4, "%lf %lf %lf %lf %lf %lf", &r.memBeforeWs, &r.memBeforePrivate,
                  &r.peakWs, &r.peakPrivate, &r.exePeakWs, &r.exePrivate);
    } else if (std::strncmp(line, "exestart ", 9) == 0) {
      std::sscanf(line + 9, "%lf %lf", &r.exeStart, &r.bareStart);
    } else if (std::sscanf(line, "diag %31s", group) == 1) {
      SetResult::Diagnosis& d = r.diag[std::strcmp(group, "pack") == 0 ? 0 : 1];
      d.have = std::sscanf(line + 5 + std::strlen(group), "%lf %lf %lf", &d.engine, &d.procs,
                           &d.fixed) == 3;
    } else if (std::strncmp(line, "load ", 5) == 0) {
      r.load = line + 5;
      while (!r.load.empty() && (r.load.back() == '\n' || r.load.back() == '\r')) r.load.pop_back();
    } else if (std::strncmp(line, "header ", 7) == 0) {
      r.haveHeader = std::sscanf(line + 7, "%u %u %lf %lf %lf %lf %lf %lf", &r.half, &r.full,
                                 &r.fileHalf, &r.fileFull, &r.memHalf, &r.memFull,
                                 &r.fileSpread, &r.memSpread) == 8;
    }
  }
  std::fclose(f);
  return r;
}

void runChildProcess(const Options& o, const std::string& set, const u16string& resultPath) {
  char scale[32], runs[16];
  std::snprintf(scale, sizeof scale, "%.9g", o.scale);
  std::snprintf(runs, sizeof runs, "%d", o.runs);
  const u16string self = ownPath();
  u16string cmd = u"\"" + self + u"\" \"" + o.root + u".\" --child " + U(set.c_str()) +
                  u" --result \"" + resultPath + u"\" --scale " + U(scale) + u" --runs " + U(runs);
  cmd += o.qavExe.empty() ? u" --no-exe" : u" --qav \"" + o.qavExe + u"\"";
  if (o.verbose) cmd += u" --verbose";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(W(self), const_cast<wchar_t*>(W(cmd)), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &si, &pi))
    die("cannot start the child for " + set);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (code != 0) die("the child for " + set + " failed");
}

void report(const Options& o, const std::vector<SetResult>& results) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  say("\n== qav under wine against a plain Win32 copy loop (512 KiB ReadFile/WriteFile) on the "
      "same files, in the same run (%u processors)\n",
      static_cast<unsigned>(system.dwNumberOfProcessors));
  say("wall time, median of %d runs, warm cache; ratio = qav throughput / loop throughput = "
      "loop time / qav time (target >= 0.90);\nbest = the same with each one's fastest run\n",
      o.runs);
  say("%-26s %-7s %8s %8s %6s %8s %6s %5s %10s %9s %6s %5s  %-31s %s\n", "set", "", "loop s",
      "engine s", "ratio", "window s", "ratio", "best", "loop.exe s", "qav.exe s", "ratio", "best",
      "spread loop/eng/window/lexe/exe", "load average at start -> end");
  for (const SetResult& r : results) {
    for (const char* group : {"pack", "restore"}) {
      const std::string g = group;
      const auto t = [&](const char* name) { return r.times(g + " " + name); };
      const auto med = [&](const char* name) { return t(name) ? median(*t(name)) : 0.0; };
      const auto best = [&](const char* name) {
        return t(name) && !t(name)->empty() ? *std::min_element(t(name)->begin(), t(name)->end())
                                            : 0.0;
      };
      const auto spr = [&](const char* name) {
        char text[16] = "-";
        if (t(name)) std::snprintf(text, sizeof text, "%.0f%%", spread(*t(name)) * 100);
        return std::string(text);
      };
      const auto timeAndRatio = [&](const char* name, const char* baseline, char (&time)[16],
                                    char (&ratio)[16]) {
        std::snprintf(time, sizeof time, "-");
        std::snprintf(ratio, sizeof ratio, "-");
        if (!t(name)) return;
        std::snprintf(time, sizeof time, "%.3f", med(name));
        if (t(baseline)) std::snprintf(ratio, sizeof ratio, "%.2f", med(baseline) / med(name));
      };
      char engineTime[16], engineRatio[16], exeTime[16], exeRatio[16], exeBest[16] = "-";
      char loopExeTime[16], unused[16];
      timeAndRatio("engine", "loop", engineTime, engineRatio);
      timeAndRatio("loopexe", "loop", loopExeTime, unused);
      timeAndRatio("exe", "loopexe", exeTime, exeRatio);
      if (t("exe") && t("loopexe"))
        std::snprintf(exeBest, sizeof exeBest, "%.2f", best("loopexe") / best("exe"));
      const double loop = med("loop"), window = med("window");
      const std::string spreads = spr("loop") + "/" + spr("engine") + "/" + spr("window") + "/" +
                                  spr("loopexe") + "/" + spr("exe");
      say("%-26s %-7s %8.3f %8s %6s %8.3f %6.2f %5.2f %10s %9s %6s %5s  %-31s %s\n",
          r.label.c_str(), group, loop, engineTime, engineRatio, window, loop / window,
          best("loop") / best("window"), loopExeTime, exeTime, exeRatio, exeBest, spreads.c_str(),
          g == "pack" ? r.load.c_str() : "");
    }
  }
  say("(engine = the file list and the core engine without the window, where cheap; window = "
      "the main window's\n 設定檔案資料 + 存成集裝檔, or 還原檔案 into a new folder; qav.exe = the "
      "program restoring from its command line,\n start to end, and its ratio is against loop.exe, the restore's loop as a program started the\n same way; spread = (slowest - fastest) / "
      "median of the runs: the noise)\n");

  say("\nwhere the window's time goes, s: engine = the file list and the core alone (median, "
      "or one run); procs = inside the window's\nprocedures (captions, bars, paints); fixed = the "
      "window's cost for one empty file; rest = the window's yields and what\nthe runs' noise "
      "leaves\n");
  say("%-26s %-7s %8s %8s %8s %8s %8s\n", "set", "", "window", "engine", "procs", "fixed", "rest");
  for (const SetResult& r : results) {
    for (int g = 0; g < 2; ++g) {
      const SetResult::Diagnosis& d = r.diag[g];
      const std::vector<double>* w = r.times(g == 0 ? "pack window" : "restore window");
      if (!d.have || !w) continue;
      const double window = median(*w);
      say("%-26s %-7s %8.3f %8.3f %8.3f %8.3f %8.3f\n", r.label.c_str(),
          g == 0 ? "pack" : "restore", window, d.engine, d.procs, d.fixed,
          window - d.engine - d.procs - d.fixed);
    }
  }

  say("\npeak memory, MiB (target < 64): the window's process = working set peak (the kernel's "
      "high-water mark) / private bytes peak\n (sampled every 10 ms during an untimed pack and restore); "
      "qav.exe = the same for the program restoring the set\n");
  for (const SetResult& r : results) {
    say("%-26s window's process %5.1f / %5.1f (%.1f / %.1f before the first operation)",
        r.label.c_str(), r.peakWs, r.peakPrivate, r.memBeforeWs, r.memBeforePrivate);
    if (r.exePeakWs > 0) say("   qav.exe %5.1f / %5.1f", r.exePeakWs, r.exePrivate);
    say("%s\n", std::max(r.peakWs, r.exePeakWs) < 64 ? "" : "   not under 64");
  }
  for (const SetResult& r : results)
    if (r.exeStart >= 0) {
      say("qav.exe start + one-file restore + end %.3f s (part of every qav.exe time above); a "
          "console program that only starts and ends %.3f s\n",
          r.exeStart, r.bareStart);
      break;
    }
  for (const SetResult& r : results)
    if (r.haveHeader) {
      say("\nheader build and write, median of 7 (double the entries should take about double "
          "the time):\n");
      say("  as qav does it (設定檔案資料 over the files + the record written to a file): %u "
          "entries %.2f ms, %u entries %.2f ms, ratio %.2f (spread %.0f%%)\n",
          r.half, r.fileHalf * 1e3, r.full, r.fileFull * 1e3, r.fileFull / r.fileHalf,
          r.fileSpread * 100);
      say("  the core alone (appendEntry + writeHeader in memory): %u entries %.2f ms, %u "
          "entries %.2f ms, ratio %.2f (spread %.0f%%)\n",
          r.half, r.memHalf * 1e3, r.full, r.memFull * 1e3, r.memFull / r.memHalf,
          r.memSpread * 100);
    }
}

}  // namespace

// The restore's copy loop as a program of its own: the archive's header read
// through the core, then loopRestore into a new folder.
int loopRestoreProgram(const u16string& archive, const u16string& folder) {
  qav::Engine engine;
  qav::ArchiveHeader h;
  if (!engine.openArchive(qav::platformFileSystem(), archive, 0, h).ok()) return 3;
  engine.closeArchive();
  DataSet set;
  for (const qav::ArchiveEntry& e : h.entries) {
    set.files.push_back(e.name);
    set.sizes.push_back(e.size);
    set.bytes += e.size;
  }
  std::unique_ptr<char[]> buf(new char[kChunk]);
  loopRestore(archive, fileSize(archive) - set.bytes, set, folder, buf.get());
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wcscmp(argv[1], L"--noop") == 0) return 0;  // process start cost
  if (argc == 4 && std::wcscmp(argv[1], L"--loop-restore") == 0)
    return loopRestoreProgram(U(argv[2]), U(argv[3]));
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: qav_wine_bench FOLDER [--scale S] [--runs N] [--sets big,small,empty] "
                 "[--qav PATH | --no-exe] [--verbose] [--prepare]\n");
    return 2;
  }
  Options o;
  wchar_t full[MAX_PATH * 2];
  GetFullPathNameW(argv[1], MAX_PATH * 2, full, nullptr);
  o.root = withSlash(U(full));
#ifdef QAV_BENCH_QAV_EXE
  o.qavExe = fromLinuxPath(QAV_BENCH_QAV_EXE);
#endif
  std::string child;
  u16string resultPath;
  bool prepare = false;
  for (int i = 2; i < argc; ++i) {
    const u16string a = U(argv[i]);
    const bool more = i + 1 < argc;
    if (a == u"--verbose") {
      o.verbose = true;
    } else if (a == u"--prepare") {
      prepare = true;
    } else if (a == u"--no-exe") {
      o.qavExe.clear();
    } else if (a == u"--qav" && more) {
      o.qavExe = U(argv[++i]);
    } else if (a == u"--scale" && more) {
      o.scale = _wtof(argv[++i]);
    } else if (a == u"--runs" && more) {
      o.runs = std::max(1, _wtoi(argv[++i]));
    } else if (a == u"--sets" && more) {
      o.sets.clear();
      std::string list = ascii(U(argv[++i]));
      for (size_t at = 0; at <= list.size();) {
        const size_t comma = std::min(list.find(',', at), list.size());
        if (comma > at) o.sets.push_back(list.substr(at, comma - at));
        at = comma + 1;
      }
    } else if (a == u"--child" && more) {
      child = ascii(U(argv[++i]));
    } else if (a == u"--result" && more) {
      resultPath = U(argv[++i]);
    } else {
      die("unknown argument " + ascii(a));
    }
  }
  if (!(o.scale > 0 && o.scale <= 1)) die("--scale must be in (0, 1]");
  if (!o.qavExe.empty() && !exists(o.qavExe)) die("no qav.exe at " + ascii(o.qavExe));
  if (!child.empty()) return runChild(o, child, resultPath);

  CreateDirectoryW(W(o.root), nullptr);
  CreateDirectoryW(W(o.root + u"sets"), nullptr);
  std::vector<DataSet> sets;
  for (const std::string& name : o.sets) sets.push_back(setNamed(o, name, true));
  if (prepare) return 0;

  const u16string work = o.root + u"wine-work\\";
  removeTree(work);
  CreateDirectoryW(W(work), nullptr);
  std::vector<SetResult> results;
  for (const DataSet& set : sets) {
    const u16string resultPath = work + U(set.name.c_str()) + u".result";
    runChildProcess(o, set.name, resultPath);
    results.push_back(readResult(resultPath, set.label));
  }
  removeTree(work);
  report(o, results);
  return 0;
}
