#include "e2e_util.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <fstream>
#include <iterator>

namespace e2e {
namespace {

FILETIME ft(uint64_t t) { return {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}; }
uint64_t u64(const FILETIME& t) { return uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime; }

}  // namespace

std::u16string U(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

std::string readFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
  return out.good();
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isFolder(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void removeTree(const std::wstring& folder) {
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((folder + L"*").c_str(), &f);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = f.cFileName;
      if (name == L"." || name == L"..") continue;
      if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        removeTree(folder + name + L"\\");
      else
        DeleteFileW((folder + name).c_str());
    } while (FindNextFileW(h, &f));
    FindClose(h);
  }
  RemoveDirectoryW(folder.c_str());
}

std::vector<std::wstring> namesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((folder + L"*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = f.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(h, &f));
  FindClose(h);
  return names;
}

std::vector<std::wstring> filesUnder(const std::wstring& folder, const std::wstring& prefix) {
  std::vector<std::wstring> out;
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((folder + L"*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    const std::wstring name = f.cFileName;
    if (name == L"." || name == L"..") continue;
    if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      for (auto& sub : filesUnder(folder + name + L"\\", prefix + name + L"\\")) out.push_back(sub);
    } else {
      out.push_back(prefix + name);
    }
  } while (FindNextFileW(h, &f));
  FindClose(h);
  return out;
}

std::wstring freshFolder(const std::wstring& root, const std::wstring& name) {
  CreateDirectoryW(root.c_str(), nullptr);
  wchar_t full[MAX_PATH];
  GetFullPathNameW((root + L"\\" + name + L"\\").c_str(), MAX_PATH, full, nullptr);
  const std::wstring folder = full;
  removeTree(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

bool setTimes(const std::wstring& path, Times t) {
  HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME a = ft(t.access), w = ft(t.write);
  const bool ok = SetFileTime(h, nullptr, &a, &w);
  CloseHandle(h);
  return ok;
}

std::optional<Times> fileTimes(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  FILETIME c, a, w;
  const bool ok = GetFileTime(h, &c, &a, &w);
  CloseHandle(h);
  if (!ok) return {};
  return Times{u64(a), u64(w)};
}

std::string bytes(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

std::wstring specialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::optional<Shortcut> readShortcut(const std::wstring& lnk, DWORD pathFlags) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::optional<Shortcut> result;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(lnk.c_str(), STGM_READ))) {
    wchar_t target[MAX_PATH] = {}, dir[MAX_PATH] = {}, icon[MAX_PATH] = {};
    Shortcut s;
    link->GetPath(target, MAX_PATH, nullptr, pathFlags);
    link->GetWorkingDirectory(dir, MAX_PATH);
    link->GetIconLocation(icon, MAX_PATH, &s.iconIndex);
    s.target = target;
    s.workDir = dir;
    s.icon = icon;
    result = s;
  }
  if (file) file->Release();
  if (link) link->Release();
  CoUninitialize();
  return result;
}

std::wstring shortcutTarget(const std::wstring& lnk) {
  const std::optional<Shortcut> s = readShortcut(lnk);
  return s ? s->target : std::wstring();
}

std::optional<std::wstring> regString(HKEY root, const std::wstring& key, const wchar_t* value) {
  DWORD size = 0;
  if (RegGetValueW(root, key.c_str(), value, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
      ERROR_SUCCESS)
    return {};
  std::wstring s(size / sizeof(wchar_t), L'\0');
  if (RegGetValueW(root, key.c_str(), value, RRF_RT_REG_SZ, nullptr, s.data(), &size) !=
      ERROR_SUCCESS)
    return {};
  s.resize(size / sizeof(wchar_t));
  while (!s.empty() && s.back() == L'\0') s.pop_back();
  return s;
}

LRESULT send(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR r = 0;
  SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &r);
  return static_cast<LRESULT>(r);
}

}  // namespace e2e
