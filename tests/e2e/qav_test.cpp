// qav.exe end to end: started under wine with the command lines the Explorer
// gives it, and worked through its real windows and the system's dialogs.
#include "e2e_util.h"
#include "windriver.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "archive.h"
#include "resource.h"

namespace wd = windriver;

namespace {

const std::wstring kQav = wd::windowsPath(QAV_EXE);
const std::wstring kShots = wd::windowsPath(QAV_SCREENSHOTS);
const std::wstring kCaption = L"集裝檔(QAV) v4.4.13  by 白\u3000岩 (Zo7)";
constexpr wchar_t kSettingsKey[] = L"Software\\QAV\\qav";
constexpr wchar_t kWork[] = L"qav_e2e";  // the tests' folders, in the working folder

// ---- archives ---------------------------------------------------------------

// What the core writer gives for these files: the header qav writes (magic,
// its own version, a plain archive) and the files' bytes in table order.
std::string archiveOf(const std::vector<e2e::Item>& items) {
  qav::ArchiveHeader header;
  header.magic = u"QAV";
  header.versionMajor = 4;
  header.versionMinor = 4;
  header.versionRevision = 13;
  header.outputKind = 0;
  for (const e2e::Item& i : items) {
    qav::ArchiveError e = qav::appendEntry(header.entries, e2e::U(i.name), i.data.size(),
                                           i.times.access, i.times.write);
    EXPECT_TRUE(e.ok()) << wd::narrow(i.name);
  }
  qav::StringOutStream out;
  EXPECT_TRUE(qav::writeHeader(out, header).ok());
  for (const e2e::Item& i : items) out.str() += i.data;
  return out.str();
}

// A small archive with what tends to go wrong: a Chinese name with a space, a
// file of two chunks (one byte over 512 KiB), an empty file, a name without dot.
std::vector<e2e::Item> sampleItems() {
  return {
      {L"說明 文件.txt", "說明", {132000000001234567, 132100000007654321}},
      {L"big.bin", e2e::bytes(524289, 7), {131000000000000001, 131500000000000003}},
      {L"empty.dat", "", {130000000000000000, 130000000000000000}},
      {L"readme", "read me", {133000000000000000, 133100000000000000}},
  };
}

// The files of `items` are in `folder`, with their content and times.
void expectRestored(const std::wstring& folder, const std::vector<e2e::Item>& items) {
  for (const e2e::Item& i : items) {
    SCOPED_TRACE(wd::narrow(folder + i.name));
    auto t = e2e::fileTimes(folder + i.name);
    ASSERT_TRUE(t) << "missing";
    EXPECT_EQ(t->write, i.times.write);
    EXPECT_EQ(t->access, i.times.access);
    EXPECT_TRUE(e2e::readFile(folder + i.name) == i.data) << "content differs";
  }
}

// ---- registry and shell --------------------------------------------------------

std::optional<std::wstring> setting(const wchar_t* section, const wchar_t* key) {
  return e2e::regString(HKEY_CURRENT_USER, std::wstring(kSettingsKey) + L"\\" + section, key);
}

void storeSetting(const wchar_t* section, const wchar_t* key, const std::wstring& value) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kSettingsKey) + L"\\" + section).c_str(),
                            0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(h, key, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
}

std::wstring lower(std::wstring s) {
  CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

// ---- the program ----------------------------------------------------------------

wd::Process startQav(const std::vector<std::wstring>& args = {}) {
  wd::Process p = wd::Process::start(kQav, args);
  EXPECT_TRUE(p.started()) << wd::narrow(p.error());
  return p;
}

// The main window of this run; hidden ones too when the program hides it.
HWND mainWindow(const wd::Process& qav, bool visibleOnly = true) {
  wd::WindowQuery q;
  q.caption = kCaption;
  q.pid = qav.pid();
  q.visibleOnly = visibleOnly;
  HWND w = wd::waitForWindow(q);
  if (!w) wd::saveScreenshot(kShots + L"\\failed_qav_main.png");
  EXPECT_NE(w, nullptr) << "no main window" << (qav.running() ? "" : " (qav has ended)")
                        << "; windows:\n"
                        << wd::describeWindows();
  return w;
}

std::wstring controlText(HWND main, int id) { return wd::text(wd::control(main, id)); }

// A visible "#32770" window of qav that holds a control whose text starts with
// `marker` (the common dialogs are found by what they show, not their class).
HWND waitForDialog(DWORD pid, const std::wstring& caption, const std::wstring& marker = {}) {
  HWND found = nullptr;
  wd::waitUntil([&] {
    wd::WindowQuery q;
    q.className = L"#32770";
    q.pid = pid;
    q.caption = caption;
    q.match = wd::Match::Prefix;
    for (HWND w : wd::findWindows(q)) {
      if (marker.empty()) return (found = w) != nullptr;
      for (const wd::Control& c : wd::controls(w))
        if (c.text.compare(0, marker.size(), marker) == 0) return (found = w) != nullptr;
    }
    return false;
  });
  return found;
}

void closeAndSeeEnd(wd::Process& qav, HWND main) {
  ASSERT_TRUE(wd::close(main));
  EXPECT_TRUE(wd::waitWindowGone(main));
  EXPECT_TRUE(qav.waitExit().has_value()) << "qav still runs after its window closed";
}

// The package settings dialog of this run, confirmed with its defaults (a
// plain archive beside the first file).
void confirmSettings(const wd::Process& qav) {
  HWND dialog =
      wd::waitForWindow({L"檔名及解包參數設定", wd::Match::Exact, L"#32770", qav.pid()});
  ASSERT_TRUE(dialog) << "no settings dialog; windows:\n" << wd::describeWindows();
  ASSERT_TRUE(wd::click(dialog, IDOK));
  EXPECT_TRUE(wd::waitWindowGone(dialog));
}

// ---- tests ------------------------------------------------------------------------

TEST(Qav, FirstStartShowsMainWindowAndTiesItselfIntoTheShell) {
  // Gone before the start, so what is there afterwards is this start's work.
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qav");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"zo7_App_QAV");
  const std::wstring lnk = e2e::specialFolder(CSIDL_SENDTO) + L"\\QAV集裝檔.lnk";
  DeleteFileW(lnk.c_str());

  wd::Process qav = startQav();
  HWND main = mainWindow(qav);
  ASSERT_TRUE(main);

  const std::wstring quoted = L"\"" + kQav + L"\"";
  struct {
    const wchar_t* key;
    std::wstring value;
  } association[] = {
      {L".qav", L"zo7_App_QAV"},
      {L"zo7_App_QAV", L"集裝檔工具"},
      {L"zo7_App_QAV\\DefaultIcon", quoted + L",7"},
      {L"zo7_App_QAV\\shell\\open\\command", quoted + L" \"%1\""},
  };
  // Written beside the window, not before it: give it the time it takes.
  ASSERT_TRUE(wd::waitUntil([&] {
    return e2e::readShortcut(lnk) &&
           e2e::regString(HKEY_CLASSES_ROOT, L"zo7_App_QAV\\shell\\open\\command", nullptr);
  })) << "no association or SendTo entry";
  for (const auto& a : association) {
    auto value = e2e::regString(HKEY_CLASSES_ROOT, a.key, nullptr);
    ASSERT_TRUE(value) << "HKCR\\" << wd::narrow(a.key) << " has no default value";
    // The program path may come back in another letter case than it was started with.
    EXPECT_EQ(lower(*value), lower(a.value)) << "HKCR\\" << wd::narrow(a.key);
  }

  auto link = e2e::readShortcut(lnk);
  ASSERT_TRUE(link) << "no shortcut " << wd::narrow(lnk);
  const std::wstring folder = kQav.substr(0, kQav.rfind(L'\\'));
  EXPECT_EQ(lower(link->target), lower(kQav));
  EXPECT_EQ(lower(link->workDir), lower(folder));
  EXPECT_TRUE(e2e::exists(link->icon))
      << "shortcut icon '" << wd::narrow(link->icon) << "' missing";

  EXPECT_EQ(setting(L"程式參數", L"RGB").value_or(L"(none)"), L"F0FFE0");
  closeAndSeeEnd(qav, main);
}

TEST(Qav, StoredColourIsUsedAndRewrittenTheDesignColourWhenNotHex) {
  const struct {
    const wchar_t* stored;  // nullptr: no setting
    const wchar_t* rewritten;
    COLORREF shown;
  } cases[] = {
      {nullptr, L"F0FFE0", RGB(224, 255, 240)},
      {L"not-hex", L"F0FFE0", RGB(224, 255, 240)},
      {L"ffe0e0", L"FFE0E0", RGB(0xE0, 0xE0, 0xFF)},  // the value is BGR, as Windows packs it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored ? wd::narrow(c.stored) : "(none)");
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    if (c.stored) storeSetting(L"程式參數", L"RGB", c.stored);

    wd::Process qav = startQav();
    HWND main = mainWindow(qav);
    ASSERT_TRUE(main);
    EXPECT_EQ(setting(L"程式參數", L"RGB").value_or(L"(none)"), c.rewritten);

    // A point of the bare background, left of "輸出位置：" and below it.
    ASSERT_TRUE(wd::waitPainted(main));
    RECT client;
    GetClientRect(main, &client);  // 6510 twips wide at any DPI
    POINT p = {MulDiv(100, client.right, 6510), MulDiv(2600, client.right, 6510)};
    ClientToScreen(main, &p);
    HDC screen = GetDC(nullptr);
    COLORREF pixel = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(pixel, c.shown) << "COLORREF values (0x00BBGGRR)";
    closeAndSeeEnd(qav, main);
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);  // the next start gets the design colour
}

TEST(Qav, OneArchiveArgumentRestoresBesideItAndEnds) {
  const std::wstring root = e2e::freshFolder(kWork, L"cmdline");
  const auto items = sampleItems();
  const std::string archive = archiveOf(items);
  // Where the Explorer may find an archive: a plain path, and one with spaces
  // (quoted on the command line) and Chinese.
  const struct {
    std::wstring folder, file, target;
  } places[] = {
      {root + L"plain\\", L"tools.qav", L"tools\\"},
      {root + L"with space\\", L"我的 tools.qav", L"我的 tools\\"},
  };
  for (const auto& at : places) {
    SCOPED_TRACE(wd::narrow(at.folder + at.file));
    CreateDirectoryW(at.folder.c_str(), nullptr);
    e2e::writeFile(at.folder + at.file, archive);
    wd::Process qav = startQav({at.folder + at.file});
    ASSERT_TRUE(qav.waitExit().has_value()) << "qav did not end; windows:\n"
                                            << wd::describeWindows();
    expectRestored(at.folder + at.target, items);
  }

  // Again over the same folder: what is there moves aside, the archive's files
  // take their names.
  const std::wstring target = places[0].folder + places[0].target;
  e2e::writeFile(target + L"說明 文件.txt", "edited");
  e2e::writeFile(target + L"readme", "edited too");
  wd::Process again = startQav({places[0].folder + places[0].file});
  ASSERT_TRUE(again.waitExit().has_value());
  expectRestored(target, items);
  EXPECT_EQ(e2e::readFile(target + L"說明 文件(old-1).txt"), "edited");
  EXPECT_EQ(e2e::readFile(target + L"readme(old-1)"), "edited too");
  EXPECT_EQ(e2e::readFile(target + L"empty(old-1).dat"), "");
  EXPECT_TRUE(e2e::readFile(target + L"big(old-1).bin") == items[1].data);
  EXPECT_EQ(e2e::filesUnder(target).size(), 2 * items.size());
}

TEST(Qav, OneArgumentThatIsNoGoodArchiveIsReportedAndNothingIsWritten) {
  const std::wstring folder = e2e::freshFolder(kWork, L"refused");
  std::string whole = archiveOf(sampleItems());
  const struct {
    const wchar_t* file;
    std::string bytes;
    const wchar_t* message;
  } cases[] = {
      {L"not_an_archive.qav", "PK\3\4 this is some other kind of file",
       L"這個檔案不是正確的 QAV 格式！"},
      {L"cut_in_data.qav", whole.substr(0, whole.size() - 1000),
       L"還原時發生問題！檔案可能毀損，或是儲存權限不夠！"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(wd::narrow(c.file));
    e2e::writeFile(folder + c.file, c.bytes);
    wd::Process qav = startQav({folder + c.file});
    auto box = qav.started() ? wd::waitForMessageBox(qav.pid(), L"錯誤報告") : std::nullopt;
    if (!box) wd::saveScreenshot(kShots + L"\\failed_qav_refused.png");
    ASSERT_TRUE(box) << "no message; windows:\n" << wd::describeWindows();
    EXPECT_EQ(box->text, c.message);
    ASSERT_TRUE(wd::answerMessageBox(box->hwnd, IDOK));
    EXPECT_TRUE(qav.waitExit().has_value()) << "qav did not end after OK";
  }
  // Only the two archives: no folder with files, no partial file.
  EXPECT_EQ(e2e::filesUnder(folder).size(), 2u);
}

TEST(Qav, RestoreCommandThroughTheOpenDialogAndACancelledFolderQuestion) {
  const std::wstring folder = e2e::freshFolder(kWork, L"menu");
  const std::vector<e2e::Item> items = {
      {L"one.txt", "one", {132000000000000000, 132000000010000000}},
      {L"兩.txt", "二二", {132000000000000000, 132000000020000000}},
  };
  e2e::writeFile(folder + L"menu.qav", archiveOf(items));

  wd::Process qav = startQav();
  HWND main = mainWindow(qav);
  ASSERT_TRUE(main);
  ASSERT_TRUE(wd::menuCommand(main, IDM_RESTORE));

  HWND open = waitForDialog(qav.pid(), L"請選取要還原的 QAV 檔案：");
  if (!open) wd::saveScreenshot(kShots + L"\\failed_qav_open_dialog.png");
  ASSERT_TRUE(open) << "no open dialog; windows:\n" << wd::describeWindows();
  EXPECT_EQ(wd::text(open), L"請選取要還原的 QAV 檔案：");
  // The file-name box: wine's is an edit inside the file-name combo box (1148);
  // Windows may give a plain edit (1152).
  HWND nameBox = nullptr;
  for (const wd::Control& c : wd::controls(open))
    if (c.className == L"Edit" && (c.id == 1148 || c.id == 1152) && c.visible) nameBox = c.hwnd;
  ASSERT_TRUE(nameBox) << "no file-name box; controls:\n" << wd::describeControls(open);
  ASSERT_TRUE(wd::setText(nameBox, folder + L"menu.qav"));
  ASSERT_TRUE(wd::click(open, IDOK));

  HWND picker = waitForDialog(qav.pid(), L"", L"這是 QAV 合併檔案包，內有 2 個檔案，");
  if (!picker) wd::saveScreenshot(kShots + L"\\failed_qav_folder_picker.png");
  ASSERT_TRUE(picker) << "no folder question; windows:\n" << wd::describeWindows();
  EXPECT_TRUE(wd::controlByText(picker,
                                L"這是 QAV 合併檔案包，內有 2 個檔案，\r\n"
                                L"請選擇要另存資料夾，或按〔取消〕使用原資料夾。"))
      << "the folder question's text; controls:\n"
      << wd::describeControls(picker);
  ASSERT_TRUE(wd::click(picker, IDCANCEL)) << wd::describeControls(picker);

  EXPECT_TRUE(wd::waitUntil(
      [&] { return controlText(main, IDC_LABEL1) == L"作業完成！共還原了 2 個檔案。"; }))
      << "Label1: " << wd::narrow(controlText(main, IDC_LABEL1));
  expectRestored(folder, items);
  EXPECT_EQ(controlText(main, IDC_OUTPUT), folder);
  // The archive's folder without its drive.
  EXPECT_EQ(setting(L"Dialog", L"解包資料夾").value_or(L"(none)"), folder.substr(2));
  closeAndSeeEnd(qav, main);
}

TEST(Qav, SeveralArgumentsArePackedBesideTheFirstAndTheWindowStays) {
  const std::wstring folder = e2e::freshFolder(kWork, L"pack");
  // In command-line order; the first name gives the output name (its last
  // extension dropped).
  const std::vector<e2e::Item> items = {
      {L"報告.v2.doc", e2e::bytes(3000, 1), {132000000000000001, 132100000000000002}},
      {L"big.bin", e2e::bytes(524289, 2), {131000000000000003, 131100000000000004}},
      {L"empty.txt", "", {130000000000000005, 130100000000000006}},
  };
  std::vector<std::wstring> args;
  for (const e2e::Item& i : items) {
    e2e::writeFile(folder + i.name, i.data);
    ASSERT_TRUE(e2e::setTimes(folder + i.name, i.times));
    args.push_back(folder + i.name);
  }
  const std::wstring output = folder + L"報告.v2_qav.qav";
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);  // the design colour in the screenshot

  wd::Process qav = startQav(args);
  HWND main = mainWindow(qav);
  ASSERT_TRUE(main);
  confirmSettings(qav);
  EXPECT_TRUE(wd::waitUntil(
      [&] { return controlText(main, IDC_LABEL1) == L"作業完成！共加入了 3 個檔案。"; }))
      << "Label1: " << wd::narrow(controlText(main, IDC_LABEL1));
  EXPECT_EQ(controlText(main, IDC_LABEL2), L"正在處理第 3 個檔案..");
  EXPECT_EQ(wd::progressPos(wd::control(main, IDC_PICTURE1)), 100);
  EXPECT_EQ(wd::progressPos(wd::control(main, IDC_PICTURE2)), 100);
  EXPECT_EQ(controlText(main, IDC_OUTPUT), output);
  EXPECT_TRUE(e2e::readFile(output) == archiveOf(items)) << "the archive differs from the core's";
  EXPECT_EQ(e2e::filesUnder(folder).size(), items.size() + 1) << "something besides the archive";

  EXPECT_TRUE(wd::saveWindowScreenshot(main, kShots + L"\\qav_after_pack.png"));
  EXPECT_TRUE(qav.running()) << "the main window must stay after packing";
  closeAndSeeEnd(qav, main);
}

TEST(Qav, RestoreCommandIsRefusedWhileAPackRunsAndWorksAfterwards) {
  const std::wstring folder = e2e::freshFolder(kWork, L"busy");
  // A long pack to act during: a sparse file costs nothing to make or read.
  const std::wstring huge = folder + L"huge.bin";
  {
    HANDLE h = CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 64ll << 20;
    SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
  }
  e2e::writeFile(folder + L"tail.txt", "tail");
  storeSetting(L"Dialog", L"解包資料夾", L"\\elsewhere\\");

  wd::Process qav = startQav({huge, folder + L"tail.txt"});
  HWND main = mainWindow(qav, false);
  ASSERT_TRUE(main);
  confirmSettings(qav);
  HWND fileBar = wd::control(main, IDC_PICTURE1);
  HWND totalBar = wd::control(main, IDC_PICTURE2);
  // Wait until the first file's chunks are being copied.
  ASSERT_TRUE(wd::waitUntil(
      [&] {
        auto pos = wd::progressPos(fileBar);
        return pos && *pos > 0 && wd::progressPos(totalBar) == 0;
      },
      wd::kWait, wd::Millis{1}))
      << "the pack was not seen running";

  // Sent, not posted: it returns once qav has handled it. Handled while the
  // pack runs it does nothing; had it opened the open dialog, it would only
  // return when the dialog closes.
  DWORD_PTR ignored;
  const bool handled = SendMessageTimeoutW(main, WM_COMMAND, MAKEWPARAM(IDM_RESTORE, 0), 0,
                                           SMTO_ABORTIFHUNG, 3000, &ignored);
  auto totalAfter = wd::progressPos(totalBar);
  ASSERT_TRUE(totalAfter);
  ASSERT_LT(*totalAfter, 100) << "the pack ended before the command arrived: inconclusive";
  ASSERT_TRUE(handled) << "the command was not refused at once";
  ASSERT_FALSE(wd::findWindow({L"請選取要還原的 QAV 檔案：", wd::Match::Exact, L"#32770", qav.pid()}))
      << "a restore started in the middle of the pack";

  EXPECT_TRUE(wd::waitUntil(
      [&] { return controlText(main, IDC_LABEL1) == L"作業完成！共加入了 2 個檔案。"; }))
      << "Label1: " << wd::narrow(controlText(main, IDC_LABEL1));
  DeleteFileW((folder + L"huge_qav.qav").c_str());  // 64 MiB nobody needs

  // Afterwards the command works again.
  ASSERT_TRUE(wd::menuCommand(main, IDM_RESTORE));
  HWND open = waitForDialog(qav.pid(), L"請選取要還原的 QAV 檔案：");
  ASSERT_TRUE(open) << "the restore command stayed refused after the pack";
  ASSERT_TRUE(wd::click(open, IDCANCEL));
  EXPECT_TRUE(wd::waitWindowGone(open));
  // A cancelled choice is stored too, as an empty folder.
  EXPECT_TRUE(wd::waitUntil([] { return setting(L"Dialog", L"解包資料夾") == L""; }))
      << wd::narrow(setting(L"Dialog", L"解包資料夾").value_or(L"(none)"));
  closeAndSeeEnd(qav, main);
  e2e::removeTree(folder);
}

}  // namespace
