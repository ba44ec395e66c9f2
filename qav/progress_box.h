// A plain progress box: a rectangle in a back colour, filled from the left to
// a percentage in a fill colour. It answers PBM_SETPOS and PBM_GETPOS like the
// system's progress bar, so the window driver reads it the same way.
#pragma once
#include <windows.h>

namespace qav::app {

constexpr wchar_t kProgressBoxClass[] = L"QAVProgressBox";

void registerProgressBox(HINSTANCE instance);
HWND createProgressBox(HWND parent, int id, COLORREF back, COLORREF fill);

}  // namespace qav::app
