#include "progress_box.h"

#include <commctrl.h>

namespace qav::app {
namespace {

struct BoxState {
  int percent = 0;
  COLORREF back = RGB(255, 255, 255);
  COLORREF fill = RGB(0, 0, 255);
};

void paint(HWND wnd, const BoxState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT all;
  GetClientRect(wnd, &all);
  RECT done = all;
  done.right = all.left + MulDiv(all.right - all.left, s.percent, 100);
  RECT rest = all;
  rest.left = done.right;
  HBRUSH fill = CreateSolidBrush(s.fill);
  HBRUSH back = CreateSolidBrush(s.back);
  FillRect(dc, &done, fill);
  FillRect(dc, &rest, back);
  DeleteObject(fill);
  DeleteObject(back);
  EndPaint(wnd, &ps);
}

LRESULT CALLBACK boxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* s = reinterpret_cast<BoxState*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
      break;
    }
    case WM_NCDESTROY:
      delete s;
      SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
      break;
    case PBM_SETPOS: {
      if (!s) return 0;
      int old = s->percent;
      int p = static_cast<int>(wp);
      s->percent = p < 0 ? 0 : (p > 100 ? 100 : p);
      if (s->percent != old) InvalidateRect(wnd, nullptr, FALSE);
      return old;
    }
    case PBM_GETPOS:
      return s ? s->percent : 0;
    case PBM_GETRANGE:
      if (lp) {
        auto* range = reinterpret_cast<PBRANGE*>(lp);
        range->iLow = 0;
        range->iHigh = 100;
      }
      return wp ? 0 : 100;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (s) {
        paint(wnd, *s);
        return 0;
      }
      break;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

void registerProgressBox(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = boxProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kProgressBoxClass;
  RegisterClassExW(&wc);
}

HWND createProgressBox(HWND parent, int id, COLORREF back, COLORREF fill) {
  auto* state = new BoxState{0, back, fill};
  // A sunken edge, like a picture box, so that an empty bar still shows where it is.
  HWND box = CreateWindowExW(WS_EX_STATICEDGE, kProgressBoxClass, L"", WS_CHILD | WS_VISIBLE, 0, 0,
                             0, 0, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                             state);
  if (!box) delete state;
  return box;
}

}  // namespace qav::app
