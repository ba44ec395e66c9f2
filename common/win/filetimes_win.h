// A file's times in the archive's three slots (FILETIME values: 100 ns since
// 1601-01-01 UTC): slot A = last access, slot B = last write, slot C unused.
#pragma once
#include <cstdint>
#include <string>

namespace qav::win {

// Fills slot A with the file's last-access time and slot B with its last-write
// time. Only attribute access is asked for, so read-only files and files open
// in other programs give their times too. On failure (no such file) the
// slots keep what they held and the result is false.
bool GetFileTimes(const std::u16string& path, uint64_t& slotA, uint64_t& slotB, uint64_t& slotC);

// Sets creation and last-access time from slot A and last-write time from slot
// B; a zero slot leaves that time as it is. Works on read-only files.
// Returns false when the file cannot be opened or its times not set.
bool SetFileTimes(const std::u16string& path, uint64_t slotA, uint64_t slotB, uint64_t slotC);

}  // namespace qav::win
