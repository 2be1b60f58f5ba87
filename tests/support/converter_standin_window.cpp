// A window that looks like the converter's from outside, for the probe's own
// test: the same title, a status bar with the same three fields and texts,
// a progress control in field 1 while "busy". Nothing is converted.
//   converter_standin_window TITLE                 idle until closed
//   converter_standin_window TITLE BATCH STEP_MS   idle for a second (half a
//                                    second at first), then counts a batch of
//                                    BATCH files, one every STEP_MS; again and
//                                    again, so that a late probe sees one
//   converter_standin_window TITLE BATCH STEP_MS drawn
//                                    the same with the busy indicator drawn
//                                    into the field, as the converter's
//                                    status bar does without visual styles
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Centred, as the converter sets every text: a leading tab. UTF-8, the
// code page its manifest gives it, as the converter's gives the converter.
static const char IDLE_TEXT[] = "\tТащи сюда!";
static constexpr UINT_PTR INDICATOR_TIMER = 1, BATCH_TIMER = 2, START_TIMER = 3;

static HWND g_bar, g_progress;
static int g_batch, g_step_ms, g_done, g_position;
static bool g_drawn;

static void set_counter(int done, int total) {
  char text[32];
  snprintf(text, sizeof text, "\t%d/%d", done, total);
  SendMessageA(g_bar, SB_SETTEXTA, 2, reinterpret_cast<LPARAM>(text));
}

static void draw_indicator(const DRAWITEMSTRUCT* item) {
  RECT r = item->rcItem;
  InflateRect(&r, -1, -1);
  r.right = r.left + (r.right - r.left) * g_position / 100;
  FillRect(item->hDC, &r, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1));
}

static void redraw_indicator() {
  RECT part;
  SendMessageA(g_bar, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
  SendMessageA(g_bar, SB_SETTEXTA, 1 | SBT_OWNERDRAW, 0);
  InvalidateRect(g_bar, &part, TRUE);
}

static void show_indicator(bool busy) {
  if (g_drawn) {
    if (busy) redraw_indicator();
    else SendMessageA(g_bar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(IDLE_TEXT));
    return;
  }
  RECT part;
  SendMessageA(g_bar, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
  MoveWindow(g_progress, part.left + 2, part.top + 3, part.right - part.left - 8, part.bottom - part.top - 6, TRUE);
  ShowWindow(g_progress, busy ? SW_SHOWNOACTIVATE : SW_HIDE);
  SendMessageA(g_bar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(busy ? "" : IDLE_TEXT));
}

static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == START_TIMER) {
        KillTimer(window, START_TIMER);
        show_indicator(true);
        set_counter(1, g_batch);
        SetTimer(window, INDICATOR_TIMER, 50, nullptr);
        SetTimer(window, BATCH_TIMER, g_step_ms, nullptr);
      } else if (wparam == INDICATOR_TIMER) {
        g_position = g_position >= 100 ? 0 : g_position + 1;
        if (g_drawn) redraw_indicator();
        else SendMessageA(g_progress, PBM_SETPOS, g_position, 0);
      } else if (wparam == BATCH_TIMER) {
        if (++g_done < g_batch) {
          set_counter(g_done + 1, g_batch);
        } else {
          KillTimer(window, BATCH_TIMER);
          KillTimer(window, INDICATOR_TIMER);
          show_indicator(false);
          g_done = 0;
          SetTimer(window, START_TIMER, 1000, nullptr);
        }
      }
      return 0;
    case WM_DRAWITEM:
      if (reinterpret_cast<const DRAWITEMSTRUCT*>(lparam)->hwndItem == g_bar) {
        draw_indicator(reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 2) return 2;
  const char* title = __argv[1];
  if (__argc >= 4) {
    g_batch = atoi(__argv[2]);
    g_step_ms = atoi(__argv[3]);
    g_drawn = __argc == 5 && !strcmp(__argv[4], "drawn");
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = window_proc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = "converter_standin_window";
  RegisterClassA(&window_class);
  DWORD style = WS_CAPTION | WS_SYSMENU;
  RECT outer = {0, 0, 168, 156};
  AdjustWindowRectEx(&outer, style, FALSE, 0);
  HWND window = CreateWindowExA(0, window_class.lpszClassName, title, style, 100, 100, outer.right - outer.left,
                                outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
  g_bar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window, nullptr, instance,
                          nullptr);
  int edges[3] = {46, 121, -1};
  SendMessageA(g_bar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
  SendMessageA(g_bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("\t128 kbit"));
  set_counter(0, 0);
  g_progress = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 0, 0, g_bar, nullptr, instance, nullptr);
  show_indicator(false);
  ShowWindow(window, SW_SHOW);
  if (g_batch > 0) SetTimer(window, START_TIMER, 500, nullptr);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
