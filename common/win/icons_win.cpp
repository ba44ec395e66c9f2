#include "icons_win.h"

#include <windows.h>
#include <shlobj.h>

#include "program_info_win.h"
#include "text_win.h"

namespace qav::win {
namespace {

struct Bytes {
  const void* data = nullptr;
  DWORD size = 0;
};

Bytes iconResource(const std::u16string& type) {
  Bytes b;
  HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(101), W(type));
  HGLOBAL loaded = res ? LoadResource(nullptr, res) : nullptr;
  if (loaded) {
    b.data = LockResource(loaded);
    b.size = SizeofResource(nullptr, res);
  }
  return b;
}

// Replaces the file at path by the bytes; a partly written file is removed.
bool writeFile(const std::u16string& path, const Bytes& b) {
  DeleteFileW(W(path));
  HANDLE h = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(h, b.data, b.size, &written, nullptr) && written == b.size;
  const bool closed = CloseHandle(h);
  if (ok && closed) return true;
  DeleteFileW(W(path));
  return false;
}

std::u16string perUserFolder() {
  wchar_t buf[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                              SHGFP_TYPE_CURRENT, buf)))
    return u"";
  std::u16string folder = fromW(buf);
  if (folder.empty()) return u"";
  if (folder.back() != u'\\') folder += u'\\';
  folder += u"QAV\\";
  CreateDirectoryW(W(folder), nullptr);  // usually there already
  return folder;
}

}  // namespace

std::u16string 解出圖示(const std::u16string& type) {
  const Bytes icon = iconResource(type);
  if (!icon.data || icon.size == 0) return u"";
  const std::u16string name = type + u".ico";
  const std::u16string program = moduleFolder();
  if (!program.empty() && writeFile(program + u"\\" + name, icon)) return program + u"\\" + name;
  const std::u16string folder = perUserFolder();
  return !folder.empty() && writeFile(folder + name, icon) ? folder + name : u"";
}

namespace stub {
bool 解出圖示(const std::u16string& type) {
  const Bytes icon = iconResource(type);
  return icon.data && icon.size > 0 && writeFile(type + u".ico", icon);
}
}  // namespace stub

}  // namespace qav::win
