// Facts about the running program: its file, folder and version resource.
#pragma once
#include <string>

namespace qav::win {

std::u16string modulePath();                 // full path of the running .exe
std::u16string moduleFolder();               // its folder, without a trailing "\"
std::u16string moduleBaseName();             // file name without ".exe"

struct ProgramVersion {
  int major = 0, minor = 0, revision = 0;
  std::u16string productName;
};
// Reads the program's own version resource; zeros and an empty name when missing.
ProgramVersion readOwnVersion();

}  // namespace qav::win
