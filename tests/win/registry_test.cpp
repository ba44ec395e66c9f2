// The settings store and the file-type association, read back with the plain
// registry functions.
#include <windows.h>

#include <gtest/gtest.h>

#include "helpers_util.h"
#include "settings_win.h"
#include "shell_win.h"

namespace {

using namespace helpers_test;
using namespace qav::win;

// The registry's string value at root\key (nullptr name = default value);
// `found` false when missing.
std::u16string regString(HKEY root, const std::u16string& key, const wchar_t* name,
                         bool* found = nullptr) {
  wchar_t buf[1024] = {};
  DWORD size = sizeof buf;
  LSTATUS rc = RegGetValueW(root, W(key), name, RRF_RT_REG_SZ, nullptr, buf, &size);
  if (found) *found = rc == ERROR_SUCCESS;
  return rc == ERROR_SUCCESS ? U(buf) : u"";
}

// The name of root's sub-key as stored, letter case included (lookups ignore
// case, so only an enumeration shows it); "" when there is none.
std::u16string storedKeyName(HKEY root, const std::u16string& name) {
  const std::u16string wanted = qav::win::lowerCase(name);
  wchar_t buf[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = 256;
    LSTATUS rc = RegEnumKeyExW(root, i, buf, &size, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return u"";
    if (rc == ERROR_SUCCESS && qav::win::lowerCase(U(buf)) == wanted) return U(buf);
  }
}

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    SetSettingsProgramName(u"");
    RegDeleteTreeW(HKEY_CURRENT_USER, W(ProgramSettingsKey()));
  }
  void TearDown() override {
    SetSettingsProgramName(u"");
    RegDeleteTreeW(HKEY_CURRENT_USER, W(ProgramSettingsKey()));
  }
};

TEST_F(Settings, LiveUnderTheExecutablesBaseNameOneValuePerKey) {
  EXPECT_EQ(ProgramSettingsKey(), u"Software\\QAV\\win_helpers_tests");
  ASSERT_TRUE(SaveProgramSetting(u"程式參數", u"InstallPath", u"公司名稱\\產品名稱"));
  bool found = false;
  EXPECT_EQ(regString(HKEY_CURRENT_USER, u"Software\\QAV\\win_helpers_tests\\程式參數",
                      L"InstallPath", &found),
            u"公司名稱\\產品名稱");
  EXPECT_TRUE(found);
}

TEST_F(Settings, RoundTripAndDefaults) {
  ASSERT_TRUE(SaveProgramSetting(u"程式參數", u"RGB", u"F0FFE0"));
  ASSERT_TRUE(SaveProgramSetting(u"Dialog", u"打包資料夾", u"C:\\資料\\"));
  ASSERT_TRUE(SaveProgramSetting(u"程式參數", u"InstallPath", u""));
  // A long value: the reader must not cut it at some buffer size.
  const std::u16string longValue(3000, u'長');
  ASSERT_TRUE(SaveProgramSetting(u"Dialog", u"解包資料夾", longValue));

  const struct {
    const char16_t *section, *key, *fallback;
    std::u16string expected;
  } cases[] = {
      {u"程式參數", u"RGB", u"FFFFFF", u"F0FFE0"},
      {u"Dialog", u"打包資料夾", u"", u"C:\\資料\\"},
      {u"Dialog", u"解包資料夾", u"", longValue},
      {u"程式參數", u"InstallPath", u"公司名稱\\產品名稱", u"公司名稱\\產品名稱"},  // empty
      {u"程式參數", u"AutoDetectVer", u"0", u"0"},                                // missing key
      {u"沒有這節", u"RGB", u"預設", u"預設"},                                    // missing section
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetProgramSetting(c.section, c.key, c.fallback), c.expected)
        << narrow(c.section) << "/" << narrow(c.key);

  // Saving again replaces the value.
  ASSERT_TRUE(SaveProgramSetting(u"程式參數", u"RGB", u"0A0B0C"));
  EXPECT_EQ(GetProgramSetting(u"程式參數", u"RGB", u""), u"0A0B0C");
}

TEST_F(Settings, ProgramNameCanBeChosen) {
  SetSettingsProgramName(u"qav_settings_probe");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QAV\\qav_settings_probe");
  ASSERT_TRUE(SaveProgramSetting(u"程式參數", u"RGB", u"123456"));
  EXPECT_EQ(regString(HKEY_CURRENT_USER, u"Software\\QAV\\qav_settings_probe\\程式參數", L"RGB"),
            u"123456");
  SetSettingsProgramName(u"");
  EXPECT_EQ(GetProgramSetting(u"程式參數", u"RGB", u"none"), u"none");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QAV\\qav_settings_probe");
}

// The association keys are the system's own: what the test writes is put back
// afterwards, so a real registration of the program survives the test.
class Association : public ::testing::Test {
 protected:
  static constexpr const char16_t* kKeys[] = {u"zo7_App_QAV", u"zo7_App_QAV\\DefaultIcon",
                                               u"zo7_App_QAV\\shell\\open\\command"};
  void SetUp() override {
    for (size_t i = 0; i < 3; ++i) saved_[i] = regString(HKEY_CLASSES_ROOT, kKeys[i], nullptr, &had_[i]);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qav_test");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qavtest2");
    if (!had_[0]) {
      RegDeleteTreeW(HKEY_CLASSES_ROOT, L"zo7_App_QAV");
      return;
    }
    for (size_t i = 0; i < 3; ++i) {
      if (!had_[i]) continue;
      HKEY h;
      if (RegCreateKeyExW(HKEY_CLASSES_ROOT, W(kKeys[i]), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &h, nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_[i].c_str()),
                       static_cast<DWORD>((saved_[i].size() + 1) * 2));
        RegCloseKey(h);
      }
    }
  }
  std::u16string saved_[3];
  bool had_[3] = {};
};

TEST_F(Association, KeysAsTheShellReadsThem) {
  const struct {
    const char16_t *program, *extension, *extensionKey;
  } cases[] = {
      {u"C:\\Tools\\qav.exe", u".QAV_TEST", u".qav_test"},  // registered in lower case
      {u"D:\\集裝檔 工具\\qav.exe", u".qavtest2", u".qavtest2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(narrow(c.program));
    ASSERT_TRUE(RegisterFileType(c.program, c.extension));
    const std::u16string quoted = u"\"" + std::u16string(c.program) + u"\"";
    bool found = false;
    EXPECT_EQ(storedKeyName(HKEY_CLASSES_ROOT, c.extensionKey), c.extensionKey);
    EXPECT_EQ(regString(HKEY_CLASSES_ROOT, c.extensionKey, nullptr, &found), u"zo7_App_QAV");
    EXPECT_TRUE(found);
    EXPECT_EQ(regString(HKEY_CLASSES_ROOT, u"zo7_App_QAV", nullptr), u"集裝檔工具");
    EXPECT_EQ(regString(HKEY_CLASSES_ROOT, u"zo7_App_QAV\\DefaultIcon", nullptr), quoted + u",7");
    EXPECT_EQ(regString(HKEY_CLASSES_ROOT, u"zo7_App_QAV\\shell\\open\\command", nullptr),
              quoted + u" \"%1\"");
  }
}

}  // namespace
