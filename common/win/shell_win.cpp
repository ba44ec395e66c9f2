#include "shell_win.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "folders_win.h"
#include "text_win.h"

namespace qav::win {
namespace {

bool setDefaultValue(const std::u16string& subKey, const std::u16string& value) {
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, W(subKey), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h,
                      nullptr) != ERROR_SUCCESS)
    return false;
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(char16_t));
  const bool ok = RegSetValueExW(h, nullptr, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(value.c_str()),
                                 bytes) == ERROR_SUCCESS;
  RegCloseKey(h);
  return ok;
}

// COM on the calling thread while this object lives. A thread that already has
// COM keeps it (CoInitializeEx then only counts up, or refuses another model).
class ComScope {
 public:
  ComScope() : owned_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (owned_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool owned_;
};

template <class T>
void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

// "path,index" -> path and index. Only a whole number after the last comma is
// an index, so a path that merely contains a comma stays whole.
void splitIconLocation(const std::u16string& location, std::u16string& path, int& index) {
  path = location;
  index = 0;
  const size_t comma = location.rfind(u',');
  if (comma == std::u16string::npos) return;
  size_t i = comma + 1;
  while (i < location.size() && location[i] == u' ') ++i;
  const bool negative = i < location.size() && location[i] == u'-';
  if (negative) ++i;
  if (i == location.size()) return;
  int value = 0;
  for (; i < location.size(); ++i) {
    const char16_t c = location[i];
    if (c < u'0' || c > u'9' || value > 9999999) return;
    value = value * 10 + (c - u'0');
  }
  path = location.substr(0, comma);
  index = negative ? -value : value;
}

}  // namespace

bool RegisterFileType(const std::u16string& programPath, const std::u16string& extension) {
  const std::u16string quoted = u"\"" + programPath + u"\"";
  bool ok = setDefaultValue(u"zo7_App_QAV", u"集裝檔工具");
  ok = setDefaultValue(lowerCase(extension), u"zo7_App_QAV") && ok;
  ok = setDefaultValue(u"zo7_App_QAV\\DefaultIcon", quoted + u",7") && ok;
  ok = setDefaultValue(u"zo7_App_QAV\\shell\\open\\command", quoted + u" \"%1\"") && ok;
  return ok;
}

bool 建立捷徑(const std::u16string& folderKey, const std::u16string& shortcutName,
              const std::u16string& target, const std::u16string& workingFolder,
              const std::u16string& iconLocation) {
  const std::u16string folder = GetSpecialFolder(folderKey);
  if (folder.size() < 2) return true;  // no such folder
  const std::u16string file = folder + shortcutName + u".lnk";

  ComScope com;
  IShellLinkW* link = nullptr;
  IPersistFile* persist = nullptr;
  bool failed =
      FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)));
  if (!failed) {
    std::u16string iconPath;
    int iconIndex = 0;
    splitIconLocation(iconLocation, iconPath, iconIndex);
    failed = FAILED(link->SetPath(W(target))) || FAILED(link->SetArguments(L"")) ||
             FAILED(link->SetWorkingDirectory(W(workingFolder))) ||
             FAILED(link->SetHotkey(0)) || FAILED(link->SetShowCmd(SW_SHOWNORMAL)) ||
             (!iconPath.empty() && FAILED(link->SetIconLocation(W(iconPath), iconIndex))) ||
             FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) ||
             FAILED(persist->Save(W(file), TRUE));
  }
  release(persist);
  release(link);
  return failed;
}

std::u16string BrowseFolder(HWND owner, const std::u16string& title, int rootCsidl, UINT flags) {
  // The new dialog style needs COM on this thread.
  ComScope com;
  PIDLIST_ABSOLUTE root = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(owner, rootCsidl, &root)) || !root) return u"";

  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pidlRoot = root;
  info.pszDisplayName = displayName;
  info.lpszTitle = W(title);
  info.ulFlags = flags;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);

  std::u16string result;
  if (chosen) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) result = fromW(path);
    if (!result.empty() && result.back() != u'\\') result += u'\\';
    CoTaskMemFree(chosen);
  }
  CoTaskMemFree(root);
  return result;
}

void RaiseWindow(HWND window) {
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace qav::win
