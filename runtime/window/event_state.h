// The current event: wait_window_event fetches one native message, lets
// the window procedures turn it into a runtime event (queued, or pending
// for the same call) and returns a single code. The event as returned is
// kept in last_event, which the accessors below read. GUI thread only.
#pragma once

#include <windows.h>
#include <cstdint>

#include "runtime/window/event_queue.h"

// What a drop target hands over with a drop event. The event state owns it
// from the moment the window procedure records it: it is freed, data first,
// when the next wait begins or at shutdown.
struct DropPayload {
  int32_t type;         // drop type (clipboard format), 512 for a private drop
  int32_t private_key;
  int32_t effect;       // the chosen drop effect: 1, 2 or 4
  int32_t x;            // drop point in the target's client coordinates
  int32_t y;
  void* data;           // runtime-heap copy of the dropped block, or null
  int32_t size;
};

struct EventFields {
  ObjectId object;
  ObjectId window;
  int32_t type;
  int32_t pending;
  WPARAM wparam;
  LPARAM lparam;
};

struct EventState {
  ObjectId event_object;   // gadget, command, timer or tray icon id, or window
  ObjectId event_window;   // the runtime window of the last message, -1 for none
  int32_t event_type;      // -1 at the start of every wait
  int32_t pending_event;   // set by a window procedure during the dispatch; 0 = none
  WPARAM event_wparam;     // of the native message returned as an event
  LPARAM event_lparam;
  EventFields last_event;  // the six fields above as the last wait returned them
  DropPayload* drop_payload;
};

// Made by window_library_init; null when the heap was out then, and every
// message handler must cope with that.
void event_state_create();
EventState* event_state();

// Puts `state` in place of the event state and returns the one it had.
// Tests use it to see messages arrive where no event state exists.
EventState* exchange_event_state(EventState* state);

// Fetches and dispatches at most one native message and returns the event
// it made, a queued event first if there is one, else the message number.
// ms = -1 waits without limit, 0 does not wait, more waits that long; 0 is
// returned when nothing arrived in time (and for a retrieved WM_NULL).
int32_t wait_window_event_timeout(int32_t ms);

// wait_window_event_timeout(-1).
int32_t wait_window_event();

// The event the last wait returned.
ObjectId event_object();  // gadget, menu command, timer or tray icon id
ObjectId event_window();  // window id, -1 when the message had no runtime window
int32_t event_type();     // sub-type (notification code, gadget event type), -1 for none
WPARAM event_wparam();    // native events only, 0 otherwise
LPARAM event_lparam();

// Records a drop payload as the current event's, freeing one it replaces;
// without an event state the payload is freed at once.
void set_drop_payload(DropPayload* payload);

// Frees the held drop payload and its data, if any.
void release_drop_payload();
