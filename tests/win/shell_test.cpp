// Special folders, shortcut files, the folder picker and the window raiser.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "folders_win.h"
#include "helpers_util.h"
#include "program_info_win.h"
#include "shell_win.h"
#include "text_win.h"

namespace {

using namespace helpers_test;
using namespace qav::win;

TEST(SpecialFolders, KnownKeysGiveDistinctExistingFolders) {
  std::set<std::u16string> seen;
  for (const char16_t* key : {u"Desktop", u"Programs", u"Startup", u"SendTo", u"Templates"}) {
    const std::u16string folder = GetSpecialFolder(key);
    SCOPED_TRACE(narrow(key) + " -> " + narrow(folder));
    ASSERT_GT(folder.size(), 3u);
    EXPECT_EQ(folder.back(), u'\\');
    EXPECT_NE(folder[folder.size() - 2], u'\\');
    EXPECT_TRUE(isFolder(folder));
    EXPECT_TRUE(seen.insert(folder).second) << "same folder as another key";
  }
  EXPECT_EQ(GetSpecialFolder(u"sendto"), GetSpecialFolder(u"SendTo"));
  EXPECT_EQ(GetSpecialFolder(u"NoSuchFolder"), u"\\");
  EXPECT_EQ(GetSpecialFolder(u""), u"\\");
}

TEST(SystemRoot, IsTheSystemFolderWithoutTrailingBackslash) {
  const std::u16string root = GetSystemRoot();
  ASSERT_GT(root.size(), 3u);
  EXPECT_NE(root.back(), u'\\');
  EXPECT_TRUE(exists(root + u"\\kernel32.dll"));
}

// What a shortcut file holds, read back through the shell.
struct LinkInfo {
  std::u16string target, arguments, workingFolder, iconPath;
  int iconIndex = -1, showCmd = -1;
  bool loaded = false;
};

LinkInfo readLink(const std::u16string& file) {
  LinkInfo info;
  IShellLinkW* link = nullptr;
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
      SUCCEEDED(persist->Load(W(file), STGM_READ))) {
    wchar_t buf[MAX_PATH] = {};
    link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH);
    info.target = U(buf);
    buf[0] = 0;
    link->GetArguments(buf, MAX_PATH);
    info.arguments = U(buf);
    buf[0] = 0;
    link->GetWorkingDirectory(buf, MAX_PATH);
    info.workingFolder = U(buf);
    buf[0] = 0;
    link->GetIconLocation(buf, MAX_PATH, &info.iconIndex);
    info.iconPath = U(buf);
    link->GetShowCmd(&info.showCmd);
    info.loaded = true;
  }
  if (persist) persist->Release();
  if (link) link->Release();
  return info;
}

class Shortcuts : public ::testing::Test {
 protected:
  static constexpr const char16_t* kName = u"QAV捷徑測試";
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (const char16_t* key : {u"SendTo", u"Desktop"})
      DeleteFileW(W(GetSpecialFolder(key) + kName + u".lnk"));
  }
  void TearDown() override {
    for (const char16_t* key : {u"SendTo", u"Desktop"})
      DeleteFileW(W(GetSpecialFolder(key) + kName + u".lnk"));
    CoUninitialize();
  }
};

TEST_F(Shortcuts, MadeInTheFolderAndReplacedWhenMadeAgain) {
  const std::u16string exe = modulePath(), folder = moduleFolder() + u"\\";
  const std::u16string system = GetSystemRoot();
  const struct {
    std::u16string target, workingFolder, iconLocation, iconPath;
    int iconIndex;
  } rounds[] = {
      {exe, folder, folder + u"MAIN_ICON.ico", folder + u"MAIN_ICON.ico", 0},
      // Made again: every field of the first round is replaced.
      {system + u"\\notepad.exe", system, exe + u",7", exe, 7},
  };
  for (const char16_t* key : {u"SendTo", u"Desktop"}) {
    const std::u16string file = GetSpecialFolder(key) + kName + u".lnk";
    for (const auto& r : rounds) {
      SCOPED_TRACE(narrow(key) + " " + narrow(r.target));
      ASSERT_FALSE(建立捷徑(key, kName, r.target, r.workingFolder, r.iconLocation));
      const LinkInfo link = readLink(file);
      ASSERT_TRUE(link.loaded);
      EXPECT_EQ(link.target, r.target);
      EXPECT_EQ(link.arguments, u"");
      EXPECT_EQ(link.workingFolder, r.workingFolder);
      EXPECT_EQ(link.iconPath, r.iconPath);
      EXPECT_EQ(link.iconIndex, r.iconIndex);
      EXPECT_EQ(link.showCmd, SW_SHOWNORMAL);
    }
  }
}

TEST_F(Shortcuts, FolderKeyThatNamesNoFolderFails) {
  EXPECT_TRUE(建立捷徑(u"NoSuchFolder", kName, modulePath(), moduleFolder(), u""));
  EXPECT_FALSE(exists(u"\\" + std::u16string(kName) + u".lnk"));
}

// A top-level window of this thread to own the picker or to be raised.
HWND makeWindow(const wchar_t* caption, int x) {
  return CreateWindowExW(0, L"STATIC", caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, 100, 300,
                         200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Answers the folder picker that the calling thread is about to show: waits
// for it, optionally selects a folder (a path, or a shell item), and presses
// the button. Records who owns it.
class PickerAnswer {
 public:
  PickerAnswer(int button, std::u16string select = u"", PCIDLIST_ABSOLUTE selectItem = nullptr)
      : thread_(GetCurrentThreadId()), button_(button), select_(std::move(select)),
        selectItem_(selectItem), worker_([this] { run(); }) {}
  ~PickerAnswer() { worker_.join(); }
  HWND dialog() const { return dialog_; }
  HWND owner() const { return owner_; }

 private:
  static BOOL CALLBACK find(HWND w, LPARAM p) {
    wchar_t cls[32] = {};
    GetClassNameW(w, cls, 32);
    if (lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(w)) {
      *reinterpret_cast<HWND*>(p) = w;
      return FALSE;
    }
    return TRUE;
  }
  void run() {
    for (int i = 0; i < 400 && !dialog_; ++i) {
      Sleep(25);
      HWND found = nullptr;
      EnumThreadWindows(thread_, find, reinterpret_cast<LPARAM>(&found));
      dialog_ = found;
    }
    if (!dialog_) return;
    Sleep(200);  // let the tree fill
    owner_ = GetWindow(dialog_, GW_OWNER);
    if (!select_.empty())
      SendMessageW(dialog_, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(W(select_)));
    if (selectItem_) SendMessageW(dialog_, BFFM_SETSELECTIONW, FALSE,
                                  reinterpret_cast<LPARAM>(selectItem_));
    PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
  }
  DWORD thread_;
  int button_;
  std::u16string select_;
  PCIDLIST_ABSOLUTE selectItem_;
  std::atomic<HWND> dialog_{nullptr};
  HWND owner_ = nullptr;
  std::thread worker_;
};

class Picker : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = makeWindow(L"picker owner", 50);
    scratch_ = currentFolder() + u"\\picker_scratch";
    removeTree(scratch_);
    CreateDirectoryW(W(scratch_), nullptr);
  }
  void TearDown() override {
    DestroyWindow(owner_);
    removeTree(scratch_);
  }
  static constexpr UINT kFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX;  // 0x50, as the program asks
  HWND owner_ = nullptr;
  std::u16string scratch_;
};

TEST_F(Picker, ChosenFolderEndsWithBackslashAndPickerIsOwned) {
  std::u16string chosen;
  HWND dialogOwner = nullptr;
  {
    PickerAnswer answer(IDOK, scratch_);
    chosen = BrowseFolder(owner_, u"請選擇要另存資料夾", CSIDL_DESKTOP, kFlags);
    dialogOwner = answer.owner();
    ASSERT_NE(answer.dialog(), nullptr) << "no picker was shown";
  }
  EXPECT_EQ(lowerCase(chosen), lowerCase(scratch_ + u"\\"));
  EXPECT_EQ(dialogOwner, owner_);
}

TEST_F(Picker, CancelAndNonFileSystemItemGiveEmptyText) {
  {
    PickerAnswer answer(IDCANCEL, scratch_);
    EXPECT_EQ(BrowseFolder(owner_, u"取消", CSIDL_DESKTOP, kFlags), u"");
  }
  PIDLIST_ABSOLUTE computer = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
  {
    PickerAnswer answer(IDOK, u"", computer);
    EXPECT_EQ(BrowseFolder(owner_, u"我的電腦", CSIDL_DESKTOP, kFlags), u"");
  }
  CoTaskMemFree(computer);
}

// True when window a is above window b in the z-order.
bool above(HWND a, HWND b) {
  for (HWND w = GetWindow(b, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
    if (w == a) return true;
  return false;
}

TEST(RaiseWindow, PutsTheWindowOnTopWhereItWas) {
  HWND a = makeWindow(L"raise a", 100), b = makeWindow(L"raise b", 200);
  ASSERT_TRUE(a && b);
  RECT before{}, after{};
  GetWindowRect(a, &before);
  ASSERT_TRUE(above(b, a));
  RaiseWindow(a);
  EXPECT_TRUE(above(a, b));
  GetWindowRect(a, &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  DestroyWindow(a);
  DestroyWindow(b);
}

}  // namespace
