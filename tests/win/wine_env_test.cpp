// The wine test environment is what the programs are tested against: code
// page 950, Chinese fonts that render, a virtual desktop, separate shell
// folders, no crash dialog. A broken harness shows here first.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <iterator>
#include <string>

namespace {

std::wstring widen(const char* utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring s(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, s.data(), n);
  s.resize(static_cast<size_t>(n) - 1);
  return s;
}

TEST(WineEnv, AnsiCodePageIsTraditionalChinese) {
  EXPECT_EQ(GetACP(), 950u);
  EXPECT_EQ(GetUserDefaultLCID(), 0x0404u);
  // CP_ACP round-trips Chinese only when the code page is 950.
  char bytes[8] = {};
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, L"中文", -1, bytes, 8, nullptr, nullptr), 5);
  EXPECT_STREQ(bytes, "\xA4\xA4\xA4\xE5");
}

TEST(WineEnv, ChineseNamesCrossBetweenLinuxAndWine) {
  // Made by CMake on the Linux side; the name must arrive intact.
  std::wstring path = L"Z:" + widen(QAV_LINUX_MADE_FILE);
  for (auto& c : path)
    if (c == L'/') c = L'\\';
  EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "locale zh_TW.UTF-8 missing?";
}

// True when the font has glyphs for a few characters of the programs' captions.
bool drawsChinese(HDC dc, const LOGFONTW& lf) {
  HFONT f = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(dc, f);
  WORD glyphs[3] = {};
  bool ok = GetGlyphIndicesW(dc, L"集裝檔", 3, glyphs, GGI_MARK_NONEXISTING_GLYPHS) == 3;
  for (WORD g : glyphs) ok = ok && g != 0xFFFF;
  SelectObject(dc, old);
  DeleteObject(f);
  return ok;
}

TEST(WineEnv, DialogAndWindowFontsDrawChinese) {
  HDC dc = CreateCompatibleDC(nullptr);
  const wchar_t* faces[] = {L"MS Shell Dlg", L"MS Shell Dlg 2", L"新細明體", L"細明體",
                            L"PMingLiU", L"MingLiU", L"Tahoma", L"微軟正黑體",
                            L"Microsoft JhengHei", L"Segoe UI", L"SimSun"};
  for (size_t i = 0; i < std::size(faces); ++i) {
    LOGFONTW lf = {};
    lf.lfHeight = -12;
    lf.lfCharSet = DEFAULT_CHARSET;
    wcscpy_s(lf.lfFaceName, faces[i]);
    EXPECT_TRUE(drawsChinese(dc, lf)) << "no Chinese glyphs in the font of face index " << i;
  }
  // Captions, menus and message boxes take these.
  NONCLIENTMETRICSW m = {};
  m.cbSize = sizeof m;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0));
  for (const LOGFONTW* lf : {&m.lfCaptionFont, &m.lfSmCaptionFont, &m.lfMenuFont,
                             &m.lfStatusFont, &m.lfMessageFont}) {
    EXPECT_TRUE(drawsChinese(dc, *lf));
    EXPECT_EQ(lf->lfHeight, -12);
  }
  LOGFONTW gui = {};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
  EXPECT_TRUE(drawsChinese(dc, gui));
  DeleteDC(dc);
}

TEST(WineEnv, VirtualDesktopOf1024x768) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
}

TEST(WineEnv, ShellFoldersAreSeparateFolders) {
  const int ids[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_TEMPLATES, CSIDL_MYMUSIC,
                     CSIDL_MYPICTURES, CSIDL_MYVIDEO};
  std::wstring paths[std::size(ids)];
  for (size_t i = 0; i < std::size(ids); ++i) {
    wchar_t p[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, ids[i] | CSIDL_FLAG_CREATE, nullptr, 0, p), S_OK);
    paths[i] = p;
  }
  // A file put on the desktop must show up in no other of them.
  const std::wstring probe = paths[0] + L"\\qav-env-probe.txt";
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  for (size_t i = 1; i < std::size(ids); ++i) {
    EXPECT_NE(paths[i], paths[0]);
    EXPECT_EQ(GetFileAttributesW((paths[i] + L"\\qav-env-probe.txt").c_str()),
              INVALID_FILE_ATTRIBUTES)
        << "shares the desktop folder: CSIDL " << ids[i];
  }
  DeleteFileW(probe.c_str());
}

TEST(WineEnv, RegistrySettingsOfThePrefix) {
  DWORD crashDialog = 1, size = sizeof crashDialog;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", L"ShowCrashDialog",
                         RRF_RT_REG_DWORD, nullptr, &crashDialog, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(crashDialog, 0u) << "a crash would wait on a dialog nobody sees";
  wchar_t cls[64] = {};
  DWORD clsSize = sizeof cls;
  EXPECT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, L".txt", nullptr, RRF_RT_REG_SZ, nullptr, cls,
                         &clsSize),
            ERROR_SUCCESS);
  EXPECT_STREQ(cls, L"txtfile");
}

}  // namespace
