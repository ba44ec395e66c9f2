// Small helpers the end-to-end tests share: files and folders, file times,
// test data, the shell's folders and shortcuts, the registry and sent
// messages. Windows only; paths are Windows paths.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// ---- text and files ---------------------------------------------------------

std::u16string U(const std::wstring& s);

std::string readFile(const std::wstring& path);  // "" when it cannot be read
bool writeFile(const std::wstring& path, const std::string& bytes);
bool exists(const std::wstring& path);
bool isFolder(const std::wstring& path);

// `folder` ends in "\": removes it with all it holds.
void removeTree(const std::wstring& folder);

// Names directly in a folder (files and folders); none when it does not exist.
std::vector<std::wstring> namesIn(const std::wstring& folder);

// Every file under folder (sub-folders included), as paths relative to it.
std::vector<std::wstring> filesUnder(const std::wstring& folder, const std::wstring& prefix = {});

// A fresh, empty folder `root`\`name` for one test (relative to the working
// folder), as a full path with a trailing "\".
std::wstring freshFolder(const std::wstring& root, const std::wstring& name);

// ---- file times -------------------------------------------------------------

struct Times {
  uint64_t access = 0, write = 0;
};

bool setTimes(const std::wstring& path, Times t);
// Read before the content: reading a file may move its last-access time.
std::optional<Times> fileTimes(const std::wstring& path);

// ---- test data --------------------------------------------------------------

// A file to pack: its name, bytes and times.
struct Item {
  std::wstring name;
  std::string data;
  Times times;
};

// Bytes that differ from file to file and from chunk to chunk.
std::string bytes(size_t n, uint32_t seed);

// ---- shell and registry -----------------------------------------------------

std::wstring specialFolder(int csidl);  // SHGetFolderPathW, without a trailing "\"

struct Shortcut {
  std::wstring target, workDir, icon;
  int iconIndex = 0;
};
// A shortcut file read back through the shell; pathFlags go to GetPath
// (SLGP_RAWPATH: the target as stored).
std::optional<Shortcut> readShortcut(const std::wstring& lnk, DWORD pathFlags = 0);
// The target alone, "" when the shortcut cannot be read.
std::wstring shortcutTarget(const std::wstring& lnk);

// A REG_SZ value without its closing null(s).
std::optional<std::wstring> regString(HKEY root, const std::wstring& key, const wchar_t* value);

// ---- windows ----------------------------------------------------------------

// SendMessageTimeout that gives up after 5 s on a hung window; the result, 0
// when it gave up.
LRESULT send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0);

}  // namespace e2e
