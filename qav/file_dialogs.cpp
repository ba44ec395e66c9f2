#include "file_dialogs.h"

#include <cderr.h>
#include <commdlg.h>

namespace qav::win {
namespace {

// "a|b|c|d" -> "a\0b\0c\0d\0\0", as the dialogs take their filters.
std::u16string filterList(const std::u16string& filter) {
  std::u16string filters = filter;
  for (char16_t& c : filters)
    if (c == u'|') c = u'\0';
  filters.append(2, u'\0');
  return filters;
}

// The result ends at the first NUL.
std::u16string untilNul(std::u16string buffer) {
  buffer.resize(buffer.find(u'\0') == std::u16string::npos ? buffer.size() : buffer.find(u'\0'));
  return buffer;
}

}  // namespace

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

std::u16string SaveFileDialog(HWND owner, const std::u16string& title,
                              const std::u16string& filter, const std::u16string& initialName) {
  const std::u16string filters = filterList(filter);
  for (const std::u16string& proposed : {initialName, std::u16string()}) {
    std::u16string buffer(32767, u'\0');
    const size_t n = proposed.size() < 32766 ? proposed.size() : 32766;
    buffer.replace(0, n, proposed, 0, n);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = reinterpret_cast<const wchar_t*>(filters.c_str());
    ofn.lpstrFile = reinterpret_cast<wchar_t*>(buffer.data());
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = reinterpret_cast<const wchar_t*>(title.c_str());
    ofn.Flags = OFN_EXPLORER | OFN_LONGNAMES | OFN_HIDEREADONLY | OFN_NODEREFERENCELINKS;
    if (GetSaveFileNameW(&ofn)) return untilNul(buffer);
    // A proposed name the dialog refuses (a pasted character it does not
    // allow) would keep it from opening at all: offer it empty instead.
    if (CommDlgExtendedError() != FNERR_INVALIDFILENAME) break;
  }
  return u"";
}

}  // namespace qav::win
