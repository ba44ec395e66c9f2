#include "process_win.h"

#include <windows.h>
#include <tlhelp32.h>

#include "text_win.h"

namespace qav::win {

int 結束Win32程式(const std::u16string& name) {
  const std::u16string exe = name + u".exe";
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  const DWORD self = GetCurrentProcessId();
  int ended = 0;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == self ||
        CompareStringOrdinal(entry.szExeFile, -1, W(exe), static_cast<int>(exe.size()), TRUE) !=
            CSTR_EQUAL)
      continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (!process) continue;
    // Termination is asynchronous: the program's files stay locked until it is gone.
    if (TerminateProcess(process, 1) && WaitForSingleObject(process, 5000) == WAIT_OBJECT_0)
      ++ended;
    CloseHandle(process);
  }
  CloseHandle(snapshot);
  return ended;
}

bool pumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

void wait(float seconds) {
  const ULONGLONG start = GetTickCount64();
  const ULONGLONG span = seconds > 0 ? static_cast<ULONGLONG>(seconds * 1000.0f + 0.5f) : 0;
  for (;;) {
    if (!pumpMessages()) return;
    const ULONGLONG gone = GetTickCount64() - start;
    if (gone >= span) return;
    // Sleep until a message arrives or the time is up: no busy loop.
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(span - gone), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

int runMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

// Loaded by name because Windows 7 has SetDefaultDllDirectories only with an update.
void restrictDllSearch() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  using SetDirs = BOOL(WINAPI*)(DWORD);
  auto setDefault = reinterpret_cast<SetDirs>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");  // the current folder out of the search as well
}

}  // namespace qav::win
