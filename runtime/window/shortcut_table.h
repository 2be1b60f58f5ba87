// Which accelerators apply to the next message: asked by wait_window_event
// for the active window before every dispatch.
#pragma once

#include <windows.h>

// The window's accelerator table, or null when the window is no runtime
// window or the focused control needs the keys itself: a writable rich-edit
// control gets a plain Tab, a control marked XR_Hotkey gets every key.
HACCEL shortcut_table(HWND window);
