#include "folders_win.h"

#include <windows.h>
#include <shlobj.h>

#include <iterator>

#include "pathname.h"
#include "text_win.h"

namespace qav::win {

std::u16string GetSystemRoot() {
  wchar_t buf[MAX_PATH];
  const UINT n = GetSystemDirectoryW(buf, MAX_PATH);
  return n > 0 && n < MAX_PATH ? fromW(buf, n) : std::u16string();
}

namespace {

struct SpecialFolderKey {
  const char* name;
  int csidl;
};

// The names the scripting host's shell object knows for its special folders.
constexpr SpecialFolderKey kSpecialFolders[] = {
    {"Desktop", CSIDL_DESKTOPDIRECTORY},
    {"Programs", CSIDL_PROGRAMS},
    {"Startup", CSIDL_STARTUP},
    {"SendTo", CSIDL_SENDTO},
    {"Templates", CSIDL_TEMPLATES},
    {"StartMenu", CSIDL_STARTMENU},
    {"Favorites", CSIDL_FAVORITES},
    {"MyDocuments", CSIDL_PERSONAL},
    {"Recent", CSIDL_RECENT},
    {"Fonts", CSIDL_FONTS},
    {"NetHood", CSIDL_NETHOOD},
    {"PrintHood", CSIDL_PRINTHOOD},
    {"AllUsersDesktop", CSIDL_COMMON_DESKTOPDIRECTORY},
    {"AllUsersStartMenu", CSIDL_COMMON_STARTMENU},
    {"AllUsersPrograms", CSIDL_COMMON_PROGRAMS},
    {"AllUsersStartup", CSIDL_COMMON_STARTUP},
};

bool sameAsciiName(const std::u16string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char16_t x = a[i], y = static_cast<unsigned char>(b[i]);
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return i == a.size() && !b[i];
}

std::u16string currentFolder() {
  wchar_t buf[MAX_PATH + 1];
  const DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, buf);
  return n > 0 && n <= MAX_PATH ? fromW(buf, n) : std::u16string();
}

bool isDrivePath(const std::u16string& path) {
  return path.size() >= 3 &&
         ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z')) &&
         path[1] == u':' && path[2] == u'\\';
}

// The common steps of both forms. `path` is the text as the form parses it;
// `drive` its drive part. Leaves the current folder where the walk ended.
bool createLevels(const std::u16string& path, const std::u16string& drive) {
  // Start from the drive's root; a drive that does not exist stops here.
  if (!SetCurrentDirectoryW(W(drive + u"\\"))) return false;

  const std::u16string folder = path.substr(0, path.rfind(u'\\') + 1);
  const DWORD attributes = GetFileAttributesW(W(folder));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (!SetCurrentDirectoryW(W(folder))) return false;
  } else {
    // Pieces between the drive (first) and what follows the last "\" (last).
    size_t start = path.find(u'\\') + 1;
    for (size_t end; (end = path.find(u'\\', start)) != std::u16string::npos; start = end + 1) {
      const std::u16string piece = path.substr(start, end - start);
      // An existing level fails to be created; entering it decides.
      CreateDirectoryW(W(piece), nullptr);
      if (!SetCurrentDirectoryW(W(piece))) return false;
    }
  }
  std::u16string now = lowerCase(currentFolder());
  if (now.empty() || now.back() != u'\\') now += u'\\';  // a root already ends with it
  return now == lowerCase(folder);
}

}  // namespace

std::u16string GetSpecialFolder(const std::u16string& key) {
  for (const SpecialFolderKey& k : kSpecialFolders) {
    if (!sameAsciiName(key, k.name)) continue;
    wchar_t buf[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, k.csidl | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, buf)))
      break;
    std::u16string folder = fromW(buf);
    if (folder.empty()) break;
    if (folder.back() != u'\\') folder += u'\\';
    return folder;
  }
  return u"\\";
}

bool 新建資料夾(const std::u16string& path) {
  if (!isDrivePath(path)) return false;
  const std::u16string before = currentFolder();
  std::u16string cleaned = path;
  const std::u16string drive = Get磁碟名(cleaned);  // also cleans `cleaned`
  const bool result = createLevels(cleaned, drive);
  SetCurrentDirectoryW(W(before));
  return result;
}

namespace stub {
bool 新建資料夾(const std::u16string& path) {
  if (!isDrivePath(path)) return false;
  return createLevels(path, qav::stub::Get磁碟名(path));
}
}  // namespace stub

}  // namespace qav::win
