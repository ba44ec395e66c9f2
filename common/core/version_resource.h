// Reads a program's version resource (the VS_VERSIONINFO block) without the
// system's version library, which is not one of the DLLs Windows always takes
// from the system folder.
#pragma once
#include <cstddef>
#include <string>

namespace qav {

struct VersionInfo {
  int major = 0, minor = 0, revision = 0, build = 0;  // of the file version
  std::u16string productName;                          // from the first string table
};

// False when the block is not a well-formed VS_VERSIONINFO; every length in it
// is checked against the block.
bool parseVersionResource(const void* data, size_t size, VersionInfo& info);

}  // namespace qav
