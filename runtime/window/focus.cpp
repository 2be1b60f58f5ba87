#include "runtime/window/focus.h"

#include <cstring>

static bool is_tab_stop(HWND w) {
  return IsWindowEnabled(w) && IsWindowVisible(w) && (GetWindowLongPtrA(w, GWL_STYLE) & WS_TABSTOP);
}

static BOOL CALLBACK step_forward(HWND w, LPARAM param) {
  auto* walk = reinterpret_cast<FocusWalk*>(param);
  if (!is_tab_stop(w)) return TRUE;
  if (walk->take_next) {
    SetFocus(w);
    walk->take_next = 0;
    return FALSE;
  }
  if (!walk->reference) {
    SetFocus(w);
    return FALSE;
  }
  if (w == walk->reference) walk->take_next = 1;
  return TRUE;
}

static BOOL CALLBACK step_backward(HWND w, LPARAM param) {
  auto* walk = reinterpret_cast<FocusWalk*>(param);
  if (!is_tab_stop(w)) return TRUE;
  if (w == walk->reference && walk->previous) {
    SetFocus(walk->previous);
    walk->done = 1;
    walk->previous = w;
    return FALSE;
  }
  walk->previous = w;
  return TRUE;
}

// The stop a move starts from: the focused control, or the composite
// control around it, whose inner edit field is no stop of its own.
static HWND reference_of(HWND focus) {
  HWND reference = focus;
  for (HWND w = focus; w; w = GetParent(w)) {
    char name[51] = {};
    GetClassNameA(w, name, sizeof name);
    // Style bit 0x1 marks the ComboBoxEx kinds counted as one stop.
    if (strcmp(name, "ComboBoxEx32") == 0 && (GetWindowLongPtrA(w, GWL_STYLE) & 0x1))
      reference = w;
    else if (strcmp(name, "SysIPAddress32") == 0)
      reference = w;
  }
  return reference;
}

void move_focus(int32_t backward) {
  HWND root = GetActiveWindow();
  // Without an active window the enumeration would walk the whole desktop.
  if (!root) return;
  HWND focus = GetFocus();
  FocusWalk walk = {};
  walk.reference = IsChild(root, focus) ? reference_of(focus) : nullptr;
  auto param = reinterpret_cast<LPARAM>(&walk);
  if (!backward) {
    EnumChildWindows(root, step_forward, param);
    // The reference was the last stop: wrap round to the first.
    if (walk.take_next) EnumChildWindows(root, step_forward, param);
    return;
  }
  EnumChildWindows(root, step_backward, param);
  // No stop before the reference (or no reference): the last one.
  if (!walk.done && walk.previous) SetFocus(walk.previous);
}
