// Tab and Shift+Tab: the accelerators of every runtime window turn into a
// move of the focus over the active window's enabled, visible WS_TABSTOP
// descendants in enumeration order, wrapping at either end.
#pragma once

#include <windows.h>
#include <cstdint>

struct FocusWalk {
  HWND reference;     // where the move starts, or null to take the first (last) stop
  HWND previous;      // the last stop seen, backward moves
  int32_t take_next;  // the next stop gets the focus, forward moves
  int32_t done;       // the focus was set, backward moves
};

// backward 0 = Tab, 1 = Shift+Tab. A composite control (an IP address
// field, an editable ComboBoxEx) counts as one stop, not as its inner edit.
void move_focus(int32_t backward);
