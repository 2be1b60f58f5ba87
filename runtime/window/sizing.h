// The runtime's own sizing loop. Windows' loop would keep the thread inside
// DefWindowProcA until the user lets go; this one runs on the messages that
// wait_window_event retrieves, so the program keeps getting its events
// while a window is resized. It takes over only with full-window dragging.
#pragma once

#include <windows.h>
#include <cstdint>

struct SizeTracking {
  int32_t active;            // 1 while a sizing runs
  int32_t keyboard_started;  // started from the keyboard and no mouse move yet
  POINT saved_cursor;        // put back at the end of a keyboard sizing
  RECT rect;                 // the window rectangle being tracked, screen coordinates
  int32_t edge;              // WMSZ_LEFT .. WMSZ_BOTTOMRIGHT, 0 until a key picks one
  MINMAXINFO limits;         // only the tracking sizes are used
  HWND window;               // the window being sized; others' messages are not taken
};

// Made by window_library_init.
void sizing_state_create();
SizeTracking* sizing_state();

// Starts on WM_SYSCOMMAND SC_SIZE, then takes mouse moves, arrow keys,
// Enter, Esc and the button's release until the capture goes. The message's
// result, or NOT_HANDLED for what it leaves to the rest of the procedure.
LRESULT track_sizing_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
