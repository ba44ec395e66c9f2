// The package settings dialog end to end: qav.exe started with several paths
// opens it; the tests work its controls as a user would and read back the
// container it makes with the core's reader.
#include "e2e_util.h"
#include "windriver.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "archive.h"
#include "file_stream.h"
#include "frmQAVSetup_ids.h"
#include "resource.h"

namespace wd = windriver;

namespace {

const std::wstring kQav = wd::windowsPath(QAV_EXE);
const std::wstring kShots = wd::windowsPath(QAV_SCREENSHOTS);
constexpr wchar_t kCaption[] = L"檔名及解包參數設定";
constexpr wchar_t kSettingsKey[] = L"Software\\QAV\\qav";
constexpr wchar_t kWork[] = L"setup_e2e";  // the tests' folders, in the working folder
constexpr const wchar_t* kIconTypes[] = {L"cmd", L"doc", L"pps", L"vbs", L"xls"};

std::wstring Wd(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\') + 1); }

// The five default icons the dialog writes beside the program while it is open.
std::vector<std::wstring> iconFilesIn(const std::wstring& folder) {
  std::vector<std::wstring> found;
  for (const wchar_t* type : kIconTypes)
    if (e2e::exists(folder + type + L".ico")) found.push_back(type);
  return found;
}

std::wstring localAppDataQav() { return e2e::specialFolder(CSIDL_LOCAL_APPDATA) + L"\\QAV\\"; }

std::optional<std::wstring> installPathSetting() {
  return e2e::regString(HKEY_CURRENT_USER, std::wstring(kSettingsKey) + L"\\程式參數",
                        L"InstallPath");
}
void forgetInstallPath() {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, (std::wstring(kSettingsKey) + L"\\程式參數").c_str(),
                     L"InstallPath");
}

// ---- the dialog's controls --------------------------------------------------------

std::wstring listItem(HWND list, UINT getLen, UINT get, int i) {
  DWORD_PTR len = 0;
  SendMessageTimeoutW(list, getLen, i, 0, SMTO_ABORTIFHUNG, 3000, &len);
  std::wstring s(len + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(list, get, i, reinterpret_cast<LPARAM>(s.data()), SMTO_ABORTIFHUNG, 3000,
                      &got);
  s.resize(got);
  return s;
}
std::vector<std::wstring> items(HWND list, bool combo) {
  DWORD_PTR count = 0;
  SendMessageTimeoutW(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 3000,
                      &count);
  std::vector<std::wstring> out;
  for (int i = 0; i < static_cast<int>(count); ++i)
    out.push_back(combo ? listItem(list, CB_GETLBTEXTLEN, CB_GETLBTEXT, i)
                        : listItem(list, LB_GETTEXTLEN, LB_GETTEXT, i));
  return out;
}
bool checked(HWND button) { return e2e::send(button, BM_GETCHECK) == BST_CHECKED; }
HWND focusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

// One run of qav.exe with its settings dialog open.
struct QavRun {
  wd::Process qav;
  HWND main = nullptr;
  HWND dialog = nullptr;

  HWND operator[](int id) const { return wd::control(dialog, id); }
  // A click handled before this returns: for controls whose handlers open no
  // modal window (the driver's posted click would race the checks after it).
  void press(int id) const {
    ASSERT_TRUE(wd::isEnabled((*this)[id]) && wd::isVisible((*this)[id])) << id;
    e2e::send((*this)[id], BM_CLICK);
  }
  std::wstring text(int id) const { return wd::text((*this)[id]); }
  // Answers go through the dialog's own handlers, as a user's clicks do.
  void select(int comboId, int index) const {
    e2e::send((*this)[comboId], CB_SETCURSEL, static_cast<WPARAM>(index));
    e2e::send(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE),
         reinterpret_cast<LPARAM>((*this)[comboId]));
  }
  void scrollTo(int code, int position = 0) const {
    e2e::send(dialog, WM_HSCROLL, MAKEWPARAM(code, position),
         reinterpret_cast<LPARAM>((*this)[IDC_HSL_ICON]));
  }
  void type(int id, const std::wstring& chars) const {
    for (wchar_t c : chars) e2e::send((*this)[id], WM_CHAR, c, 1);
  }
  // Waits until qav has handled what was sent to it; a sent message can
  // overtake posted ones, so posted input is followed by a short pause first.
  void settle() const {
    Sleep(30);
    e2e::send(IsWindow(dialog) ? dialog : main, WM_NULL);
  }
  void screenshot(const std::wstring& name) const {
    settle();
    EXPECT_TRUE(wd::saveWindowScreenshot(dialog, kShots + L"\\" + name));
  }
  bool waitPacked(int files) const {
    const std::wstring done = L"作業完成！共加入了 " + std::to_wstring(files) + L" 個檔案。";
    return wd::waitUntil([&] { return wd::text(wd::control(main, IDC_LABEL1)) == done; });
  }
};

QavRun openDialog(const std::vector<std::wstring>& paths, const std::wstring& program = kQav) {
  QavRun run;
  run.qav = wd::Process::start(program, paths);
  EXPECT_TRUE(run.qav.started()) << wd::narrow(run.qav.error());
  run.dialog = wd::waitForWindow({kCaption, wd::Match::Exact, L"#32770", run.qav.pid()});
  if (!run.dialog) wd::saveScreenshot(kShots + L"\\failed_setup_dialog.png");
  EXPECT_TRUE(run.dialog) << "no settings dialog; windows:\n" << wd::describeWindows();
  wd::WindowQuery q;
  q.caption = L"集裝檔(QAV) v";
  q.match = wd::Match::Prefix;
  q.pid = run.qav.pid();
  run.main = wd::waitForWindow(q);
  return run;
}

void closeMain(QavRun& run) {
  ASSERT_TRUE(wd::close(run.main));
  EXPECT_TRUE(run.qav.waitExit().has_value()) << "qav still runs after its window closed";
}

std::optional<qav::ArchiveHeader> headerOf(const std::wstring& path) {
  qav::FileInStream in;
  qav::ArchiveHeader header;
  if (!in.open(e2e::U(path)) || !in.seek(qav::archiveOffset(e2e::U(path))) ||
      !qav::readHeader(in, header).ok())
    return {};
  return header;
}

int iconsIn(const std::wstring& file) {
  return static_cast<int>(ExtractIconExW(file.c_str(), -1, nullptr, nullptr, 0));
}

// ---- tests ---------------------------------------------------------------------------

TEST(SetupDialog, OpensOnTheFileSetAndClosingWithoutOkPacksNothing) {
  const std::wstring folder = e2e::freshFolder(kWork, L"open");
  const std::vector<std::wstring> names = {L"報告.txt", L"data.bin", L"empty.dat"};
  std::vector<std::wstring> paths;
  for (const auto& n : names) {
    e2e::writeFile(folder + n, "x");
    paths.push_back(folder + n);
  }
  const std::wstring programFolder = folderOf(kQav);
  for (const wchar_t* type : kIconTypes) DeleteFileW((programFolder + type + L".ico").c_str());

  const struct {
    const char* how;
    void (*close)(HWND dialog);
  } closings[] = {
      {"取消", [](HWND d) { wd::click(d, IDCANCEL); }},
      {"close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const auto& c : closings) {
    SCOPED_TRACE(c.how);
    QavRun run = openDialog(paths);
    ASSERT_TRUE(run.dialog);
    EXPECT_EQ(run.text(IDC_CMB_NAME), L"報告_qav.qav");
    EXPECT_EQ(run.text(IDC_TXT_PATH), folder);
    EXPECT_EQ(items(run[IDC_LIST_FILES], false), names);
    EXPECT_EQ(run.text(IDC_LBL_COUNT), L"（共 3 個檔案）");
    EXPECT_TRUE(checked(run[IDC_OPT_QAV0]));
    EXPECT_TRUE(wd::isEnabled(run[IDC_OPT_QAV1]));
    EXPECT_FALSE(wd::isEnabled(run[IDC_OPT_QAV2])) << "no program to install";
    EXPECT_TRUE(items(run[IDC_CMB_MAINPROGRAM], true).empty());
    EXPECT_FALSE(wd::isEnabled(run[IDC_FRAME_SELF]));
    EXPECT_FALSE(wd::isEnabled(run[IDC_FRAME_INSTALL]));
    EXPECT_EQ(focusOf(run.dialog), run[IDC_CMB_NAME]);
    EXPECT_EQ(iconFilesIn(programFolder).size(), 5u) << "the default icons while it is open";

    c.close(run.dialog);
    EXPECT_TRUE(wd::waitUntil([&] { return !IsWindow(run.dialog); }));
    run.settle();
    EXPECT_EQ(e2e::namesIn(folder).size(), names.size()) << "something was written";
    EXPECT_EQ(wd::text(wd::control(run.main, IDC_LABEL1)), L"處理情形：") << "a pack started";
    EXPECT_EQ(wd::text(wd::control(run.main, IDC_OUTPUT)), L"");
    EXPECT_TRUE(wd::waitUntil([&] { return iconFilesIn(programFolder).empty(); }));
    EXPECT_TRUE(run.qav.running()) << "the main window stays";
    closeMain(run);
  }
}

// The fields the choices imply, over a header as qav starts it.
qav::ArchiveHeader startHeader() {
  qav::ArchiveHeader h;
  h.magic = u"QAV";
  h.versionMajor = 4;
  h.versionMinor = 4;
  h.versionRevision = 13;
  return h;
}

TEST(SetupDialog, EachKindMakesTheContainerItsChoicesImply) {
  const std::wstring folder = e2e::freshFolder(kWork, L"kinds");
  // tool.exe carries several icons (it is a copy of qav.exe).
  ASSERT_TRUE(CopyFileW(kQav.c_str(), (folder + L"tool.exe").c_str(), FALSE));
  e2e::writeFile(folder + L"run.bat", "@echo off\r\n");
  e2e::writeFile(folder + L"readme.txt", "read me");
  const std::vector<std::wstring> names = {L"tool.exe", L"run.bat", L"readme.txt"};
  const int toolIcons = iconsIn(folder + L"tool.exe");
  ASSERT_GE(toolIcons, 5);

  struct Case {
    const char* what;
    std::wstring output;  // file name in the folder
    void (*choose)(const QavRun&);
    qav::ArchiveHeader expected;
    std::wstring shot;
  };
  std::vector<Case> cases;
  {
    Case c{"plain archive", L"tool_qav.qav", nullptr, startHeader(), L"setup_kind0.png"};
    c.choose = [](const QavRun& r) { wd::setText(r[IDC_CMB_POSTCMD], L"   "); };
    cases.push_back(c);
  }
  {
    Case c{"self-extracting", L"tool_self.exe", nullptr, startHeader(), L"setup_kind1.png"};
    c.choose = [](const QavRun& r) {
      r.press(IDC_OPT_QAV1);
      r.select(IDC_CMB_POSTCMD, 1);  // run.bat from the list
      r.settle();
      EXPECT_EQ(wd::text(r[IDC_CMB_POSTCMD]), L"run.bat");
    };
    c.expected.outputKind = 1;
    c.expected.postCommand = u"run.bat";
    cases.push_back(c);
  }
  {
    Case c{"install package", L"tool_setup.exe", nullptr, startHeader(), L"setup_kind2.png"};
    c.choose = [](const QavRun& r) {
      r.press(IDC_OPT_QAV2);
      r.settle();
      EXPECT_TRUE(wd::isEnabled(r[IDC_TXT_INSTALLFOLDER]));
      EXPECT_EQ(r.text(IDC_TXT_INSTALLFOLDER), L"公司名稱\\產品名稱");
      EXPECT_EQ(r.text(IDC_TXT_SHORTCUTNAME), L"tool的捷徑");
      EXPECT_EQ(items(r[IDC_CMB_ICON], true), std::vector<std::wstring>{L"tool.exe"});
      // With every control enabled, the tab order is the design order; a group
      // of options is one stop, at its selected option.
      std::vector<int> order;
      HWND at = r[IDC_CMB_NAME];
      do {
        order.push_back(GetDlgCtrlID(at));
        at = GetNextDlgTabItem(r.dialog, at, FALSE);
      } while (at && at != r[IDC_CMB_NAME] && order.size() < 40);
      EXPECT_EQ(order, (std::vector<int>{
                           IDC_CMB_NAME, IDC_CMD_BROWSE, IDC_OPT_QAV2, IDC_LIST_FILES,
                           IDC_CMB_POSTCMD, IDC_OPT_PROGRAMFILES, IDC_TXT_INSTALLFOLDER,
                           IDC_CHK_STARTUP,
                           IDC_CHK_REGISTER, IDC_CHK_MENU, IDC_CHK_DESKTOP, IDC_CMB_MAINPROGRAM,
                           IDC_CMB_ICON, IDC_TXT_SHORTCUTNAME, IDC_HSL_ICON, IDOK, IDCANCEL}));
      wd::setText(r[IDC_TXT_INSTALLFOLDER], L"Acme\\Tool");
      r.press(IDC_CHK_STARTUP);
      r.press(IDC_CHK_REGISTER);
      wd::setText(r[IDC_TXT_SHORTCUTNAME], L"我的工具");
      wd::setText(r[IDC_CMB_POSTCMD], L"  run.bat /q ");
      r.scrollTo(SB_RIGHT);  // as far as the icons go
      r.settle();
      EXPECT_EQ(e2e::send(r[IDC_HSL_ICON], SBM_GETPOS) + 1,
                iconsIn(folderOf(wd::text(r[IDC_TXT_PATH])) + L"tool.exe"));
      r.scrollTo(SB_THUMBPOSITION, 3);
    };
    c.expected.outputKind = 2;
    c.expected.mainProgram = u"tool.exe";
    c.expected.installUnderProgramFiles = true;
    c.expected.startWithWindows = true;
    c.expected.desktopShortcut = true;
    c.expected.programsMenuShortcut = true;
    c.expected.installFolderName = u"Acme\\Tool";
    c.expected.shortcutName = u"我的工具";
    c.expected.shortcutIcon = u"tool.exe,3";
    c.expected.postCommand = u"run.bat /q";
    c.expected.registerComponents = false;
    cases.push_back(c);
  }
  {
    Case c{"install package into the current folder", L"tool_setup.exe", nullptr, startHeader(),
           L"setup_kind2_current_folder.png"};
    c.choose = [](const QavRun& r) {
      r.press(IDC_OPT_QAV2);
      r.select(IDC_CMB_MAINPROGRAM, 1);  // run.bat: the default cmd icon first
      r.press(IDC_OPT_CURRENTFOLDER);
      r.settle();
      EXPECT_EQ(items(r[IDC_CMB_ICON], true),
                (std::vector<std::wstring>{L"預設圖示", L"tool.exe"}));
      EXPECT_EQ(r.text(IDC_LBL_ICONCOUNT), L"圖示：1");
      EXPECT_EQ(r.text(IDC_TXT_SHORTCUTNAME), L"run應用程式");
      for (int id : {IDC_TXT_INSTALLFOLDER, IDC_CHK_STARTUP, IDC_CHK_MENU, IDC_CHK_DESKTOP,
                     IDC_CMB_ICON, IDC_TXT_SHORTCUTNAME, IDC_LBL_ICONID})
        EXPECT_FALSE(wd::isEnabled(r[id])) << id;
      EXPECT_FALSE(wd::isVisible(r[IDC_PIC_ICON]));
      EXPECT_TRUE(wd::isEnabled(r[IDC_CHK_REGISTER]));
    };
    c.expected.outputKind = 2;
    c.expected.mainProgram = u"run.bat";
    c.expected.installFolderName = u"公司名稱\\產品名稱";
    c.expected.shortcutName = u"run應用程式";
    c.expected.registerComponents = true;
    cases.push_back(c);
  }

  const std::wstring programFolder = folderOf(kQav);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    forgetInstallPath();
    DeleteFileW((folder + c.output).c_str());
    std::vector<std::wstring> paths;
    for (const auto& n : names) paths.push_back(folder + n);
    QavRun run = openDialog(paths);
    ASSERT_TRUE(run.dialog);
    c.choose(run);
    EXPECT_EQ(run.text(IDC_CMB_NAME), c.output);
    run.screenshot(c.shot);
    ASSERT_TRUE(wd::click(run.dialog, IDOK));
    EXPECT_TRUE(wd::waitWindowGone(run.dialog));
    ASSERT_TRUE(run.waitPacked(3)) << wd::narrow(wd::text(wd::control(run.main, IDC_LABEL1)));
    EXPECT_EQ(wd::text(wd::control(run.main, IDC_OUTPUT)), folder + c.output);

    auto header = headerOf(folder + c.output);
    ASSERT_TRUE(header) << "no archive in " << wd::narrow(folder + c.output);
    ASSERT_EQ(header->entries.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(Wd(header->entries[i].name), names[i]);
    qav::ArchiveHeader expected = c.expected;
    expected.entries = header->entries;
    EXPECT_TRUE(*header == expected)
        << "kind " << header->outputKind << ", main '" << wd::narrow(Wd(header->mainProgram))
        << "', icon '" << wd::narrow(Wd(header->shortcutIcon)) << "', post '"
        << wd::narrow(Wd(header->postCommand)) << "', folder '"
        << wd::narrow(Wd(header->installFolderName)) << "', name '"
        << wd::narrow(Wd(header->shortcutName)) << "', flags " << header->installUnderProgramFiles
        << header->startWithWindows << header->desktopShortcut << header->programsMenuShortcut
        << header->registerComponents;
    // The install folder text is remembered at every confirmation.
    EXPECT_EQ(installPathSetting().value_or(L"(none)"),
              c.expected.outputKind == 2 ? Wd(c.expected.installFolderName)
                                         : std::wstring(L"公司名稱\\產品名稱"));
    EXPECT_TRUE(iconFilesIn(programFolder).empty());
    closeMain(run);
  }
}

TEST(SetupDialog, MissingFolderIsMadeOnlyWhenTheUserSaysYes) {
  const std::wstring folder = e2e::freshFolder(kWork, L"missing");
  e2e::writeFile(folder + L"a.txt", "a");
  e2e::writeFile(folder + L"b.txt", "b");
  forgetInstallPath();
  QavRun run = openDialog({folder + L"a.txt", folder + L"b.txt"});
  ASSERT_TRUE(run.dialog);
  ASSERT_TRUE(wd::setText(run[IDC_CMB_NAME], L"sub\\new\\x"));
  const std::wstring target = folder + L"sub\\new\\";

  for (int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer == IDNO ? "no" : "yes");
    ASSERT_TRUE(wd::click(run.dialog, IDOK));
    auto box = wd::waitForMessageBox(run.qav.pid(), L"系統訊息：");
    ASSERT_TRUE(box) << "no question; windows:\n" << wd::describeWindows();
    EXPECT_EQ(box->text, L"資料夾 " + target + L" 不存在。\r\n要建立資料夾嗎？");
    EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
    ASSERT_TRUE(wd::answerMessageBox(box->hwnd, answer));
    if (answer == IDNO) {
      EXPECT_TRUE(wd::waitWindowGone(box->hwnd));
      run.settle();
      EXPECT_TRUE(wd::isVisible(run.dialog)) << "the dialog stays after No";
      EXPECT_FALSE(e2e::exists(folder + L"sub"));
      EXPECT_FALSE(installPathSetting()) << "nothing is stored after No";
      EXPECT_EQ(run.text(IDC_TXT_PATH), target);
      EXPECT_EQ(run.text(IDC_CMB_NAME), L"x_qav.qav");
    }
  }
  EXPECT_TRUE(wd::waitWindowGone(run.dialog));
  ASSERT_TRUE(run.waitPacked(2));
  auto header = headerOf(target + L"x_qav.qav");
  ASSERT_TRUE(header);
  EXPECT_EQ(header->outputKind, 0);
  EXPECT_TRUE(installPathSetting());
  closeMain(run);
}

TEST(SetupDialog, InstallFolderOutsideProgramFilesIsRefusedAndTheDialogStays) {
  const std::wstring folder = e2e::freshFolder(kWork, L"refused");
  e2e::writeFile(folder + L"app.exe", "not really a program");
  e2e::writeFile(folder + L"b.txt", "b");
  QavRun run = openDialog({folder + L"app.exe", folder + L"b.txt"});
  ASSERT_TRUE(run.dialog);
  run.press(IDC_OPT_QAV2);
  const struct {
    std::wstring text, named;
  } cases[] = {
      {L"..\\Windows", L".."},
      {L"Acme\\..\\..\\x", L".."},
      {L"C:\\Windows", L":"},
      {L"\\\\server\\share", L"\\\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(wd::narrow(c.text));
    ASSERT_TRUE(wd::setText(run[IDC_TXT_INSTALLFOLDER], c.text));
    ASSERT_TRUE(wd::click(run.dialog, IDOK));
    auto box = wd::waitForMessageBox(run.qav.pid(), L"系統訊息：");
    ASSERT_TRUE(box) << wd::describeWindows();
    EXPECT_NE(box->text.find(L"「" + c.text + L"」"), std::wstring::npos) << wd::narrow(box->text);
    EXPECT_NE(box->text.find(L"「" + c.named), std::wstring::npos) << wd::narrow(box->text);
    ASSERT_TRUE(wd::answerMessageBox(box->hwnd, IDOK));
    EXPECT_TRUE(wd::waitWindowGone(box->hwnd));
    run.settle();
    EXPECT_TRUE(wd::isVisible(run.dialog));
    EXPECT_EQ(focusOf(run.dialog), run[IDC_TXT_INSTALLFOLDER]);
  }
  EXPECT_EQ(e2e::namesIn(folder).size(), 2u);
  // Installing beside the package does not use the text: it is stored as is.
  run.press(IDC_OPT_CURRENTFOLDER);
  ASSERT_TRUE(wd::click(run.dialog, IDOK));
  ASSERT_TRUE(run.waitPacked(2));
  auto header = headerOf(folder + L"app_setup.exe");
  ASSERT_TRUE(header);
  EXPECT_FALSE(header->installUnderProgramFiles);
  EXPECT_EQ(header->installFolderName, u"\\\\server\\share");
  closeMain(run);
  forgetInstallPath();
}

TEST(SetupDialog, TypedCharactersAreFilteredAndPastedOnesAreNot) {
  const std::wstring folder = e2e::freshFolder(kWork, L"typing");
  e2e::writeFile(folder + L"app.exe", "x");
  e2e::writeFile(folder + L"b.txt", "b");
  QavRun run = openDialog({folder + L"app.exe", folder + L"b.txt"});
  ASSERT_TRUE(run.dialog);
  run.press(IDC_OPT_QAV2);
  run.settle();
  const struct {
    int id;
    std::wstring typed, kept;
  } cases[] = {
      {IDC_CMB_NAME, L"a:b:c/\"*?d\\e", L"a:bcd\\e"},
      {IDC_TXT_INSTALLFOLDER, L"x:/y\\z|", L"xy\\z"},
      {IDC_TXT_SHORTCUTNAME, L"p\\q:r;s", L"pqrs"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    ASSERT_TRUE(wd::setText(run[c.id], L""));
    run.type(c.id, c.typed);
    EXPECT_EQ(run.text(c.id), c.kept);
    // Text that arrives other than by typing is not filtered.
    ASSERT_TRUE(wd::setText(run[c.id], L"p/a:s:t|e"));
    EXPECT_EQ(run.text(c.id), L"p/a:s:t|e");
  }
  // Enter in the name box moves to the selected kind instead of pressing
  // "確定"; leaving the box normalises its text.
  e2e::send(run.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(run[IDC_CMB_NAME]), TRUE);
  ASSERT_TRUE(wd::setText(run[IDC_CMB_NAME], L"out\\y_qav.qav"));
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(run[IDC_CMB_NAME], WM_KEYDOWN, VK_RETURN, scan | 1);
  PostMessageW(run[IDC_CMB_NAME], WM_KEYUP, VK_RETURN, scan | 0xC0000001);
  // Posted keys may still be queued behind a sent message: wait for their effect.
  EXPECT_TRUE(wd::waitUntil([&] { return focusOf(run.dialog) == run[IDC_OPT_QAV2]; }));
  run.settle();
  EXPECT_TRUE(wd::isVisible(run.dialog)) << "Enter confirmed the dialog";
  EXPECT_EQ(run.text(IDC_CMB_NAME), L"y_setup.exe");
  EXPECT_EQ(run.text(IDC_TXT_PATH), folder + L"out\\");
  ASSERT_TRUE(wd::click(run.dialog, IDCANCEL));
  EXPECT_TRUE(wd::waitWindowGone(run.dialog));
  closeMain(run);
}

TEST(SetupDialog, BrowseOffersTheNameAndTakesTheChosenPath) {
  const std::wstring folder = e2e::freshFolder(kWork, L"browse");
  e2e::writeFile(folder + L"a.txt", "a");
  e2e::writeFile(folder + L"b.txt", "b");
  CreateDirectoryW((folder + L"picked").c_str(), nullptr);
  QavRun run = openDialog({folder + L"a.txt", folder + L"b.txt"});
  ASSERT_TRUE(run.dialog);
  const struct {
    int kind;
    std::wstring filter, chosen, name;
  } cases[] = {
      {IDC_OPT_QAV0, L"合併檔案(*.QAV)", L"first.bin", L"first_qav.qav"},
      {IDC_OPT_QAV1, L"自解檔案(*.EXE)", L"second_qav.qav", L"second_self.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    run.press(c.kind);
    const std::wstring offered = run.text(IDC_CMB_NAME);
    ASSERT_TRUE(wd::click(run.dialog, IDC_CMD_BROWSE));
    HWND save = wd::waitForWindow(
        {L"正要儲存檔案包，請選擇存放的位置。", wd::Match::Exact, L"#32770", run.qav.pid()});
    if (!save) wd::saveScreenshot(kShots + L"\\failed_setup_save_dialog.png");
    ASSERT_TRUE(save) << wd::describeWindows();
    HWND nameBox = nullptr, types = nullptr;
    for (const wd::Control& ctl : wd::controls(save)) {
      if (ctl.className == L"Edit" && (ctl.id == 1148 || ctl.id == 1152) && ctl.visible)
        nameBox = ctl.hwnd;
      if (ctl.className == L"ComboBox" && ctl.id == 1136) types = ctl.hwnd;
    }
    ASSERT_TRUE(nameBox && types) << wd::describeControls(save);
    EXPECT_EQ(wd::text(nameBox), offered);
    EXPECT_EQ(wd::text(types), c.filter);
    ASSERT_TRUE(wd::setText(nameBox, folder + L"picked\\" + c.chosen));
    ASSERT_TRUE(wd::click(save, IDOK));
    EXPECT_TRUE(wd::waitWindowGone(save));
    EXPECT_TRUE(wd::waitUntil([&] { return run.text(IDC_CMB_NAME) == c.name; }))
        << wd::narrow(run.text(IDC_CMB_NAME));
    EXPECT_EQ(run.text(IDC_TXT_PATH), folder + L"picked\\");
  }
  // Cancelling the save dialog changes nothing.
  ASSERT_TRUE(wd::click(run.dialog, IDC_CMD_BROWSE));
  HWND save = wd::waitForWindow(
      {L"正要儲存檔案包，請選擇存放的位置。", wd::Match::Exact, L"#32770", run.qav.pid()});
  ASSERT_TRUE(save);
  ASSERT_TRUE(wd::click(save, IDCANCEL));
  EXPECT_TRUE(wd::waitWindowGone(save));
  run.settle();
  EXPECT_EQ(run.text(IDC_CMB_NAME), L"second_self.exe");
  ASSERT_TRUE(wd::click(run.dialog, IDCANCEL));
  EXPECT_TRUE(wd::waitWindowGone(run.dialog));
  closeMain(run);
}

TEST(SetupDialog, DefaultIconsGoToTheUsersFolderWhenTheProgramFolderIsShut) {
  // A copy of qav whose folder has folders in the way of the icon files, as a
  // program folder the user may not write (wine run as root writes anything).
  const std::wstring shut = e2e::freshFolder(kWork, L"shut");
  const std::wstring program = shut + L"qav.exe";
  ASSERT_TRUE(CopyFileW(kQav.c_str(), program.c_str(), FALSE));
  for (const wchar_t* type : kIconTypes)
    ASSERT_TRUE(CreateDirectoryW((shut + type + L".ico").c_str(), nullptr));
  const std::wstring fallback = localAppDataQav();
  for (const wchar_t* type : kIconTypes) DeleteFileW((fallback + type + L".ico").c_str());
  const std::wstring folder = e2e::freshFolder(kWork, L"shut_files");
  e2e::writeFile(folder + L"go.cmd", "@echo go");
  e2e::writeFile(folder + L"b.txt", "b");

  QavRun run = openDialog({folder + L"go.cmd", folder + L"b.txt"}, program);
  ASSERT_TRUE(run.dialog);
  EXPECT_EQ(iconFilesIn(fallback).size(), 5u);
  run.press(IDC_OPT_QAV2);
  run.settle();
  EXPECT_EQ(run.text(IDC_LBL_ICONCOUNT), L"圖示：1") << "the default cmd icon was not found";
  run.screenshot(L"setup_default_icon.png");
  ASSERT_TRUE(wd::click(run.dialog, IDCANCEL));
  EXPECT_TRUE(wd::waitWindowGone(run.dialog));
  EXPECT_TRUE(wd::waitUntil([&] { return iconFilesIn(fallback).empty(); }));
  for (const wchar_t* type : kIconTypes) EXPECT_TRUE(e2e::isFolder(shut + type + L".ico"));
  closeMain(run);
}

}  // namespace

// The whole way a user goes: files handed to qav, an install package chosen in
// the dialog, and that package run: it asks, installs under Program Files and
// makes its shortcuts.
TEST(SetupDialog, InstallPackageMadeInTheDialogInstalls) {
  const std::wstring folder = e2e::freshFolder(kWork, L"install");
  e2e::writeFile(folder + L"run.bat", "@echo off\r\n");
  e2e::writeFile(folder + L"說明.txt", "read me");
  const std::wstring target = e2e::specialFolder(CSIDL_PROGRAM_FILES) + L"\\QavE2E\\Demo\\";
  const std::wstring desktopLink = e2e::specialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\示範.lnk";
  const std::wstring menuLink = e2e::specialFolder(CSIDL_PROGRAMS) + L"\\示範.lnk";
  for (const std::wstring& f : {target + L"run.bat", target + L"說明.txt", desktopLink, menuLink})
    DeleteFileW(f.c_str());

  QavRun run = openDialog({folder + L"run.bat", folder + L"說明.txt"});
  ASSERT_TRUE(run.dialog);
  run.press(IDC_OPT_QAV2);
  run.settle();
  ASSERT_TRUE(wd::setText(run[IDC_TXT_INSTALLFOLDER], L"QavE2E\\Demo"));
  ASSERT_TRUE(wd::setText(run[IDC_TXT_SHORTCUTNAME], L"示範"));
  ASSERT_TRUE(wd::setText(run[IDC_CMB_POSTCMD], L""));
  run.settle();
  ASSERT_TRUE(checked(run[IDC_CHK_DESKTOP]));
  ASSERT_TRUE(checked(run[IDC_CHK_MENU]));
  ASSERT_TRUE(wd::click(run.dialog, IDOK));
  ASSERT_TRUE(run.waitPacked(2));
  closeMain(run);

  wd::Process setup = wd::Process::start(folder + L"run_setup.exe");
  ASSERT_TRUE(setup.started()) << wd::narrow(setup.error());
  auto question = wd::waitForMessageBox(setup.pid(), L"系統詢問");
  ASSERT_TRUE(question) << wd::describeWindows();
  EXPECT_NE(question->text.find(L"〔run〕"), std::wstring::npos) << wd::narrow(question->text);
  ASSERT_TRUE(wd::answerMessageBox(question->hwnd, IDYES));
  auto exitCode = setup.waitExit(wd::Millis(20000));
  ASSERT_TRUE(exitCode.has_value());
  EXPECT_EQ(*exitCode, 0u);

  EXPECT_EQ(e2e::readFile(target + L"說明.txt"), "read me");
  EXPECT_EQ(e2e::readFile(target + L"run.bat"), "@echo off\r\n");
  EXPECT_EQ(e2e::shortcutTarget(desktopLink), target + L"run.bat");
  EXPECT_EQ(e2e::shortcutTarget(menuLink), target + L"run.bat");
}
