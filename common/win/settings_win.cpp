#include "settings_win.h"

#include <windows.h>

#include "program_info_win.h"
#include "text_win.h"

namespace qav::win {
namespace {

std::u16string& programNameOverride() {
  static std::u16string name;
  return name;
}

std::u16string sectionKey(const std::u16string& section) {
  return ProgramSettingsKey() + u"\\" + section;
}

}  // namespace

void SetSettingsProgramName(const std::u16string& name) { programNameOverride() = name; }

std::u16string ProgramSettingsKey() {
  const std::u16string& name = programNameOverride();
  return u"Software\\QAV\\" + (name.empty() ? moduleBaseName() : name);
}

std::u16string GetProgramSetting(const std::u16string& section, const std::u16string& key,
                                 const std::u16string& fallback) {
  const std::u16string sub = sectionKey(section);
  // The value can change size between the two calls: retry until it fits.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD bytes = 0;
    LSTATUS rc = RegGetValueW(HKEY_CURRENT_USER, W(sub), W(key), RRF_RT_REG_SZ, nullptr,
                              nullptr, &bytes);
    if (rc != ERROR_SUCCESS || bytes < sizeof(wchar_t)) return fallback;
    std::u16string value(bytes / sizeof(wchar_t), u'\0');
    rc = RegGetValueW(HKEY_CURRENT_USER, W(sub), W(key), RRF_RT_REG_SZ, nullptr, value.data(),
                      &bytes);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return fallback;
    // RegGetValueW counts the terminating NUL, which it always writes.
    value.resize(bytes / sizeof(wchar_t));
    while (!value.empty() && value.back() == u'\0') value.pop_back();
    return value.empty() ? fallback : value;
  }
  return fallback;
}

bool SaveProgramSetting(const std::u16string& section, const std::u16string& key,
                        const std::u16string& value) {
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, W(sectionKey(section)), 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &h, nullptr) != ERROR_SUCCESS)
    return false;
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(char16_t));
  const LSTATUS rc = RegSetValueExW(h, W(key), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

}  // namespace qav::win
