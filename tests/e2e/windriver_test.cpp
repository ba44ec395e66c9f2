// The window driver against its fixture program, and its PNG encoder.
#include "windriver.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace wd = windriver;
using namespace std::chrono_literals;

namespace {

const std::wstring kFixture = wd::windowsPath(QAV_DRIVER_FIXTURE);
const std::wstring kShots = wd::windowsPath(QAV_SCREENSHOTS);

// ---- PNG ------------------------------------------------------------------

std::uint32_t be32(const std::vector<std::uint8_t>& b, size_t at) {
  return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 |
         std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

struct Chunk {
  std::string type;
  std::vector<std::uint8_t> body;
};

// Splits a PNG into chunks, checking every chunk's CRC.
std::vector<Chunk> readChunks(const std::vector<std::uint8_t>& png) {
  static const std::uint8_t sig[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<Chunk> out;
  EXPECT_TRUE(png.size() >= 8 && std::equal(sig, sig + 8, png.begin()));
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const size_t len = be32(png, at);
    EXPECT_LE(at + 12 + len, png.size());
    if (at + 12 + len > png.size()) break;
    EXPECT_EQ(be32(png, at + 8 + len), wd::crc32(png.data() + at + 4, len + 4));
    out.push_back({std::string(png.begin() + at + 4, png.begin() + at + 8),
                   std::vector<std::uint8_t>(png.begin() + at + 8, png.begin() + at + 8 + len)});
    at += 12 + len;
  }
  EXPECT_EQ(at, png.size());
  return out;
}

// Undoes a zlib stream of stored blocks, checking lengths, final flag and Adler-32.
std::vector<std::uint8_t> unstore(const std::vector<std::uint8_t>& z) {
  std::vector<std::uint8_t> out;
  EXPECT_EQ((z[0] << 8 | z[1]) % 31, 0);  // zlib header check bits
  EXPECT_EQ(z[0] & 0x0F, 8);               // deflate
  size_t at = 2;
  for (bool last = false; !last;) {
    last = z.at(at) & 1;
    EXPECT_EQ(z[at] >> 1, 0) << "stored block expected";
    const unsigned len = z.at(at + 1) | z.at(at + 2) << 8;
    const unsigned nlen = z.at(at + 3) | z.at(at + 4) << 8;
    EXPECT_EQ(len ^ 0xFFFF, nlen);
    out.insert(out.end(), z.begin() + at + 5, z.begin() + at + 5 + len);
    at += 5 + len;
  }
  EXPECT_EQ(at + 4, z.size());
  EXPECT_EQ(be32(z, at), wd::adler32(out.data(), out.size()));
  return out;
}

TEST(DriverPng, ChecksumsMatchKnownValues) {
  const std::string digits = "123456789", wiki = "Wikipedia";
  auto bytes = [](const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); };
  EXPECT_EQ(wd::crc32(bytes(digits), digits.size()), 0xCBF43926u);
  EXPECT_EQ(wd::crc32(bytes(digits) + 4, 5, wd::crc32(bytes(digits), 4)), 0xCBF43926u);
  EXPECT_EQ(wd::adler32(bytes(wiki), wiki.size()), 0x11E60398u);
}

TEST(DriverPng, RoundTripsPixelsThroughStoredBlocks) {
  // Sizes chosen around the 65535-byte block limit: (3w+1)*h = 65535 and 65536.
  const struct {
    int w, h;
  } sizes[] = {{1, 1}, {3, 2}, {28, 771}, {85, 256}, {200, 150}};
  for (auto s : sizes) {
    SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
    std::vector<std::uint8_t> rgb(size_t(s.w) * s.h * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = std::uint8_t(i * 7 + i / 251);
    auto chunks = readChunks(wd::encodePng(s.w, s.h, rgb.data()));
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(be32(chunks[0].body, 0), unsigned(s.w));
    EXPECT_EQ(be32(chunks[0].body, 4), unsigned(s.h));
    EXPECT_EQ(std::vector<std::uint8_t>(chunks[0].body.begin() + 8, chunks[0].body.end()),
              (std::vector<std::uint8_t>{8, 2, 0, 0, 0}));
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(chunks[2].type, "IEND");
    auto raw = unstore(chunks[1].body);
    ASSERT_EQ(raw.size(), (size_t(s.w) * 3 + 1) * s.h);
    for (int y = 0; y < s.h; ++y) {
      const size_t row = (size_t(s.w) * 3 + 1) * y;
      ASSERT_EQ(raw[row], 0) << "filter byte of row " << y;
      ASSERT_TRUE(std::equal(raw.begin() + row + 1, raw.begin() + row + 1 + s.w * 3,
                             rgb.begin() + size_t(s.w) * 3 * y))
          << "row " << y;
    }
  }
}

// ---- texts and paths ------------------------------------------------------

TEST(DriverPaths, LinuxPathsBecomeDriveZ) {
  const struct {
    const char* in;
    const wchar_t* out;
  } cases[] = {
      {"/work/a b/x.exe", L"Z:\\work\\a b\\x.exe"},
      {"/tmp/中文/檔.exe", L"Z:\\tmp\\中文\\檔.exe"},
      {"C:/users/x", L"C:\\users\\x"},
      {"C:\\users\\x", L"C:\\users\\x"},
      {"\\\\server\\share\\f", L"\\\\server\\share\\f"},
  };
  for (auto c : cases) EXPECT_EQ(wd::windowsPath(c.in), c.out) << c.in;
}

TEST(DriverArguments, QuotedArgumentsSplitBackUnchanged) {
  const std::wstring args[] = {L"plain", L"", L"two words", L"say \"hi\"", L"end\\",
                               L"dir with space\\", L"a\\\\\"b", L"中文 參數", L"\t"};
  for (const auto& a : args) {
    std::wstring line = L"prog.exe " + wd::quoteArgument(a);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &argc);
    ASSERT_NE(argv, nullptr);
    EXPECT_EQ(argc, 2) << wd::narrow(line);
    if (argc == 2) {
      EXPECT_EQ(std::wstring(argv[1]), a) << wd::narrow(line);
    }
    LocalFree(argv);
  }
}

// ---- the fixture program --------------------------------------------------

class DriverFixture : public ::testing::Test {
 protected:
  // Starts the fixture with `caption` and waits for its window.
  HWND startFixture(const std::wstring& caption) {
    app_ = wd::Process::start(kFixture, {caption});
    EXPECT_TRUE(app_.started()) << wd::narrow(app_.error());
    wd::WindowQuery q;
    q.caption = caption;
    q.pid = app_.pid();
    HWND w = wd::waitForWindow(q);
    EXPECT_NE(w, nullptr) << "no window '" << wd::narrow(caption) << "'; windows:\n"
                          << wd::describeWindows();
    return w;
  }

  wd::Process app_;
};

TEST_F(DriverFixture, FindsWindowByCaptionAndListsControls) {
  // Spaces and quotes in the caption also check the argument quoting.
  HWND w = startFixture(L"驅動 測試 \"甲\"");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(wd::waitForWindowPrefix(L"驅動 測試", 1s), w);
  EXPECT_EQ(wd::waitForWindow(L"驅動 測試", 200ms), nullptr) << "exact match needs the whole caption";

  auto list = wd::controls(w);
  ASSERT_GE(list.size(), 4u) << wd::describeControls(w);
  auto find = [&](int id) {
    for (const auto& c : list)
      if (c.id == id) return c;
    return wd::Control{};
  };
  EXPECT_EQ(find(100).text, L"就緒");
  EXPECT_EQ(find(100).className, L"Static");
  EXPECT_EQ(find(101).className, L"Edit");
  EXPECT_EQ(find(102).text, L"確定(&O)");
  EXPECT_EQ(find(103).className, L"msctls_progress32");
  EXPECT_EQ(wd::controlByText(w, L"確定(&O)", L"button"), wd::control(w, 102));
}

TEST_F(DriverFixture, SetsTextPressesButtonAndAnswersTheModalBox) {
  HWND w = startFixture(L"驅動測試：按鈕");
  ASSERT_NE(w, nullptr);
  HWND label = wd::control(w, 100);
  ASSERT_TRUE(wd::setText(wd::control(w, 101), L"中文字 abc"));
  EXPECT_EQ(wd::text(wd::control(w, 101)), L"中文字 abc");

  const struct {
    int answer;
    const wchar_t* label;
  } answers[] = {{IDNO, L"否"}, {IDYES, L"是"}};
  for (auto a : answers) {
    ASSERT_TRUE(wd::click(w, 102));
    auto box = wd::waitForMessageBox(app_.pid(), L"系統詢問");
    ASSERT_TRUE(box) << wd::describeWindows();
    EXPECT_EQ(box->text, L"繼續嗎？");
    EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(wd::text(label), L"中文字 abc") << "the handler runs while the box is open";
    EXPECT_FALSE(wd::answerMessageBox(box->hwnd, IDOK)) << "the box has no OK button";
    ASSERT_TRUE(wd::answerMessageBox(box->hwnd, a.answer));
    EXPECT_TRUE(wd::waitWindowGone(box->hwnd));
    EXPECT_TRUE(wd::waitUntil([&] { return wd::text(label) == a.label; }))
        << wd::narrow(wd::text(label));
  }
}

TEST_F(DriverFixture, MenuCommandsProgressAndExitCode) {
  HWND w = startFixture(L"驅動測試：選單");
  ASSERT_NE(w, nullptr);
  HWND bar = wd::control(w, 103);
  EXPECT_EQ(wd::progressPos(bar), 42);
  ASSERT_TRUE(wd::menuCommand(w, 201));
  EXPECT_TRUE(wd::waitUntil([&] { return wd::progressPos(bar) == 75; }));

  wd::saveWindowScreenshot(w, kShots + L"\\driver_fixture.png");
  ASSERT_TRUE(wd::menuCommand(w, 200));  // 結束: exit code 7
  EXPECT_TRUE(wd::waitWindowGone(w));
  EXPECT_EQ(app_.waitExit(), 7u);
}

TEST_F(DriverFixture, TimeOutsAndLeftovers) {
  HWND w = startFixture(L"驅動測試：逾時");
  ASSERT_NE(w, nullptr);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(wd::waitForWindow(L"沒有這個視窗", 300ms), nullptr);
  EXPECT_FALSE(wd::waitForMessageBox(app_.pid(), {}, 300ms));
  EXPECT_FALSE(app_.waitExit(300ms)) << "still running";
  EXPECT_FALSE(wd::waitWindowGone(w, 300ms));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);

  // Two copies of a program file of its own, ended by name.
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring name = L"kill_me_" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  const std::wstring copy = std::wstring(temp) + name;
  ASSERT_TRUE(CopyFileW(kFixture.c_str(), copy.c_str(), FALSE));
  wd::Process first = wd::Process::start(copy, {L"驅動測試：第一個"});
  wd::Process second = wd::Process::start(copy, {L"驅動測試：第二個"});
  ASSERT_NE(wd::waitForWindow(L"驅動測試：第一個"), nullptr);
  ASSERT_NE(wd::waitForWindow(L"驅動測試：第二個"), nullptr);
  std::wstring upper = name;
  CharUpperW(upper.data());  // names compare in any letter case
  auto ids = wd::processIds(upper);
  std::sort(ids.begin(), ids.end());
  auto expected = std::vector<DWORD>{first.pid(), second.pid()};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ids, expected);
  wd::Process attached = wd::Process::attach(second.pid());
  ASSERT_TRUE(attached.started()) << wd::narrow(attached.error());
  EXPECT_EQ(wd::killProcesses(upper), 2);
  EXPECT_TRUE(first.waitExit(1s));
  EXPECT_EQ(attached.waitExit(1s), 1u) << "ended by killProcesses with exit code 1";
  EXPECT_TRUE(app_.running()) << "another program file of the same window class";
  DeleteFileW(copy.c_str());

  // The destructor ends a program the test left running.
  DWORD pid = 0;
  {
    wd::Process left = wd::Process::start(kFixture, {L"驅動測試：遺留"});
    pid = left.pid();
    ASSERT_NE(wd::waitForWindow(L"驅動測試：遺留"), nullptr);
  }
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (h) {
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    CloseHandle(h);
  }
}

TEST_F(DriverFixture, ClosesAndReportsProcessEnd) {
  HWND w = startFixture(L"驅動測試：關閉");
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(wd::close(w));
  EXPECT_TRUE(wd::waitWindowGone(w));
  EXPECT_EQ(app_.waitExit(), 0u);
  EXPECT_FALSE(wd::Process::start(L"C:\\沒有\\這個.exe").started());
}

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  COLORREF at(int x, int y) const {
    const std::uint8_t* p = rgb.data() + (size_t(y) * width + x) * 3;
    return RGB(p[0], p[1], p[2]);
  }
};

Image readPng(const std::wstring& path) {
  Image img;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << wd::narrow(path);
  if (h == INVALID_HANDLE_VALUE) return img;
  std::vector<std::uint8_t> png(GetFileSize(h, nullptr));
  DWORD got = 0;
  ReadFile(h, png.data(), DWORD(png.size()), &got, nullptr);
  CloseHandle(h);
  auto chunks = readChunks(png);
  if (chunks.size() != 3) return img;
  img.width = int(be32(chunks[0].body, 0));
  img.height = int(be32(chunks[0].body, 4));
  auto raw = unstore(chunks[1].body);
  for (int y = 0; y < img.height; ++y) {
    auto row = raw.begin() + (size_t(img.width) * 3 + 1) * y + 1;
    img.rgb.insert(img.rgb.end(), row, row + img.width * 3);
  }
  return img;
}

TEST_F(DriverFixture, ScreenshotsShowWhatTheScreenShows) {
  HWND w = startFixture(L"驅動測試：截圖");
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(wd::waitUntil([&] { return wd::progressPos(wd::control(w, 103)) == 42; }));
  Sleep(200);  // let the window finish painting

  const std::wstring full = kShots + L"\\driver_desktop.png";
  const std::wstring part = kShots + L"\\driver_window.png";
  ASSERT_TRUE(wd::saveScreenshot(full));
  ASSERT_TRUE(wd::saveWindowScreenshot(w, part));
  Image screen = readPng(full), window = readPng(part);
  EXPECT_EQ(screen.width, GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_EQ(screen.height, GetSystemMetrics(SM_CYVIRTUALSCREEN));
  RECT r;
  GetWindowRect(w, &r);
  ASSERT_EQ(window.width, r.right - r.left);
  ASSERT_EQ(window.height, r.bottom - r.top);

  // The filled part of the progress bar (a colour with red != blue, so that
  // swapped channels show), the window's face and the desktop.
  POINT bar = {5, 9};
  ClientToScreen(wd::control(w, 103), &bar);
  POINT face = {300, 90};
  ClientToScreen(w, &face);
  const POINT points[] = {bar, face, {1000, 700}};
  HDC dc = GetDC(nullptr);
  for (POINT p : points) {
    const COLORREF expected = GetPixel(dc, p.x, p.y);
    EXPECT_EQ(screen.at(p.x, p.y), expected) << "at " << p.x << "," << p.y;
    if (PtInRect(&r, p)) {
      EXPECT_EQ(window.at(p.x - r.left, p.y - r.top), expected);
    }
  }
  ReleaseDC(nullptr, dc);
  EXPECT_NE(GetRValue(screen.at(bar.x, bar.y)), GetBValue(screen.at(bar.x, bar.y)));
}

}  // namespace
