// The installer's decisions that depend only on texts: where the files go,
// which entries are components, which built-in icon a main program gets, and
// how the post-extract command splits. No Windows calls, so the tests can
// check them directly.
#pragma once
#include <string>

namespace qavstub {

// True for an install folder name that stays inside the program-files folder:
// one or more plain folder names separated by "\", with at most one "\" at
// either end. Refused: an empty name, "." or ".." parts (or parts of dots and
// spaces, which Windows reads as those), a drive or any ":", "/", doubled
// "\", characters Windows forbids in names, and device names.
bool staysInside(const std::u16string& folderName);

// programFiles + "\" + folderName + "\", with the single "\" at the joints
// (folderName's own leading and trailing "\" and programFiles' trailing one
// do not double it). Only for a folder name staysInside() accepts.
std::u16string programFilesTarget(std::u16string programFiles, const std::u16string& folderName);

// The folder beside the executable named after it: drive, folder and base name
// of ownPath, then "\" (D:\dl\tools_self.exe gives D:\dl\tools_self\).
std::u16string selfExtractTarget(const std::u16string& ownPath);

// True for an entry to register: its last four characters are ".dll" or
// ".ocx" in any letter case (so "c.dll.bak" is not one).
bool isComponent(const std::u16string& name);

// The built-in icon for a main program when the package uses the default icon:
// up to three letters of its extension in lower case, "bat" read as "cmd"
// (run.bat -> "cmd", report.docx -> "doc").
std::u16string defaultIconType(const std::u16string& mainProgram);

// The post-extract command split at its first space: the program before it,
// and the rest from that space on, the space included ("" when there is none).
void splitCommand(const std::u16string& command, std::u16string& program,
                  std::u16string& parameters);

}  // namespace qavstub
