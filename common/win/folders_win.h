// System and special folders, and creating a folder path level by level.
#pragma once
#include <string>

namespace qav::win {

// The Windows system folder, without a trailing "\" ("" if the system will not say).
std::u16string GetSystemRoot();

// The current user's special folder named by key, followed by "\": "Desktop",
// "Programs", "Startup", "SendTo", "Templates", and also "StartMenu",
// "Favorites", "MyDocuments", "Recent", "Fonts", "NetHood", "PrintHood",
// "AllUsersDesktop", "AllUsersStartMenu", "AllUsersPrograms", "AllUsersStartup"
// (keys compare without regard to ASCII case). A missing folder is created.
// A key that names no folder, or a folder the system cannot give, yields "\"
// alone, so callers can tell it apart from a real folder.
std::u16string GetSpecialFolder(const std::u16string& key);

// Creates every missing level of the folder part of path (everything up to the
// last "\"; what follows it is a file name and is not created). Levels that
// exist are passed over. path must begin with a drive ("C:\..."); anything
// else (a network or relative path) gives false, as does a drive that does
// not exist. Returns true when the folder exists afterwards.
//
// This form leaves the process's current folder as it was before the call.
// Doubled "\", ":" and "." in path are read as single ones.
bool 新建資料夾(const std::u16string& path);

namespace stub {
// The installer's form: parses path exactly as given and leaves the process's
// current folder at the created folder (on failure wherever it stopped), which
// the install steps that follow rely on.
bool 新建資料夾(const std::u16string& path);
}  // namespace stub

}  // namespace qav::win
