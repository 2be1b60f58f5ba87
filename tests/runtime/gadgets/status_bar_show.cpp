// Shows the converter's status bar for a look by eye: a window of client
// size 168 x 156 whose busy field is driven by a thread that never reads
// messages, as the busy indicator is. "--styles" takes the progress-control
// path that Windows with visual styles takes. Closes after `seconds`.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "runtime/gadgets/status_bar.h"
#include "runtime/window/runtime_heap.h"

static DWORD WINAPI drive_progress(void*) {
  for (int i = 0;; i = (i + 1) % 101) {
    Sleep(50);
    status_bar_set_progress(0, 1, i);
  }
}

int main(int argc, char** argv) {
  runtime_heap_create();
  if (argc > 1 && strcmp(argv[1], "--styles") == 0) status_bar_override_probe(0x60000, 1);
  int seconds = argc > 2 ? atoi(argv[2]) : 6;
  status_bar_library_init();
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "StatusBarShow";
  RegisterClassA(&wc);
  RECT r = {0, 0, 168, 156};
  AdjustWindowRectEx(&r, WS_CAPTION | WS_SYSMENU, FALSE, 0);
  HWND window = CreateWindowExA(0, wc.lpszClassName, " quarvo converter", WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100,
                                100, r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
  create_status_bar(0, window);
  status_bar_add_field(VALUE_IGNORE);
  status_bar_add_field(75);
  status_bar_add_field(VALUE_IGNORE);
  status_bar_set_text(0, 0, "128 kbit", FIELD_ALIGN_CENTRE);
  status_bar_set_text(0, 2, "2/7", FIELD_ALIGN_CENTRE);
  CreateThread(nullptr, 0, drive_progress, nullptr, 0, nullptr);
  DWORD end = GetTickCount() + seconds * 1000;
  while (GetTickCount() < end) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  ExitProcess(0);
}
