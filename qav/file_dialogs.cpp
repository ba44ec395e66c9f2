#include "file_dialogs.h"

#include <commdlg.h>

namespace qav::win {

std::u16string OpenFilesDialog(HWND owner, const std::u16string& title,
                               const std::u16string& filter, const std::u16string& initialFolder,
                               bool multiple) {
  std::u16string filters = filter;
  for (char16_t& c : filters)
    if (c == u'|') c = u'\0';
  filters.append(2, u'\0');
  // Room for a long multi-selection: 32767 characters.
  std::u16string buffer(32767, u'\0');
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = reinterpret_cast<const wchar_t*>(filters.c_str());
  ofn.lpstrFile = reinterpret_cast<wchar_t*>(buffer.data());
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir =
      initialFolder.empty() ? nullptr : reinterpret_cast<const wchar_t*>(initialFolder.c_str());
  ofn.lpstrTitle = reinterpret_cast<const wchar_t*>(title.c_str());
  ofn.Flags = OFN_EXPLORER | OFN_LONGNAMES | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
              OFN_HIDEREADONLY | (multiple ? OFN_ALLOWMULTISELECT : 0);
  if (!GetOpenFileNameW(&ofn)) return u"";
  // The result ends at the first double NUL; one file gives one full path.
  size_t end = 0;
  while (end + 1 < buffer.size() && !(buffer[end] == u'\0' && buffer[end + 1] == u'\0')) ++end;
  buffer.resize(end);
  return buffer;
}

}  // namespace qav::win
