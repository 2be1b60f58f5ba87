#include "runtime/window/sizing.h"

#include "runtime/window/state_block.h"
#include "runtime/window/window_proc.h"

static SizeTracking* g_sizing = nullptr;

// The distance a key moves the edge.
static constexpr int KEY_STEP = 10;

void sizing_state_create() {
  g_sizing = static_cast<SizeTracking*>(state_block_create(sizeof(SizeTracking), nullptr, nullptr));
}

SizeTracking* sizing_state() { return g_sizing; }

static void show_shared_cursor(LPCSTR name) {
  HANDLE cursor = LoadImageA(nullptr, name, IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE);
  SetCursor(static_cast<HCURSOR>(cursor));
}

static void read_limits(HWND window, MINMAXINFO* limits) {
  *limits = {};
  limits->ptMaxSize = {GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
  if (GetWindowLongPtrA(window, GWL_STYLE) & WS_BORDER)
    limits->ptMaxPosition = {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
  else if (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_WINDOWEDGE)
    limits->ptMaxPosition = {GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE)};
  limits->ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  limits->ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
  SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(limits));
}

static bool start_sizing(HWND window, WPARAM command) {
  BOOL full_drag = FALSE;
  SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &full_drag, 0);
  // Outline dragging stays Windows' own.
  if (!full_drag) return false;
  SizeTracking* t = g_sizing;
  t->edge = static_cast<int32_t>(command & 0xF);  // 0: chosen from the system menu by keyboard
  t->active = 1;
  t->window = window;
  GetWindowRect(window, &t->rect);
  read_limits(window, &t->limits);
  if (GetKeyState(VK_LBUTTON) == 0) SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SetCapture(window);
  PostMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
  if (t->edge == 0) {
    t->keyboard_started = 1;
    GetCursorPos(&t->saved_cursor);
    show_shared_cursor(IDC_SIZEALL);
  } else {
    t->keyboard_started = 0;
  }
  return true;
}

// One side of the rectangle follows the point, within the tracking limits.
static void follow_low_side(LONG* low, LONG high, LONG at, LONG least, LONG most) {
  *low = at;
  if (high - *low < least)
    *low = high - least;
  else if (high - *low > most)
    *low = high - most;
}

static void follow_high_side(LONG low, LONG* high, LONG at, LONG least, LONG most) {
  *high = at + 2;
  LONG size = at - low + 2;
  if (size < least)
    *high = low + least;
  else if (size > most)
    *high = low + most;
}

static void apply_point(HWND window, POINT p) {
  SizeTracking* t = g_sizing;
  LONG min_w = t->limits.ptMinTrackSize.x, min_h = t->limits.ptMinTrackSize.y;
  LONG max_w = t->limits.ptMaxTrackSize.x, max_h = t->limits.ptMaxTrackSize.y;
  switch (t->edge) {
    case WMSZ_LEFT: case WMSZ_TOPLEFT: case WMSZ_BOTTOMLEFT:
      follow_low_side(&t->rect.left, t->rect.right, t->edge == WMSZ_TOPLEFT ? p.x - 2 : p.x, min_w, max_w);
      break;
    case WMSZ_RIGHT: case WMSZ_TOPRIGHT: case WMSZ_BOTTOMRIGHT:
      follow_high_side(t->rect.left, &t->rect.right, p.x, min_w, max_w);
      break;
  }
  switch (t->edge) {
    case WMSZ_TOP: case WMSZ_TOPLEFT: case WMSZ_TOPRIGHT:
      follow_low_side(&t->rect.top, t->rect.bottom, t->edge == WMSZ_TOPLEFT ? p.y - 2 : p.y, min_h, max_h);
      break;
    case WMSZ_BOTTOM: case WMSZ_BOTTOMLEFT: case WMSZ_BOTTOMRIGHT:
      follow_high_side(t->rect.top, &t->rect.bottom, p.y, min_h, max_h);
      break;
  }
  SendMessageA(window, WM_SIZING, static_cast<WPARAM>(t->edge), reinterpret_cast<LPARAM>(&t->rect));
  RECT r = t->rect;
  if (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD)
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

struct EdgeChoice {
  WPARAM key;
  int32_t from;
  int32_t to;
  LPCSTR cursor;
};

// An arrow key first picks the edge (or corner) it points at, with the
// cursor put where applying it reproduces the current rectangle; further
// presses move that edge.
static const EdgeChoice EDGE_CHOICES[] = {
    {VK_LEFT, 0, WMSZ_LEFT, IDC_SIZEWE},           {VK_LEFT, WMSZ_TOP, WMSZ_TOPLEFT, IDC_SIZENWSE},
    {VK_LEFT, WMSZ_BOTTOM, WMSZ_BOTTOMLEFT, IDC_SIZENESW},
    {VK_UP, 0, WMSZ_TOP, IDC_SIZENS},              {VK_UP, WMSZ_RIGHT, WMSZ_TOPRIGHT, IDC_SIZENESW},
    {VK_UP, WMSZ_LEFT, WMSZ_TOPLEFT, IDC_SIZENWSE},
    {VK_RIGHT, 0, WMSZ_RIGHT, IDC_SIZEWE},         {VK_RIGHT, WMSZ_TOP, WMSZ_TOPRIGHT, IDC_SIZENESW},
    {VK_RIGHT, WMSZ_BOTTOM, WMSZ_BOTTOMRIGHT, IDC_SIZENWSE},
    {VK_DOWN, 0, WMSZ_BOTTOM, IDC_SIZENS},         {VK_DOWN, WMSZ_RIGHT, WMSZ_BOTTOMRIGHT, IDC_SIZENWSE},
    {VK_DOWN, WMSZ_LEFT, WMSZ_BOTTOMLEFT, IDC_SIZENESW},
};

static POINT edge_point(int32_t edge, POINT c, const RECT& r) {
  switch (edge) {
    case WMSZ_LEFT: return {r.left, c.y};
    case WMSZ_RIGHT: return {r.right - 2, c.y};
    case WMSZ_TOP: return {c.x, r.top};
    case WMSZ_BOTTOM: return {c.x, r.bottom - 2};
    case WMSZ_TOPLEFT: return {r.left + 2, r.top + 2};
    case WMSZ_TOPRIGHT: return {r.right - 2, r.top};
    case WMSZ_BOTTOMLEFT: return {r.left, r.bottom - 2};
    default: return {r.right - 2, r.bottom - 2};
  }
}

static void on_arrow_key(HWND window, WPARAM key) {
  SizeTracking* t = g_sizing;
  POINT c;
  GetCursorPos(&c);
  for (const EdgeChoice& choice : EDGE_CHOICES) {
    if (choice.key != key || choice.from != t->edge) continue;
    t->edge = choice.to;
    POINT at = edge_point(choice.to, c, t->rect);
    SetCursorPos(at.x, at.y);
    show_shared_cursor(choice.cursor);
    return;
  }
  if (key == VK_LEFT) c.x -= KEY_STEP;
  if (key == VK_RIGHT) c.x += KEY_STEP;
  if (key == VK_UP) c.y -= KEY_STEP;
  if (key == VK_DOWN) c.y += KEY_STEP;
  SetCursorPos(c.x, c.y);
  apply_point(window, c);
}

LRESULT track_sizing_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  SizeTracking* t = g_sizing;
  if (!t) return NOT_HANDLED;
  if (!t->active) {
    if (message != WM_SYSCOMMAND || (wparam & 0xFFF0) != SC_SIZE) return NOT_HANDLED;
    return start_sizing(window, wparam) ? 0 : NOT_HANDLED;
  }
  // Only the window being sized; another runtime window's keys are its own.
  if (window != t->window) return NOT_HANDLED;
  switch (message) {
    case WM_MOUSEMOVE: {
      t->keyboard_started = 0;
      POINT p = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      ClientToScreen(window, &p);
      apply_point(window, p);
      return 0;
    }
    case WM_KEYDOWN:
      if (wparam == VK_RETURN || wparam == VK_ESCAPE) {
        // The size reached stays, Esc included.
        ReleaseCapture();
        return 0;
      }
      if (wparam == VK_LEFT || wparam == VK_UP || wparam == VK_RIGHT || wparam == VK_DOWN) on_arrow_key(window, wparam);
      return NOT_HANDLED;
    case WM_LBUTTONUP:
      ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      PostMessageA(window, WM_EXITSIZEMOVE, 0, 0);
      t->active = 0;
      t->window = nullptr;
      if (t->keyboard_started) SetCursorPos(t->saved_cursor.x, t->saved_cursor.y);
      return 0;
  }
  return NOT_HANDLED;
}
