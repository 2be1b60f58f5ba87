// OLE drag and drop onto numbered windows and gadgets. A window or gadget
// accepts the drop types enabled on it; a completed drop becomes a drop
// event (EVENT_WINDOW_DROP or EVENT_GADGET_DROP) whose payload the accessors
// below read until the next wait for an event. GUI thread only.
#pragma once

#include <windows.h>
#include <cstdint>

#include "runtime/window/registry.h"

// Drop types are clipboard format numbers; any other non-zero number is
// taken as a clipboard format as it stands.
constexpr int32_t DROP_TYPE_TEXT = 1;       // CF_TEXT
constexpr int32_t DROP_TYPE_IMAGE = 8;      // CF_DIB
constexpr int32_t DROP_TYPE_FILES = 15;     // CF_HDROP
constexpr int32_t DROP_TYPE_PRIVATE = 512;  // CF_PRIVATEFIRST, told apart by a private key

// Actions are sets of DROPEFFECT_COPY (1), DROPEFFECT_MOVE (2) and
// DROPEFFECT_LINK (4); 0 disables a drop type.
constexpr int32_t DROP_ACTIONS_ALL = 7;

// OleInitialize(NULL) and its result. Once, on the GUI thread, before any
// window is made; OleUninitialize belongs to the program's shutdown.
HRESULT drag_drop_init();

// Enables (actions non-zero) or disables (actions 0) a drop type on a
// window; a private drop (type 512) is enabled per key. Type 0 and unknown
// windows are ignored; failures leave the window as it was.
void enable_window_drop(ObjectId window, int32_t type, int32_t actions, int32_t private_key = 0);

// The same for a gadget. Check boxes, radio buttons and group boxes that
// overlap it are then put behind it, so that they do not hide it from a drag.
void enable_gadget_drop(ObjectId gadget, int32_t type, int32_t actions, int32_t private_key = 0);

// The drop type of the current event's payload; 0 when it carries none.
int32_t event_drop_type();

// The current event's dropped paths, joined by "\n" with none after the
// last, written at workspace offset p; the empty text unless the event
// carries a file drop. The position is left behind the text.
char* event_drop_files(int32_t p);
