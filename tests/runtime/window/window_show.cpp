// Opens the converter's window through the runtime for a look by eye, with
// three tab stops to walk with Tab, and serves its events until the close
// box is pressed or `seconds` (default 6) have passed.
#include <windows.h>

#include <cstdlib>

#include "runtime/base/string_workspace.h"
#include "runtime/window/event_queue.h"
#include "runtime/window/event_state.h"
#include "runtime/window/runtime_heap.h"
#include "runtime/window/window.h"

int main(int argc, char** argv) {
  int seconds = argc > 1 ? atoi(argv[1]) : 6;
  runtime_heap_create();
  workspace_init();
  event_queue_init();
  window_library_init();
  open_window(0, 0, 0, 168, 156, " quarvo converter", WINDOW_SCREEN_CENTRE | WS_CAPTION | WS_SYSMENU);
  HWND window = window_handle(0);
  const char* labels[] = {"one", "two", "three"};
  for (int i = 0; i < 3; i++)
    CreateWindowExA(0, "BUTTON", labels[i], WS_CHILD | WS_VISIBLE | WS_TABSTOP, 24, 16 + 40 * i, 120, 28, window,
                    nullptr, nullptr, nullptr);
  DWORD end = GetTickCount() + seconds * 1000;
  while (GetTickCount() < end) {
    if (wait_window_event_timeout(50) == EVENT_CLOSE_WINDOW) break;
  }
  close_all_windows();
  return 0;
}
