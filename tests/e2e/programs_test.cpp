// The three programs start under wine, show their first window and end when
// it is closed or answered.
#include "e2e_util.h"
#include "windriver.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "archive.h"

namespace wd = windriver;

namespace {

const std::wstring kShots = wd::windowsPath(QAV_SCREENSHOTS);

// Starts a program bare; fails the test when it cannot be started.
wd::Process startBare(const char* path) {
  wd::Process p = wd::Process::start(wd::windowsPath(path));
  EXPECT_TRUE(p.started()) << wd::narrow(p.error());
  return p;
}

// Shows the window `caption`, closes it and sees the process end.
[[maybe_unused]] void showsWindowAndCloses(const char* path, const std::wstring& caption, const wchar_t* shot) {
  wd::Process app = startBare(path);
  ASSERT_TRUE(app.started());
  wd::WindowQuery q;
  q.caption = caption;
  q.pid = app.pid();
  HWND w = wd::waitForWindow(q);
  if (!w) wd::saveScreenshot(kShots + L"\\failed_" + shot);
  ASSERT_NE(w, nullptr) << "no window '" << wd::narrow(caption) << "'"
                        << (app.running() ? "" : " (the program has ended)") << "; windows:\n"
                        << wd::describeWindows();
  EXPECT_TRUE(wd::saveScreenshot(kShots + L"\\" + shot));
  ASSERT_TRUE(wd::close(w));
  EXPECT_TRUE(wd::waitWindowGone(w));
  EXPECT_TRUE(app.waitExit().has_value()) << "still running after its window closed";
}

TEST(Programs, QavShowsMainWindowAndEndsWhenClosed) {
#ifdef QAV_EXE
  // Two ASCII spaces before "by"; an ideographic space inside the name.
  showsWindowAndCloses(QAV_EXE, L"集裝檔(QAV) v4.4.13  by 白\u3000岩 (Zo7)", L"qav_main.png");
#else
  GTEST_SKIP() << "target qav is not built";
#endif
}

TEST(Programs, StubAloneReportsBadFormatAndEndsOnOk) {
#ifdef QAVSTUB_EXE
  wd::Process stub = startBare(QAVSTUB_EXE);
  ASSERT_TRUE(stub.started());
  auto box = wd::waitForMessageBox(stub.pid(), L"程式執行失敗");
  if (!box) wd::saveScreenshot(kShots + L"\\failed_qavstub_bare.png");
  ASSERT_TRUE(box) << (stub.running() ? "" : "the stub has ended; ") << "windows:\n"
                   << wd::describeWindows();
  EXPECT_EQ(box->text, L"檔案格式不正確！程式結束。");
  EXPECT_TRUE(wd::saveScreenshot(kShots + L"\\qavstub_bare.png"));
  ASSERT_TRUE(wd::answerMessageBox(box->hwnd, IDOK));
  EXPECT_TRUE(stub.waitExit().has_value()) << "still running after OK";
#else
  GTEST_SKIP() << "target qavstub is not built";
#endif
}

TEST(Programs, StubRunsWithAnArchiveWrittenOverItsLastByte) {
#ifdef QAVSTUB_EXE
  const std::string stub = e2e::readFile(wd::windowsPath(QAVSTUB_EXE));
  ASSERT_EQ(stub.size(), qav::kStubSize);
  EXPECT_EQ(stub.back(), '\0');

  qav::ArchiveHeader header;
  header.magic = u"QAV";
  header.versionMajor = 4;
  header.versionMinor = 4;
  header.versionRevision = 13;
  header.outputKind = 1;
  ASSERT_TRUE(qav::appendEntry(header.entries, u"hello.txt", 3, 0, 0).ok());
  qav::StringOutStream out;
  out.str() = stub.substr(0, qav::kArchiveOffset);
  ASSERT_TRUE(qav::writeHeader(out, header).ok());
  out.str() += "abc";
  {
    std::ofstream f("container_self.exe", std::ios::binary | std::ios::trunc);
    f << out.str();
  }

  wd::Process run = wd::Process::start(L"container_self.exe");
  ASSERT_TRUE(run.started()) << wd::narrow(run.error());
  auto exitCode = run.waitExit();
  EXPECT_FALSE(wd::findMessageBox(run.pid())) << "the stub complained about a good archive";
  ASSERT_TRUE(exitCode.has_value()) << "the stub did not end; windows:\n" << wd::describeWindows();
  EXPECT_EQ(*exitCode, 0u);
#else
  GTEST_SKIP() << "target qavstub is not built";
#endif
}

TEST(Programs, StubGivenAnyArgumentEndsAtOnce) {
#ifdef QAVSTUB_EXE
  wd::Process run = wd::Process::start(wd::windowsPath(QAVSTUB_EXE), {L"C:\\dropped.txt"});
  ASSERT_TRUE(run.started()) << wd::narrow(run.error());
  auto exitCode = run.waitExit();
  ASSERT_TRUE(exitCode.has_value());
  EXPECT_EQ(*exitCode, 0u);
#else
  GTEST_SKIP() << "target qavstub is not built";
#endif
}

TEST(Programs, QavCarriesTheBuiltStubAsItsResource) {
#if defined(QAV_EXE) && defined(QAVSTUB_EXE)
  HMODULE qav = LoadLibraryExW(wd::windowsPath(QAV_EXE).c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(qav, nullptr);
  HRSRC res = FindResourceW(qav, MAKEINTRESOURCEW(101), L"QAV");
  ASSERT_NE(res, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(qav, res)));
  const std::string carried(bytes, SizeofResource(qav, res));
  FreeLibrary(qav);
  EXPECT_TRUE(carried == e2e::readFile(wd::windowsPath(QAVSTUB_EXE)));
  EXPECT_EQ(carried.size(), qav::kStubSize);
#else
  GTEST_SKIP() << "targets qav and qavstub are not built";
#endif
}

TEST(Programs, StartShowsItsWindowAndEndsWhenClosed) {
#ifdef START_EXE
  showsWindowAndCloses(START_EXE, L"QAV 更新程式", L"start_bare.png");
#else
  GTEST_SKIP() << "target Start is not built";
#endif
}

}  // namespace
