// Shows the converter's window with its logo and status bar for a look by
// eye (screenshots under Xvfb). Closes after the given seconds (default 6).
#include <windows.h>

#include <cstdlib>

#include "runtime/base/string_workspace.h"
#include "runtime/window/runtime_heap.h"
#include "tests/app/logo_startup.h"

int main(int argc, char** argv) {
  runtime_heap_create();
  workspace_init();
  start_logo_libraries();
  open_converter_window();
  int seconds = argc > 1 ? atoi(argv[1]) : 6;
  DWORD end = GetTickCount() + seconds * 1000;
  while (GetTickCount() < end) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  ExitProcess(0);
}
