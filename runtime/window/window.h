// Top-level windows by number. Each window gets a class of its own,
// "WindowClass_<id>", whose procedure is window_proc; its id travels with
// the native window as the property XR_WindowID (id + 1, so that window 0
// reads as present), and its accelerator table turns Tab and Shift+Tab into
// focus moves. GUI thread only.
#pragma once

#include <windows.h>
#include <cstdint>

#include "runtime/window/registry.h"
#include "runtime/window/value_ignore.h"

// Flags of open_window. Bits 0-3 and 28 are the runtime's; every other bit
// is a window-style bit passed to Windows as it stands (WS_CAPTION,
// WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, ...).
constexpr uint32_t WINDOW_SCREEN_CENTRE = 0x00000001;
constexpr uint32_t WINDOW_PARENT_CENTRE = 0x00000002;  // on the parent, else the active window
constexpr uint32_t WINDOW_TOOL = 0x00000004;           // caption, no min/max boxes, tool frame
constexpr uint32_t WINDOW_NO_GADGET_LIST = 0x00000008; // new gadgets keep going where they went
constexpr uint32_t WINDOW_INVISIBLE = 0x10000000;      // created hidden and left hidden

// The commands of the Tab and Shift+Tab accelerators.
constexpr WORD FOCUS_NEXT_COMMAND = 64001;
constexpr WORD FOCUS_PREVIOUS_COMMAND = 64002;

struct WindowRecord {
  HWND handle;               // the live field: nonzero while the window exists
  ACCEL* accelerators;       // runtime heap, owned
  HACCEL accelerator_table;  // made from `accelerators`
  int32_t accelerator_count;
  int32_t min_max_state;     // 1 while minimised or maximised: the next restore is an event
};

// Creates the window registry, the event state and the sizing state, and
// loads the class icon (resource 1) and cursor. Once, at start-up, after
// event_queue_init.
void window_library_init();

// Opens window `number` (one already open under it is closed first) or a
// new OBJECT_ANY window. width and height are the client size; x or y
// VALUE_IGNORE lets Windows place it unless a centring flag is given; a
// null title is the empty one. Returns the native handle for a number, the
// record address (the window's id) for OBJECT_ANY, 0 on failure.
INT_PTR open_window(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                    const char* title, uint32_t flags);

// open_window with a parent (or owner) window; null is none.
INT_PTR open_window_with_parent(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                                const char* title, uint32_t flags, HWND parent);

// The native handle of a window, or 0 when it is not open.
HWND window_handle(ObjectId window);

// Destroys the window, its class and its accelerators and frees its id;
// nothing for a window that is not open. Activation goes back to the owner.
void close_window(ObjectId window);

// Closes every window, then frees a drop payload still held. At shutdown.
void close_all_windows();

// The nearest window carrying XR_WindowID, starting with `window` and going
// up through GetParent; the topmost ancestor when none carries it.
HWND owning_window(HWND window);

// For the runtime's own use: the record of an open window; the id stored
// on a native window (-1 when it carries none); the window registry.
WindowRecord* window_lookup(ObjectId window);
ObjectId window_id_of(HWND window);
ObjectRegistry* window_registry();

// The program's module handle, as classes and properties are named with it.
HINSTANCE window_instance();
