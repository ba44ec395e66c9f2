// Ending running programs by name, pausing while the window stays alive, the
// message pump, and the DLL search rule every program starts with.
// Carried by the stub (before it replaces a program's files), by qav and by
// Start (before an update replaces the program file).
#pragma once
#include <string>

namespace qav::win {

// Ends every running process whose program file is name + ".exe" (letter case
// ignored), found in the system's process snapshot, and waits briefly for each
// to be gone so that its files are released. The calling process is never
// ended, even when it carries that name. Returns how many processes ended;
// processes that cannot be opened or ended are passed over.
int 結束Win32程式(const std::u16string& name);

// Returns after at least `seconds`, handling the thread's window messages
// meanwhile. A WM_QUIT met on the way is posted again for the caller's loop,
// and the pause then ends early.
void wait(float seconds);

// Handles the thread's pending window messages and returns. False when a
// WM_QUIT was met (it is posted again for the caller's loop).
bool pumpMessages();

// Runs until the quit message; returns its exit code.
int runMessageLoop();

// Lets the process load DLLs from the system folder only, never from its own
// folder or the current one: programs are often run from a download folder,
// where anything may lie beside them. Call it first thing.
void restrictDllSearch();

}  // namespace qav::win
