// The per-user settings store: one string value per key, under
//   HKEY_CURRENT_USER\Software\QAV\<program>\<section>
// where <program> is the running executable's base name ("qav" for qav.exe).
#pragma once
#include <string>

namespace qav::win {

// The stored value, or `fallback` when the value is missing, empty or unreadable.
std::u16string GetProgramSetting(const std::u16string& section, const std::u16string& key,
                                 const std::u16string& fallback);

// Stores the value, creating the program's and the section's keys as needed.
// Returns false when the registry refused (callers may ignore it).
bool SaveProgramSetting(const std::u16string& section, const std::u16string& key,
                        const std::u16string& value);

// Names the program's key explicitly instead of the executable's base name;
// an empty name goes back to the executable's. For tests and tools that
// read another program's settings.
void SetSettingsProgramName(const std::u16string& name);

// The key the settings live under, relative to HKEY_CURRENT_USER (no trailing "\").
std::u16string ProgramSettingsKey();

}  // namespace qav::win
