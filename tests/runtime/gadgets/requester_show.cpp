// Shows the bit-rate requester for a look by eye: over a window of the
// converter's size, with its prompt and the start value. Closes itself
// after `seconds` (first argument, default 6) unless answered sooner, and
// prints what it was given.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "runtime/base/string_workspace.h"
#include "runtime/gadgets/requester.h"
#include "runtime/window/runtime_heap.h"

static const char BITRATE_TITLE_1251[] =
    "\xD3\xEA\xE0\xE6\xE8 \xE6\xE5\xEB\xE0\xE5\xEC\xFB\xE9 \xE1\xE8\xF2\xF0\xE5\xE9\xF2 mp3";

static void CALLBACK give_up(HWND, UINT, UINT_PTR, DWORD) {
  HWND requester = FindWindowA("InputRequester", nullptr);
  if (requester) PostMessageA(requester, WM_CLOSE, 0, 0);
}

int main(int argc, char** argv) {
  runtime_heap_create();
  workspace_init();
  requester_library_init();
  int seconds = argc > 1 ? atoi(argv[1]) : 6;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "RequesterShow";
  RegisterClassA(&wc);
  RECT r = {0, 0, 168, 156};
  AdjustWindowRectEx(&r, WS_CAPTION | WS_SYSMENU, FALSE, 0);
  HWND window = CreateWindowExA(0, wc.lpszClassName, " quarvo converter", WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100,
                                100, r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
  SetForegroundWindow(window);
  SetTimer(nullptr, 0, seconds * 1000, give_up);
  char* answer = input_requester(BITRATE_TITLE_1251, "", "128", 0);
  printf("answer: \"%s\"\n", answer);
  fflush(stdout);
  ExitProcess(0);
}
