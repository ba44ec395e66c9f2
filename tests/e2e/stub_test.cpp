// The installer stub end to end under wine: containers made of the built stub
// image and a header from the core writer, run as "_self.exe" and
// "_setup.exe", their windows and questions answered through the window
// driver, and what they leave on disk, in the shell and in the system folder
// read back afterwards.
#include "e2e_util.h"
#include "windriver.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "archive.h"
#include "install_rules.h"
#include "resource.h"

namespace wd = windriver;

namespace {

const std::wstring kShots = wd::windowsPath(QAV_SCREENSHOTS);
constexpr wchar_t kWork[] = L"stub_e2e";  // the tests' folders, in the working folder
constexpr DWORD kExitRefused = 2, kExitDeclined = 4;
const std::wstring kQuestionTitle = L"系統詢問";
const std::wstring kFailureTitle = L"程式執行失敗";
const std::wstring kFormatMessage = L"檔案格式不正確！程式結束。";

// ---- files ----------------------------------------------------------------------

std::wstring envFolder(const wchar_t* name) {
  wchar_t buf[MAX_PATH] = {};
  GetEnvironmentVariableW(name, buf, MAX_PATH);
  return buf;
}
std::wstring systemFolder() {
  wchar_t buf[MAX_PATH] = {};
  GetSystemDirectoryW(buf, MAX_PATH);
  return buf;
}
std::wstring wow64Folder() {
  wchar_t buf[MAX_PATH] = {};
  GetSystemWow64DirectoryW(buf, MAX_PATH);
  return buf;
}

// The content of a UTF-16 text file the fixtures write, in lines.
std::vector<std::wstring> utf16Lines(const std::wstring& path) {
  const std::string raw = e2e::readFile(path);
  std::wstring text(raw.size() / 2, L'\0');
  memcpy(text.data(), raw.data(), text.size() * 2);
  std::vector<std::wstring> lines;
  for (size_t from = 0, to; from < text.size(); from = to + 1) {
    to = text.find(L'\n', from);
    if (to == std::wstring::npos) to = text.size();
    lines.push_back(text.substr(from, to - from));
  }
  return lines;
}

// ---- containers --------------------------------------------------------------------

const std::string& stubImage() {
  static const std::string image = e2e::readFile(wd::windowsPath(QAVSTUB_EXE));
  return image;
}

// An install package's header as the settings dialog fills it; tests change
// what they need.
qav::ArchiveHeader setupHeader(const std::u16string& mainProgram) {
  qav::ArchiveHeader h;
  h.magic = u"QAV";
  h.versionMajor = 4;
  h.versionMinor = 4;
  h.versionRevision = 13;
  h.outputKind = 2;
  h.mainProgram = mainProgram;
  h.installUnderProgramFiles = true;
  return h;
}

qav::ArchiveHeader selfHeader() {
  qav::ArchiveHeader h = setupHeader(u"");
  h.outputKind = 1;
  h.installUnderProgramFiles = false;
  return h;
}

// The container bytes: the stub image, the header written by the core from
// the image's last byte on, and the files' bytes in table order.
std::string containerBytes(qav::ArchiveHeader header, const std::vector<e2e::Item>& items) {
  header.entries.clear();
  for (const e2e::Item& i : items)
    EXPECT_TRUE(qav::appendEntry(header.entries, e2e::U(i.name), i.data.size(), i.times.access,
                                 i.times.write)
                    .ok())
        << wd::narrow(i.name);
  EXPECT_EQ(stubImage().size(), qav::kStubSize);
  qav::StringOutStream out;
  out.str() = stubImage().substr(0, qav::kArchiveOffset);
  EXPECT_TRUE(qav::writeHeader(out, header).ok());
  for (const e2e::Item& i : items) out.str() += i.data;
  return out.str();
}

std::wstring writeContainer(const std::wstring& path, const qav::ArchiveHeader& header,
                            const std::vector<e2e::Item>& items) {
  EXPECT_TRUE(e2e::writeFile(path, containerBytes(header, items))) << wd::narrow(path);
  return path;
}

e2e::Item fixture(const std::wstring& name, const char* builtPath) {
  return {name, e2e::readFile(wd::windowsPath(builtPath)), {}};
}

// ---- the stub's window ---------------------------------------------------------------

wd::Process start(const std::wstring& container, const std::vector<std::wstring>& args = {}) {
  wd::Process p = wd::Process::start(container, args);
  EXPECT_TRUE(p.started()) << wd::narrow(p.error());
  return p;
}

HWND stubWindow(const wd::Process& stub) {
  wd::WindowQuery q;
  q.match = wd::Match::Prefix;  // any caption
  q.className = L"QAVStubWindow";
  q.pid = stub.pid();
  return wd::waitForWindow(q);
}

// The text a control holds, read without waiting on the stub (which may be
// busy inside a step).
std::wstring controlText(HWND window, int id) {
  wchar_t buf[1024];
  const int n = InternalGetWindowText(GetDlgItem(window, id), buf, 1024);
  return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

// Watches the status line until the stub ends: every text it showed, in
// order, and the target folder it named.
struct Watch {
  std::vector<std::wstring> status;
  std::wstring target;
  std::optional<DWORD> exitCode;
};

// onStatus may take a screenshot when a text shows.
template <class OnStatus>
Watch watchUntilEnd(wd::Process& stub, HWND window, OnStatus onStatus) {
  Watch w;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < end) {
    if (IsWindow(window)) {
      const std::wstring s = controlText(window, IDC_LABEL1);
      if (!s.empty() && (w.status.empty() || w.status.back() != s)) {
        w.status.push_back(s);
        onStatus(s);
      }
      const std::wstring t = controlText(window, IDC_MSG2);
      if (!t.empty()) w.target = t;
    }
    if (!stub.running()) break;
    Sleep(5);
  }
  w.exitCode = stub.waitExit(wd::Millis{2000});
  return w;
}
Watch watchUntilEnd(wd::Process& stub, HWND window) {
  return watchUntilEnd(stub, window, [](const std::wstring&) {});
}

bool contains(const std::vector<std::wstring>& texts, const std::wstring& text) {
  for (const auto& t : texts)
    if (t == text) return true;
  return false;
}

// The message box the stub shows under title; the test fails when none comes.
std::optional<wd::MessageBoxInfo> expectBox(const wd::Process& stub, const std::wstring& title) {
  auto box = wd::waitForMessageBox(stub.pid(), title);
  EXPECT_TRUE(box) << "no box '" << wd::narrow(title) << "'"
                   << (stub.running() ? "" : " (the stub has ended)") << "; windows:\n"
                   << wd::describeWindows();
  return box;
}

// ---- shortcuts --------------------------------------------------------------------------

struct ShortcutFolder {
  const wchar_t* key;
  int csidl;
};
constexpr ShortcutFolder kShortcutFolders[] = {
    {L"Desktop", CSIDL_DESKTOPDIRECTORY},
    {L"Programs", CSIDL_PROGRAMS},
    {L"Startup", CSIDL_STARTUP},
};

void removeShortcuts(const std::wstring& name) {
  for (const ShortcutFolder& f : kShortcutFolders)
    DeleteFileW((e2e::specialFolder(f.csidl) + L"\\" + name + L".lnk").c_str());
}

// ---- the installer's text rules --------------------------------------------------------

TEST(StubRules, InstallFolderNameMustStayInsideProgramFiles) {
  struct {
    const char16_t* name;
    bool inside;
  } cases[] = {
      {u"Acme", true},
      {u"公司名稱\\產品名稱", true},
      {u"\\Acme", true},
      {u"Acme\\", true},
      {u"\\Acme Tools\\Kit\\", true},
      {u"", false},
      {u"\\", false},
      {u"..", false},
      {u"..\\Windows", false},
      {u"Acme\\..\\..\\Windows", false},
      {u"Acme/../../Windows", false},
      {u"...", false},
      {u". .", false},
      {u"Acme\\.", false},
      {u"C:\\Windows", false},
      {u"C:Windows", false},
      {u"Acme:stream", false},
      {u"\\\\server\\share", false},
      {u"Acme\\\\Tools", false},
      {u"Acme\\\\", false},
      {u"NUL", false},
      {u"Acme\\com1", false},
  };
  for (const auto& c : cases) {
    const std::u16string name = c.name;
    EXPECT_EQ(qavstub::staysInside(name), c.inside)
        << wd::narrow(std::wstring(name.begin(), name.end()));
  }
}

TEST(StubRules, TargetsIconsComponentsAndCommand) {
  // One "\" at every joint, whatever ends the two parts bring.
  EXPECT_EQ(qavstub::programFilesTarget(u"C:\\Program Files", u"\\Acme\\"),
            u"C:\\Program Files\\Acme\\");
  EXPECT_EQ(qavstub::programFilesTarget(u"C:\\Program Files\\", u"A\\B"),
            u"C:\\Program Files\\A\\B\\");
  // Beside the executable, named after it; the drive letter upper-cased.
  EXPECT_EQ(qavstub::selfExtractTarget(u"d:\\dl\\tools_self.exe"), u"D:\\dl\\tools_self\\");
  EXPECT_EQ(qavstub::selfExtractTarget(u"C:\\v1.2\\kit.v2_self.exe"), u"C:\\v1.2\\kit.v2_self\\");

  for (const char16_t* name : {u"A.DLL", u"b.ocx", u"x.Ocx"}) EXPECT_TRUE(qavstub::isComponent(name));
  for (const char16_t* name : {u"c.dll.bak", u"dll", u"readme.txt"})
    EXPECT_FALSE(qavstub::isComponent(name));

  EXPECT_EQ(qavstub::defaultIconType(u"run.bat"), u"cmd");
  EXPECT_EQ(qavstub::defaultIconType(u"report.docx"), u"doc");
  EXPECT_EQ(qavstub::defaultIconType(u"SHOW.PPS"), u"pps");
  EXPECT_EQ(qavstub::defaultIconType(u"Makefile"), u"");

  struct {
    const char16_t *command, *program, *parameters;
  } commands[] = {
      {u"setup.exe /quiet", u"setup.exe", u" /quiet"},
      {u"readme.txt", u"readme.txt", u""},
      {u" x", u"", u" x"},
      // Cut at the first space, quoted or not.
      {u"\"C:\\Program Files\\a.exe\" /s", u"\"C:\\Program", u" Files\\a.exe\" /s"},
  };
  for (const auto& c : commands) {
    std::u16string program, parameters;
    qavstub::splitCommand(c.command, program, parameters);
    EXPECT_EQ(program, c.program);
    EXPECT_EQ(parameters, c.parameters);
  }
}

// ---- self-extracting files ---------------------------------------------------------------

TEST(Stub, SelfExtractingFileRestoresBesideItselfWithTheTimes) {
  const std::wstring work = e2e::freshFolder(kWork, L"self");
  const std::vector<e2e::Item> items = {
      {L"說明 文件.txt", "short now", {132000000001234567, 132100000007654321}},
      {L"big.bin", e2e::bytes(524289, 7), {131000000000000001, 131500000000000003}},  // two chunks
      {L"empty.dat", "", {130000000000000000, 130000000000000000}},
  };
  const std::wstring container = writeContainer(work + L"tools_self.exe", selfHeader(), items);
  // A longer file of the same name from an earlier run is replaced whole.
  const std::wstring target = work + L"tools_self\\";
  CreateDirectoryW(target.c_str(), nullptr);
  ASSERT_TRUE(e2e::writeFile(target + L"說明 文件.txt", std::string(10000, 'x')));

  wd::Process stub = start(container);
  ASSERT_TRUE(stub.started());
  auto exitCode = stub.waitExit();
  EXPECT_FALSE(wd::findMessageBox(stub.pid())) << "the stub complained about a good container";
  ASSERT_TRUE(exitCode.has_value()) << "the stub did not end; windows:\n" << wd::describeWindows();
  EXPECT_EQ(*exitCode, 0u);

  for (const e2e::Item& i : items) {
    SCOPED_TRACE(wd::narrow(i.name));
    auto t = e2e::fileTimes(target + i.name);
    ASSERT_TRUE(t) << "missing";
    EXPECT_EQ(t->write, i.times.write);
    EXPECT_EQ(t->access, i.times.access);
    EXPECT_TRUE(e2e::readFile(target + i.name) == i.data) << "content differs";
  }
  // Nothing but the packed files: no icon, no other step ran.
  EXPECT_EQ(e2e::namesIn(target).size(), items.size());
}

TEST(Stub, ContainerStartedWithAnArgumentEndsAtOnceWithoutWriting) {
  const std::wstring work = e2e::freshFolder(kWork, L"argument");
  const std::wstring container =
      writeContainer(work + L"tools_self.exe", selfHeader(), {{L"a.txt", "a", {}}});
  wd::Process stub = start(container, {work + L"dropped.txt"});
  ASSERT_TRUE(stub.started());
  auto exitCode = stub.waitExit();
  ASSERT_TRUE(exitCode.has_value());
  EXPECT_EQ(*exitCode, 0u);
  EXPECT_EQ(e2e::namesIn(work), std::vector<std::wstring>{L"tools_self.exe"});
}

// A container the stub must not act on: the message, nothing written beside it,
// and none of the install steps (the shortcut and the post-extract command
// ask for some) run.
TEST(Stub, DamagedOrHostileContainerStopsBeforeWritingAnything) {
  qav::ArchiveHeader header = selfHeader();
  header.desktopShortcut = true;
  header.shortcutName = u"QAV stub damaged";
  header.mainProgram = u"recorder.exe";
  header.postCommand = u"recorder.exe";
  const std::vector<e2e::Item> items = {
      {L"recorder.exe", e2e::readFile(wd::windowsPath(STUB_RECORDER)), {}},
      {L"abcevil.txt", "evil", {}}};
  const std::string good = containerBytes(header, items);

  // The same container with its entry name changed in place to one that
  // leaves the target folder (the core writer refuses to write it).
  std::string hostile = good;
  const size_t at = hostile.find("abcevil.txt", qav::kArchiveOffset);
  ASSERT_NE(at, std::string::npos);
  hostile.replace(at, 3, "..\\");

  struct {
    const wchar_t* name;  // the fault it shows
    std::string bytes;
    std::wstring message;
  } cases[] = {
      {L"data_cut_short_self.exe", good.substr(0, good.size() - 1), kFormatMessage},
      {L"header_cut_short_self.exe", good.substr(0, qav::kArchiveOffset + 20), kFormatMessage},
      {L"archive_after_the_image_self.exe",
       stubImage() + good.substr(qav::kArchiveOffset), kFormatMessage},
      {L"entry_leaves_folder_self.exe", hostile,
       L"檔名「..\\evil.txt」不是單純的檔名，整個集裝檔不予處理。程式結束。"},
  };
  const std::wstring work = e2e::freshFolder(kWork, L"damaged");
  removeShortcuts(L"QAV stub damaged");
  for (auto& c : cases) {
    SCOPED_TRACE(wd::narrow(c.name));
    ASSERT_TRUE(e2e::writeFile(work + c.name, c.bytes));
    wd::Process stub = start(work + c.name);
    ASSERT_TRUE(stub.started());
    auto box = expectBox(stub, kFailureTitle);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, c.message);
    ASSERT_TRUE(wd::answerMessageBox(box->hwnd, IDOK));
    auto exitCode = stub.waitExit();
    ASSERT_TRUE(exitCode.has_value());
    EXPECT_EQ(*exitCode, kExitRefused);
    EXPECT_EQ(e2e::namesIn(work), std::vector<std::wstring>{c.name}) << "something was written";
    EXPECT_FALSE(
        e2e::exists(e2e::specialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\QAV stub damaged.lnk"));
    DeleteFileW((work + c.name).c_str());
  }
}

// A restore that fails half-way (a folder holds the second file's name) stops
// the run with a message: the install steps would act on an incomplete
// program, so no shortcut is made and the post-extract command does not run.
TEST(Stub, FailedRestoreRunsNoInstallStep) {
  const std::wstring work = e2e::freshFolder(kWork, L"failed");
  const std::wstring target = work + L"tools_self\\";
  removeShortcuts(L"QAV stub failed");
  qav::ArchiveHeader header = selfHeader();
  header.mainProgram = u"recorder.exe";
  header.desktopShortcut = true;
  header.shortcutName = u"QAV stub failed";
  header.postCommand = u"recorder.exe";
  const std::wstring container = writeContainer(
      work + L"tools_self.exe", header,
      {fixture(L"recorder.exe", STUB_RECORDER), {L"blocked.txt", "data", {}}});
  CreateDirectoryW(target.c_str(), nullptr);
  CreateDirectoryW((target + L"blocked.txt").c_str(), nullptr);

  wd::Process stub = start(container);
  ASSERT_TRUE(stub.started());
  auto box = expectBox(stub, kFailureTitle);
  ASSERT_TRUE(box);
  const std::wstring named = L"無法建立檔案「" + target + L"blocked.txt」";
  EXPECT_EQ(box->text.substr(0, named.size()), named) << wd::narrow(box->text);
  EXPECT_EQ(box->text.substr(box->text.size() - 5), L"程式結束。") << wd::narrow(box->text);
  ASSERT_TRUE(wd::answerMessageBox(box->hwnd, IDOK));
  auto exitCode = stub.waitExit();
  ASSERT_TRUE(exitCode.has_value());
  EXPECT_EQ(*exitCode, 5u);
  EXPECT_TRUE(e2e::exists(target + L"recorder.exe")) << "the file before it is restored";
  EXPECT_FALSE(e2e::exists(e2e::specialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\QAV stub failed.lnk"));
  Sleep(500);  // time for a wrongly started command to show
  EXPECT_FALSE(e2e::exists(target + L"recorded.txt"));
}

// ---- install packages ----------------------------------------------------------------------

// Ends what a failed test may have left running and removes what it installed.
struct InstallCleanup {
  std::vector<std::wstring> folders, files, shortcuts;
  ~InstallCleanup() {
    wd::killProcesses(L"recorder.exe");
    for (const auto& s : shortcuts) removeShortcuts(s);
    for (const auto& f : files) DeleteFileW(f.c_str());
    for (const auto& f : folders) e2e::removeTree(f);
  }
};

TEST(Stub, SetupAnsweredNoLeavesTheDiskUntouched) {
  const std::wstring work = e2e::freshFolder(kWork, L"setup_no");
  const std::wstring installed = envFolder(L"ProgramFiles") + L"\\run\\";
  e2e::removeTree(installed);
  // A running copy of the program: answering No must leave it running.
  ASSERT_TRUE(CopyFileW(wd::windowsPath(STUB_WAITER).c_str(), (work + L"run.exe").c_str(), FALSE));
  wd::Process running = wd::Process::start(work + L"run.exe");
  ASSERT_TRUE(running.started());

  qav::ArchiveHeader header = setupHeader(u"run.bat");
  header.desktopShortcut = true;
  header.shortcutName = u"QAV stub declined";
  header.postCommand = u"run.bat";
  const std::wstring container =
      writeContainer(work + L"run_setup.exe", header, {{L"run.bat", "@echo off\r\n", {}}});
  InstallCleanup cleanup{{installed}, {}, {L"QAV stub declined"}};

  wd::Process stub = start(container);
  ASSERT_TRUE(stub.started());
  auto box = expectBox(stub, kQuestionTitle);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, L"QAV 自動安裝程式，正要安裝軟體〔run〕於程式集。\r\n同意這項安裝嗎？");
  std::vector<int> buttons = box->buttons;
  std::sort(buttons.begin(), buttons.end());
  EXPECT_EQ(buttons, (std::vector<int>{IDYES, IDNO}));
  // No is the default button.
  for (int id : {IDYES, IDNO}) {
    const LONG_PTR style = GetWindowLongPtrW(GetDlgItem(box->hwnd, id), GWL_STYLE) & 0x0F;
    EXPECT_EQ(style, id == IDNO ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) << "button " << id;
  }
  HWND window = stubWindow(stub);
  ASSERT_TRUE(window);
  EXPECT_EQ(wd::text(window), L"QAV 程式安裝檔 (v4.4.13)   By 白 岩 (zo7)");
  EXPECT_EQ(controlText(window, IDC_MSG1), L"正在安裝：run_setup 程式。");
  EXPECT_TRUE(wd::saveScreenshot(kShots + L"\\qavstub_question.png"));

  ASSERT_TRUE(wd::answerMessageBox(box->hwnd, IDNO));
  auto exitCode = stub.waitExit();
  ASSERT_TRUE(exitCode.has_value());
  EXPECT_EQ(*exitCode, kExitDeclined);
  EXPECT_FALSE(e2e::exists(installed));
  EXPECT_TRUE(running.running()) << "the running program was ended although No was answered";
  EXPECT_EQ(e2e::namesIn(work), (std::vector<std::wstring>{L"run.exe", L"run_setup.exe"}));
  EXPECT_FALSE(
      e2e::exists(e2e::specialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\QAV stub declined.lnk"));
}

TEST(Stub, SetupInstallsUnderProgramFilesAndCarriesOutEveryStep) {
  const std::wstring work = e2e::freshFolder(kWork, L"setup_yes");
  const std::wstring installed = envFolder(L"ProgramFiles") + L"\\run\\";
  const std::wstring shortcutName = L"QAV stub 測試";
  const std::wstring systemCopy = systemFolder() + L"\\RegTest.DLL";
  e2e::removeTree(installed);
  DeleteFileW(systemCopy.c_str());
  InstallCleanup cleanup{{installed}, {systemCopy}, {shortcutName}};
  removeShortcuts(shortcutName);

  // The main program is run.bat: its running copies are the processes of run.exe.
  ASSERT_TRUE(CopyFileW(wd::windowsPath(STUB_WAITER).c_str(), (work + L"run.exe").c_str(), FALSE));
  wd::Process running = wd::Process::start(work + L"run.exe");
  ASSERT_TRUE(running.started());

  qav::ArchiveHeader header = setupHeader(u"run.bat");
  header.installFolderName = u"";  // the application's name: run
  header.desktopShortcut = header.programsMenuShortcut = header.startWithWindows = true;
  header.shortcutName = e2e::U(shortcutName);
  header.registerComponents = true;
  header.postCommand = u"recorder.exe /quiet 第二 項";
  const e2e::Item dll = fixture(L"RegTest.DLL", STUB_REGTEST);
  const std::vector<e2e::Item> items = {
      {L"run.bat", "@echo off\r\n", {}},
      fixture(L"recorder.exe", STUB_RECORDER),
      dll,
      {L"RegTest.dll.bak", dll.data, {}},  // not a component: not copied or registered
  };
  const std::wstring container = writeContainer(work + L"run_setup.exe", header, items);

  wd::Process stub = start(container);
  ASSERT_TRUE(stub.started());
  auto box = expectBox(stub, kQuestionTitle);
  ASSERT_TRUE(box);
  HWND window = stubWindow(stub);
  ASSERT_TRUE(window);
  ASSERT_TRUE(wd::answerMessageBox(box->hwnd, IDYES));
  // The screenshot is taken beside the watch, which must not miss a text.
  std::thread screenshot;
  bool shot = false;
  std::optional<int> fileBar, totalBar;
  Watch watch = watchUntilEnd(stub, window, [&](const std::wstring& status) {
    if (screenshot.joinable() || status.rfind(L"在桌面", 0) != 0) return;
    screenshot = std::thread([&] {
      shot = wd::saveWindowScreenshot(window, kShots + L"\\qavstub_installing.png");
    });
    fileBar = wd::progressPos(GetDlgItem(window, IDC_PICTURE1));
    totalBar = wd::progressPos(GetDlgItem(window, IDC_PICTURE2));
  });
  if (screenshot.joinable()) screenshot.join();
  ASSERT_TRUE(watch.exitCode.has_value()) << "the stub did not end";
  EXPECT_EQ(*watch.exitCode, 0u);
  EXPECT_TRUE(shot) << "no screenshot during the install";
  // Both bars full once every file is out.
  EXPECT_EQ(fileBar, 100);
  EXPECT_EQ(totalBar, 100);
  EXPECT_FALSE(running.running()) << "the running run.exe was not ended";

  // The folder named after the application, with one "\" at every joint.
  EXPECT_EQ(watch.target, installed);
  for (const e2e::Item& i : items)
    EXPECT_TRUE(e2e::readFile(installed + i.name) == i.data) << wd::narrow(i.name);
  EXPECT_TRUE(e2e::readFile(installed + L"cmd.ico") == e2e::readFile(wd::windowsPath(QAV_ICON_CMD)))
      << "run.bat should get the built-in cmd.ico";

  for (const ShortcutFolder& f : kShortcutFolders) {
    SCOPED_TRACE(wd::narrow(f.key));
    auto link = e2e::readShortcut(e2e::specialFolder(f.csidl) + L"\\" + shortcutName + L".lnk",
                                  SLGP_RAWPATH);
    ASSERT_TRUE(link) << "no shortcut";
    EXPECT_EQ(link->target, installed + L"run.bat");
    EXPECT_EQ(link->workDir, installed);
    EXPECT_EQ(link->icon, installed + L"cmd.ico");
    EXPECT_EQ(link->iconIndex, 0);
  }

  // The status line showed each step, in order, with its own result.
  const std::vector<std::wstring> steps = {
      L"在桌面加入捷徑（成功）。",
      L"在開始功能表建立捷徑（成功）。",
      L"在啟動資料夾建立捷徑（成功）。",
      L"正在向系統註冊 RegTest.DLL。",
      L"執行後置命令：recorder.exe /quiet 第二 項",
  };
  size_t next = 0;
  for (const auto& s : watch.status)
    if (next < steps.size() && s == steps[next]) ++next;
  EXPECT_EQ(next, steps.size()) << "missing or out of order: "
                                << (next < steps.size() ? wd::narrow(steps[next]) : "");
  EXPECT_FALSE(contains(watch.status, L"正在向系統註冊 RegTest.dll.bak。"));

  // The component: copied into the system folder, and registered from the
  // target folder by the system's regsvr32 (which runs on after the stub ends).
  EXPECT_TRUE(e2e::readFile(systemCopy) == dll.data);
  EXPECT_FALSE(e2e::exists(systemFolder() + L"\\RegTest.dll.bak"));
  EXPECT_FALSE(e2e::exists(wow64Folder() + L"\\RegTest.DLL"))
      << "a 64-bit DLL in the 32-bit folder";
  EXPECT_TRUE(wd::waitUntil([&] { return e2e::exists(installed + L"registered.txt"); }))
      << "DllRegisterServer did not run";
  auto registered = utf16Lines(installed + L"registered.txt");
  ASSERT_FALSE(registered.empty());
  EXPECT_EQ(CompareStringOrdinal(registered[0].c_str(), -1, (installed + L"RegTest.DLL").c_str(),
                                 -1, TRUE),
            CSTR_EQUAL)
      << wd::narrow(registered[0]);

  // The post-extract command: the restored program, its parameters after the
  // first space, the target folder as its working folder.
  EXPECT_TRUE(wd::waitUntil([&] { return e2e::exists(installed + L"recorded.txt"); }))
      << "the post-extract command did not run";
  auto recorded = utf16Lines(installed + L"recorded.txt");
  ASSERT_GE(recorded.size(), 2u);
  const std::wstring& commandLine = recorded[0];
  EXPECT_NE(commandLine.find(L"recorder.exe"), std::wstring::npos) << wd::narrow(commandLine);
  EXPECT_EQ(commandLine.substr(commandLine.size() - std::wstring(L"/quiet 第二 項").size()),
            L"/quiet 第二 項")
      << wd::narrow(commandLine);
  EXPECT_EQ(recorded[1] + L"\\", installed);
}

// The install folder with a "\" at each end and two levels; the main program
// carries the package's own name, so ending its running copies must not end
// the package itself; an icon chosen by the package, with an index.
TEST(Stub, SetupWithItsOwnNameAsMainProgramInstallsIntoNestedFolder) {
  const std::wstring work = e2e::freshFolder(kWork, L"setup_nested");
  const std::wstring top = envFolder(L"ProgramFiles") + L"\\QAV Stub Test\\";
  const std::wstring installed = top + L"Kit\\";
  e2e::removeTree(top);
  InstallCleanup cleanup{{top}, {}, {L"QAV stub nested"}};

  qav::ArchiveHeader header = setupHeader(u"kit_setup.exe");
  header.installFolderName = u"\\QAV Stub Test\\Kit\\";
  header.desktopShortcut = true;
  header.shortcutName = u"QAV stub nested";
  header.shortcutIcon = u"recorder.exe,2";
  header.postCommand = u"recorder.exe";
  const std::wstring container = writeContainer(work + L"kit_setup.exe", header,
                                                {fixture(L"recorder.exe", STUB_RECORDER)});

  wd::Process stub = start(container);
  ASSERT_TRUE(stub.started());
  auto box = expectBox(stub, kQuestionTitle);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, L"QAV 自動安裝程式，正要安裝軟體〔kit_setup〕於程式集。\r\n同意這項安裝嗎？");
  HWND window = stubWindow(stub);
  ASSERT_TRUE(wd::answerMessageBox(box->hwnd, IDYES));
  Watch watch = watchUntilEnd(stub, window);
  ASSERT_TRUE(watch.exitCode.has_value());
  EXPECT_EQ(*watch.exitCode, 0u) << "the package did not finish (did it end itself?)";
  EXPECT_EQ(watch.target, installed);
  EXPECT_TRUE(wd::waitUntil([&] { return e2e::exists(installed + L"recorded.txt"); }));

  auto link = e2e::readShortcut(
      e2e::specialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\QAV stub nested.lnk", SLGP_RAWPATH);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, installed + L"kit_setup.exe");
  EXPECT_EQ(link->icon, installed + L"recorder.exe");
  EXPECT_EQ(link->iconIndex, 2);
  // No default icon was asked for.
  EXPECT_FALSE(e2e::exists(installed + L"exe.ico"));
}

// Closing the window during the work stops it at the next step: the steps
// after it do not run and the post-extract command is not started.
TEST(Stub, ClosingTheWindowStopsTheRemainingSteps) {
  const std::wstring work = e2e::freshFolder(kWork, L"closed");
  const std::wstring target = work + L"closed_self\\";
  InstallCleanup cleanup{{}, {}, {L"QAV stub closed"}};
  removeShortcuts(L"QAV stub closed");

  qav::ArchiveHeader header = selfHeader();
  header.mainProgram = u"recorder.exe";
  header.desktopShortcut = header.programsMenuShortcut = header.startWithWindows = true;
  header.shortcutName = u"QAV stub closed";
  header.postCommand = u"recorder.exe";
  const std::wstring container = writeContainer(work + L"closed_self.exe", header,
                                                {fixture(L"recorder.exe", STUB_RECORDER)});
  wd::Process stub = start(container);
  ASSERT_TRUE(stub.started());
  HWND window = stubWindow(stub);
  ASSERT_TRUE(window);
  Watch watch = watchUntilEnd(stub, window, [&](const std::wstring& status) {
    if (status.rfind(L"在桌面", 0) == 0) wd::close(window);
  });
  ASSERT_TRUE(watch.exitCode.has_value());
  EXPECT_EQ(*watch.exitCode, 6u);
  EXPECT_TRUE(e2e::exists(e2e::specialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\QAV stub closed.lnk"));
  EXPECT_FALSE(e2e::exists(e2e::specialFolder(CSIDL_STARTUP) + L"\\QAV stub closed.lnk"));
  EXPECT_FALSE(contains(watch.status, L"執行後置命令：recorder.exe"));
  Sleep(500);  // time for a wrongly started command to show
  EXPECT_FALSE(e2e::exists(target + L"recorded.txt"));
}

TEST(Stub, SetupRefusesAnInstallFolderOutsideProgramFiles) {
  const std::wstring work = e2e::freshFolder(kWork, L"setup_outside");
  const std::wstring windows = envFolder(L"SystemRoot");
  for (const char16_t* name : {u"..\\..\\windows\\qav_stub_evil", u"C:\\qav_stub_evil"}) {
    const std::wstring wname(name, name + std::char_traits<char16_t>::length(name));
    SCOPED_TRACE(wd::narrow(wname));
    qav::ArchiveHeader header = setupHeader(u"recorder.exe");
    header.installFolderName = name;
    header.postCommand = u"recorder.exe";
    const std::wstring container = writeContainer(work + L"evil_setup.exe", header,
                                                  {fixture(L"recorder.exe", STUB_RECORDER)});
    wd::Process stub = start(container);
    ASSERT_TRUE(stub.started());
    // Refused before the question.
    auto box = expectBox(stub, kFailureTitle);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"安裝資料夾「" + wname +
                             L"」不是程式集資料夾之內的資料夾名稱，整個集裝檔不予處理。程式結束。");
    ASSERT_TRUE(wd::answerMessageBox(box->hwnd, IDOK));
    auto exitCode = stub.waitExit();
    ASSERT_TRUE(exitCode.has_value());
    EXPECT_EQ(*exitCode, kExitRefused);
    EXPECT_FALSE(e2e::exists(windows + L"\\qav_stub_evil"));
    EXPECT_FALSE(e2e::exists(L"C:\\qav_stub_evil"));
    EXPECT_EQ(e2e::namesIn(work), std::vector<std::wstring>{L"evil_setup.exe"});
  }
}

// A 32-bit component goes to the folder 32-bit programs see as their system
// folder and is registered by the regsvr32 there. The image is only a PE header
// with the x86 machine field: enough to decide where it goes. A prefix without
// 32-bit support has no regsvr32 in that folder: the stub then says the
// registration failed.
TEST(Stub, ThirtyTwoBitComponentGoesToThe32BitSystemFolder) {
  const std::wstring work = e2e::freshFolder(kWork, L"component32");
  std::string image(512, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  image[0x3C] = 0x40;
  image.replace(0x40, 6, std::string("PE\0\0\x4c\x01", 6));
  const std::wstring copy32 = wow64Folder() + L"\\qavstub_old32.ocx";
  const std::wstring copy64 = systemFolder() + L"\\qavstub_old32.ocx";
  DeleteFileW(copy32.c_str());
  DeleteFileW(copy64.c_str());
  InstallCleanup cleanup{{}, {copy32, copy64}, {}};

  qav::ArchiveHeader header = setupHeader(u"qavstub_old32.ocx");
  header.installUnderProgramFiles = false;  // beside the package: no question
  header.registerComponents = true;
  const std::wstring container = writeContainer(work + L"old32_setup.exe", header,
                                                {{L"qavstub_old32.ocx", image, {}}});
  wd::Process stub = start(container);
  ASSERT_TRUE(stub.started());
  if (!e2e::exists(wow64Folder() + L"\\regsvr32.exe")) {
    auto box = expectBox(stub, L"重要訊息：");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text,
              L"元件「qavstub_old32.ocx」安裝失敗！\r\n可能是你的權限不足，請用 Administrator "
              L"身分豋入後再試一次。");
    ASSERT_TRUE(wd::answerMessageBox(box->hwnd, IDOK));
  }
  auto exitCode = stub.waitExit();
  ASSERT_TRUE(exitCode.has_value());
  EXPECT_EQ(*exitCode, 0u);
  EXPECT_TRUE(e2e::readFile(copy32) == image);
  EXPECT_FALSE(e2e::exists(copy64));
}

}  // namespace

// ---- DLLs beside the package ------------------------------------------------------------

// What wine's loader shows of the DLL search. When the stub's window is made,
// the window system loads uxtheme.dll by name. Wine runs its own built-in code
// for that name wherever the search finds a file, but registers the module
// under the path found: with the package's folder in the search, a copy
// planted there shows in the stub's module list; with the search restricted
// to the system folder it does not. Whether planted code would run cannot be
// shown under wine. Other names are no use here: wine's user32 loads imm32.dll
// while the process starts, before any code of the stub, and wine resolves
// its own DLLs' delayed imports (msimg32.dll) without the restriction; both
// are found beside the package whatever the stub does.
TEST(Stub, DllSearchLeavesOutThePackagesFolder) {
  const std::wstring work = e2e::freshFolder(kWork, L"planted");
  // Any DLL will do: its code never runs under wine.
  ASSERT_TRUE(e2e::writeFile(work + L"uxtheme.dll", e2e::readFile(wd::windowsPath(STUB_REGTEST))));
  qav::ArchiveHeader header = setupHeader(u"app.exe");
  header.installFolderName = u"QAV Stub Planted";
  const std::wstring container =
      writeContainer(work + L"planted_setup.exe", header, {{L"app.exe", "x", {}}});

  wd::Process stub = start(container);
  ASSERT_TRUE(stub.started());
  // The question box: the window and the box exist, so the run-time loads are done.
  auto box = expectBox(stub, kQuestionTitle);
  ASSERT_TRUE(box);
  std::vector<std::wstring> fromPackageFolder;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, stub.pid());
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  MODULEENTRY32W m;
  m.dwSize = sizeof m;
  for (BOOL more = Module32FirstW(snapshot, &m); more; more = Module32NextW(snapshot, &m)) {
    const std::wstring path = m.szExePath;
    if (CompareStringOrdinal(path.c_str(), static_cast<int>(work.size()), work.c_str(),
                             static_cast<int>(work.size()), TRUE) == CSTR_EQUAL &&
        CompareStringOrdinal(path.c_str(), -1, container.c_str(), -1, TRUE) != CSTR_EQUAL)
      fromPackageFolder.push_back(m.szModule);
  }
  CloseHandle(snapshot);
  std::string names;
  for (const auto& n : fromPackageFolder) names += wd::narrow(n) + " ";
  EXPECT_TRUE(fromPackageFolder.empty()) << "taken from the package's folder: " << names;
  ASSERT_TRUE(wd::answerMessageBox(box->hwnd, IDNO));
  EXPECT_TRUE(stub.waitExit().has_value());
}
