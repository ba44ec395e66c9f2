// The main window's file list and pack, driven in-process through the same
// code as qav.exe (the library qavapp with qav's resources). Message boxes are
// answered from a second thread, as a user would answer them.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <future>
#include <iterator>
#include <string>

#include "archive.h"
#include "frmQAVMain.h"
#include "resource.h"
#include "settings_win.h"
#include "windriver.h"

namespace wd = windriver;
using qav::app::MainWindow;

namespace {

std::u16string U(const std::wstring& s) { return reinterpret_cast<const char16_t*>(s.c_str()); }
std::wstring W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

std::string readFile(const std::u16string& path) {
  std::ifstream in(W(path).c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void writeFile(const std::u16string& path, const std::string& bytes) {
  std::ofstream out(W(path).c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
}
// Files in `folder` whose name ends with ".tmp": what a failed pack must not leave.
int temporaryFiles(const std::u16string& folder) {
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((W(folder) + L"*.tmp").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do ++n; while (FindNextFileW(h, &found));
  FindClose(h);
  return n;
}
std::u16string absolute(const std::wstring& relative) {
  wchar_t full[MAX_PATH];
  GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
  return U(full);
}

std::string stubImage() {
  HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_STUB_IMAGE), L"QAV");
  return std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, res))),
                     SizeofResource(nullptr, res));
}

// Answers the next "錯誤報告" box of this process with OK and hands back its text.
std::future<std::wstring> answerErrorBox() {
  return std::async(std::launch::async, [] {
    auto box = wd::waitForMessageBox(GetCurrentProcessId(), L"錯誤報告", wd::Millis(10000));
    if (!box) return std::wstring(L"(no message box)");
    wd::answerMessageBox(box->hwnd, IDOK);
    return box->text;
  });
}

class QavWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    MainWindow& main = MainWindow::instance();
    if (!main.hwnd()) {
      ASSERT_TRUE(main.create(GetModuleHandleW(nullptr)));
      ShowWindow(main.hwnd(), SW_SHOW);
    }
  }

  void SetUp() override {
    folder_ = absolute(L"qav_window_files") + u"\\";
    CreateDirectoryW(W(folder_).c_str(), nullptr);
    writeFile(folder_ + u"a.txt", "abc");
    writeFile(folder_ + u"b.bin", std::string(524289, 'b'));  // two chunks
    writeFile(folder_ + u"empty.dat", "");
  }

  int listThree() {
    std::u16string selection = folder_;
    for (const char16_t* name : {u"a.txt", u"b.bin", u"empty.dat"}) {
      selection += u'\0';
      selection += name;
    }
    return MainWindow::instance().設定檔案資料(selection);
  }

  std::u16string folder_;
};

std::u16string labelText(int id) {
  wchar_t buf[1024] = {};
  GetDlgItemTextW(MainWindow::instance().hwnd(), id, buf, 1024);
  return U(buf);
}
int barPos(int id) {
  return static_cast<int>(
      SendMessageW(GetDlgItem(MainWindow::instance().hwnd(), id), PBM_GETPOS, 0, 0));
}

TEST_F(QavWindow, PackWritesWhatTheCoreWriterGivesBehindTheStubForExe) {
  MainWindow& main = MainWindow::instance();
  ASSERT_EQ(listThree(), 3);
  EXPECT_EQ(main.defaultBaseName, u"a");
  EXPECT_EQ(qav::win::GetProgramSetting(u"Dialog", u"打包資料夾", u""), folder_);

  const std::string data = "abc" + std::string(524289, 'b');
  qav::StringOutStream record;
  ASSERT_TRUE(qav::writeHeader(record, main.header).ok());
  const std::string stub = stubImage();
  ASSERT_EQ(stub.size(), qav::kStubSize);

  struct Case {
    std::u16string name;
    std::string expected;
  };
  const Case cases[] = {
      {u"out_qav.qav", record.str() + data},
      {u"out_self.EXE", stub.substr(0, qav::kArchiveOffset) + record.str() + data},
  };
  for (const Case& c : cases) {
    writeFile(folder_ + c.name, "an older and longer output that must be replaced entirely");
    ASSERT_TRUE(main.存成集裝檔(folder_ + c.name, 512));
    EXPECT_TRUE(readFile(folder_ + c.name) == c.expected) << "bytes of " << wd::narrow(W(c.name));
    EXPECT_EQ(labelText(IDC_LABEL2), u"正在處理第 3 個檔案..");
    EXPECT_EQ(labelText(IDC_LABEL1), u"作業完成！共加入了 3 個檔案。");
    EXPECT_EQ(labelText(IDC_OUTPUT), folder_ + c.name);
    EXPECT_EQ(barPos(IDC_PICTURE1), 100);
    EXPECT_EQ(barPos(IDC_PICTURE2), 100);
  }
  EXPECT_EQ(temporaryFiles(folder_), 0);
}

TEST_F(QavWindow, FailedPackNamesTheFileAndKeepsThePreviousOutput) {
  MainWindow& main = MainWindow::instance();
  struct Case {
    const char* what;
    std::u16string output;        // relative to the folder
    void (*afterListing)(const std::u16string& folder);
    std::wstring named;           // the message names this file
  };
  const Case cases[] = {
      {"output is a source", u"a.txt", nullptr, L"a.txt"},
      {"a source vanished", u"out_qav.qav",
       [](const std::u16string& f) { DeleteFileW(W(f + u"b.bin").c_str()); }, L"b.bin"},
      {"a source grew", u"out_qav.qav",
       [](const std::u16string& f) { writeFile(f + u"a.txt", "abcd"); }, L"a.txt"},
      {"the target folder cannot be written", u"missing folder\\out_qav.qav", nullptr,
       L"out_qav.qav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    writeFile(folder_ + u"out_qav.qav", "previous archive");
    ASSERT_EQ(listThree(), 3);
    if (c.afterListing) c.afterListing(folder_);
    const std::string aBefore = readFile(folder_ + u"a.txt");

    auto message = answerErrorBox();
    EXPECT_FALSE(main.存成集裝檔(folder_ + c.output, 512));
    const std::wstring text = message.get();
    EXPECT_NE(text.find(c.named), std::wstring::npos) << wd::narrow(text);
    EXPECT_EQ(readFile(folder_ + u"out_qav.qav"), "previous archive");
    EXPECT_EQ(readFile(folder_ + u"a.txt"), aBefore);
    EXPECT_EQ(temporaryFiles(folder_), 0);
  }
}

TEST_F(QavWindow, FileListShapesAndRefusals) {
  MainWindow& main = MainWindow::instance();
  writeFile(folder_ + u"a.b.txt", "x");
  // One full path: one entry, the name without its last extension proposed.
  ASSERT_EQ(main.設定檔案資料(folder_ + u"a.b.txt"), 1);
  EXPECT_EQ(main.defaultBaseName, u"a.b");
  ASSERT_EQ(main.header.entries.size(), 1u);
  EXPECT_EQ(main.header.entries[0].name, u"a.b.txt");
  EXPECT_EQ(main.sourceFolder, folder_);

  // A second, longer then shorter selection leaves exactly the new entries.
  ASSERT_EQ(listThree(), 3);
  ASSERT_EQ(main.設定檔案資料(folder_ + u"a.txt"), 1);
  EXPECT_EQ(main.header.entries.size(), 1u);

  // A file that is not there is reported by name, not listed with a made-up size.
  std::u16string selection = folder_ + u'\0' + u"a.txt" + u'\0' + u"gone.txt";
  auto message = answerErrorBox();
  EXPECT_EQ(main.設定檔案資料(selection), 0);
  EXPECT_NE(message.get().find(L"gone.txt"), std::wstring::npos);
}

}  // namespace
