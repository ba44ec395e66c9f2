// Folder creation, file times and icon files written from resources, in
// scratch folders under the test's working folder.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>


#include "filetimes_win.h"
#include "folders_win.h"
#include "helpers_util.h"
#include "icons_win.h"
#include "program_info_win.h"
#include "text_win.h"

namespace {

using namespace helpers_test;
using namespace qav::win;

class Scratch : public ::testing::Test {
 protected:
  void SetUp() override {
    start_ = currentFolder();
    root_ = start_ + u"\\" + ascii(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
            u"_scratch";
    removeTree(root_);
    ASSERT_TRUE(CreateDirectoryW(W(root_), nullptr));
  }
  void TearDown() override {
    SetCurrentDirectoryW(W(start_));
    removeTree(root_);
  }
  std::u16string start_, root_;
};

using NewFolder = Scratch;

TEST_F(NewFolder, CreatesMissingLevelsOnlyAndKeepsTheCurrentFolder) {
  ASSERT_TRUE(CreateDirectoryW(W(root_ + u"\\有"), nullptr));
  ASSERT_TRUE(CreateDirectoryW(W(root_ + u"\\有\\層"), nullptr));
  const std::u16string upperRoot = [&] {
    std::u16string s = root_;
    for (auto& c : s)
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return s;
  }();
  const struct {
    std::u16string path;
    bool result;
    std::u16string mustExist, mustNotExist;
  } cases[] = {
      {root_ + u"\\新\\b\\c\\", true, root_ + u"\\新\\b\\c", u""},
      {root_ + u"\\有\\層\\", true, root_ + u"\\有\\層", u""},             // exists: nothing made
      {upperRoot + u"\\有\\層\\", true, root_ + u"\\有\\層", u""},         // other letter case
      {root_ + u"\\有\\層\\加\\", true, root_ + u"\\有\\層\\加", u""},     // one level below
      {root_ + u"\\d\\in.txt", true, root_ + u"\\d", root_ + u"\\d\\in.txt"},
      {root_ + u"\\\\e\\\\\\f\\", true, root_ + u"\\e\\f", u""},          // doubled "\" read as one
      {start_.substr(0, 2) + u"\\file.txt", true, u"", u""},             // the drive's root
      {u"Q:\\x\\", false, u"", u""},                                      // no such drive
      {u"relative\\x\\", false, u"", currentFolder() + u"\\relative"},
      {u"\\\\server\\share\\x\\", false, u"", u""},
  };
  ASSERT_EQ(GetDriveTypeW(L"Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR)) << "Q: exists here";
  for (const auto& c : cases) {
    SCOPED_TRACE(narrow(c.path));
    const std::u16string existing = listing(root_ + u"\\有\\層");
    EXPECT_EQ(新建資料夾(c.path), c.result);
    EXPECT_EQ(currentFolder(), start_);
    if (!c.mustExist.empty()) {
      EXPECT_TRUE(isFolder(c.mustExist));
    }
    if (!c.mustNotExist.empty()) {
      EXPECT_FALSE(exists(c.mustNotExist));
    }
    if (c.path == root_ + u"\\有\\層\\") {
      EXPECT_EQ(listing(root_ + u"\\有\\層"), existing);
    }
  }
}

TEST_F(NewFolder, InstallerFormLeavesTheCurrentFolderAtTheCreatedFolder) {
  const struct {
    std::u16string path, folder;
    bool result;
  } cases[] = {
      {root_ + u"\\安裝\\程式\\", root_ + u"\\安裝\\程式", true},
      {root_ + u"\\安裝\\", root_ + u"\\安裝", true},  // exists now
      {root_ + u"\\x\\run.bat", root_ + u"\\x", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(narrow(c.path));
    SetCurrentDirectoryW(W(start_));
    EXPECT_EQ(stub::新建資料夾(c.path), c.result);
    EXPECT_EQ(lowerCase(currentFolder()), lowerCase(c.folder));
  }
  SetCurrentDirectoryW(W(start_));
  EXPECT_FALSE(stub::新建資料夾(u"Q:\\x\\"));
  EXPECT_FALSE(exists(root_ + u"\\x\\run.bat"));
}

using FileTimes = Scratch;

TEST_F(FileTimes, RoundTripIncludingReadOnlyAndOpenFiles) {
  // Distinct times to the 100 ns unit; creation cannot be set under wine and is
  // not checked.
  const uint64_t accessTime = 126'000'000'001'234'567ull, writeTime = 131'000'000'007'654'321ull;
  const std::u16string plain = root_ + u"\\plain.txt", readOnly = root_ + u"\\唯讀.txt",
                       locked = root_ + u"\\locked.txt";
  for (const auto& p : {plain, readOnly, locked}) ASSERT_TRUE(writeAll(p, "data"));
  ASSERT_TRUE(SetFileAttributesW(W(readOnly), FILE_ATTRIBUTE_READONLY));
  // Held open by "another program" that shares nothing. (Wine run as root
  // writes read-only files anyway; the held file shows a write-access open
  // failing under wine too.)
  HANDLE held = CreateFileW(W(locked), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  for (const auto& p : {plain, readOnly, locked}) {
    SCOPED_TRACE(narrow(p));
    EXPECT_TRUE(SetFileTimes(p, accessTime, writeTime, 0));
    uint64_t a = 1, b = 2, c = 3;
    EXPECT_TRUE(GetFileTimes(p, a, b, c));
    EXPECT_EQ(a, accessTime);
    EXPECT_EQ(b, writeTime);
    EXPECT_EQ(c, 3u);  // slot C is not touched
    FILETIME system{};
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(W(p), GetFileExInfoStandard, &data));
    system = data.ftLastWriteTime;
    EXPECT_EQ((uint64_t{system.dwHighDateTime} << 32) | system.dwLowDateTime, writeTime);
  }
  CloseHandle(held);
  EXPECT_EQ(readAll(plain), "data");  // times only, content untouched
}

TEST_F(FileTimes, ReadingAnotherFileAfterwardsGivesItsOwnTimes) {
  // A packing run reads file after file into the same slots: a file that is
  // open elsewhere must give its own times, not keep the previous file's.
  const std::u16string first = root_ + u"\\first.txt", busy = root_ + u"\\busy.log";
  ASSERT_TRUE(writeAll(first, "1"));
  ASSERT_TRUE(writeAll(busy, "2"));
  ASSERT_TRUE(SetFileTimes(first, 120'000'000'000'000'000ull, 121'000'000'000'000'000ull, 0));
  ASSERT_TRUE(SetFileTimes(busy, 125'000'000'000'000'000ull, 126'000'000'000'000'000ull, 0));
  HANDLE held = CreateFileW(W(busy), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  uint64_t a = 0, b = 0, c = 0;
  ASSERT_TRUE(GetFileTimes(first, a, b, c));
  EXPECT_TRUE(GetFileTimes(busy, a, b, c));
  EXPECT_EQ(a, 125'000'000'000'000'000ull);
  EXPECT_EQ(b, 126'000'000'000'000'000ull);
  CloseHandle(held);
  // A missing file says so and leaves the slots alone.
  EXPECT_FALSE(GetFileTimes(root_ + u"\\missing.txt", a, b, c));
  EXPECT_EQ(b, 126'000'000'000'000'000ull);
  EXPECT_FALSE(SetFileTimes(root_ + u"\\missing.txt", a, b, c));
}

// ---- icon files ---------------------------------------------------------------

std::string generatedIcon(const char* linuxPath) {
  std::u16string path = u"Z:" + ascii(linuxPath);
  for (auto& c : path)
    if (c == u'/') c = u'\\';
  return readAll(path);
}

// Binary contents: compared without printing them.
::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual.size() << " bytes differ from the expected "
                                       << expected.size() << " bytes";
}

class IconFiles : public Scratch {
 protected:
  void SetUp() override {
    Scratch::SetUp();
    removeIcons();
  }
  void TearDown() override {
    removeIcons();
    Scratch::TearDown();
  }
  static void removeIcons() {
    for (const char16_t* name : {u"MAIN_ICON.ico", u"cmd.ico", u"NOPE.ico"})
      removeTree(moduleFolder() + u"\\" + name);
  }
};

TEST_F(IconFiles, WrittenIntoTheProgramFolderReplacingAnOlderFile) {
  const std::u16string mainIcon = moduleFolder() + u"\\MAIN_ICON.ico";
  ASSERT_TRUE(writeAll(mainIcon, std::string(20000, 'x')));  // older and longer
  const std::string expectedMain = generatedIcon(QAV_ICON_MAIN);
  ASSERT_EQ(expectedMain.size(), 10134u);

  const struct {
    const char16_t* type;
    std::u16string path;
    std::string bytes;
  } cases[] = {
      {u"MAIN_ICON", mainIcon, expectedMain},
      {u"cmd", moduleFolder() + u"\\cmd.ico", generatedIcon(QAV_ICON_CMD)},  // any letter case
      {u"NOPE", u"", ""},                                                    // no such resource
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(narrow(c.type));
    EXPECT_EQ(解出圖示(c.type), c.path);
    if (!c.path.empty()) {
      EXPECT_TRUE(sameBytes(readAll(c.path), c.bytes));
    }
  }
  EXPECT_FALSE(exists(moduleFolder() + u"\\NOPE.ico"));
  EXPECT_EQ(readAll(mainIcon).size(), 10134u);
}

TEST_F(IconFiles, FallsBackToTheUsersFolderWhenTheProgramFolderIsShut) {
  // A folder in the way of the icon file stands for a program folder the user
  // may not write (a read-only file would not do: wine run as root writes it).
  const std::u16string blocked = moduleFolder() + u"\\MAIN_ICON.ico";
  ASSERT_TRUE(CreateDirectoryW(W(blocked), nullptr));
  wchar_t local[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local), S_OK);
  const std::u16string expected = U(local) + u"\\QAV\\MAIN_ICON.ico";
  DeleteFileW(W(expected));

  EXPECT_EQ(解出圖示(u"MAIN_ICON"), expected);
  EXPECT_TRUE(sameBytes(readAll(expected), generatedIcon(QAV_ICON_MAIN)));
  EXPECT_TRUE(isFolder(blocked));
  DeleteFileW(W(expected));
}

TEST_F(IconFiles, InstallerFormWritesIntoTheCurrentFolder) {
  ASSERT_TRUE(SetCurrentDirectoryW(W(root_)));
  ASSERT_TRUE(writeAll(root_ + u"\\CMD.ico", std::string(5000, 'x')));
  EXPECT_TRUE(stub::解出圖示(u"CMD"));
  EXPECT_TRUE(sameBytes(readAll(root_ + u"\\CMD.ico"), generatedIcon(QAV_ICON_CMD)));
  EXPECT_FALSE(stub::解出圖示(u"NOPE"));
  EXPECT_FALSE(exists(root_ + u"\\NOPE.ico"));
}

}  // namespace
