#include "runtime/window/event_state.h"

#include "runtime/window/runtime_heap.h"
#include "runtime/window/shortcut_table.h"
#include "runtime/window/state_block.h"

static EventState* g_state = nullptr;

void event_state_create() {
  g_state = static_cast<EventState*>(state_block_create(sizeof(EventState), nullptr, nullptr));
}

EventState* event_state() { return g_state; }

EventState* exchange_event_state(EventState* state) {
  EventState* previous = g_state;
  g_state = state;
  return previous;
}

static void free_payload(DropPayload* payload) {
  if (!payload) return;
  runtime_free(payload->data);
  runtime_free(payload);
}

void release_drop_payload() {
  if (!g_state || !g_state->drop_payload) return;
  free_payload(g_state->drop_payload);
  g_state->drop_payload = nullptr;
}

void set_drop_payload(DropPayload* payload) {
  if (!g_state) {
    free_payload(payload);  // nothing would ever free it
    return;
  }
  // Two drops dispatched outside a wait (in a modal loop) would otherwise
  // lose the first payload.
  if (g_state->drop_payload != payload) release_drop_payload();
  g_state->drop_payload = payload;
}

// One message for the thread, or false when none came within `ms`.
static bool fetch_message(int32_t ms, MSG* msg) {
  if (ms < 0) {
    // WM_QUIT and failures are not told apart: the message is dispatched
    // and returned like any other.
    GetMessageA(msg, nullptr, 0, 0);
    return true;
  }
  const UINT remove = PM_REMOVE | PM_NOYIELD;
  if (PeekMessageA(msg, nullptr, 0, 0, remove)) return true;
  if (ms == 0) return false;
  // Every input kind except raw input wakes the wait.
  const DWORD wake_mask = 0x1FF;
  if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ms), wake_mask) == WAIT_TIMEOUT) return false;
  return PeekMessageA(msg, nullptr, 0, 0, remove) != 0;
}

int32_t wait_window_event_timeout(int32_t ms) {
  EventState* s = g_state;
  if (!s) return 0;
  release_drop_payload();
  // A pending event left by a dispatch outside a wait (a modal loop) is
  // stale by now.
  s->event_type = -1;
  s->pending_event = 0;

  int32_t code = pop_event(&s->event_object, &s->event_window, &s->event_type);
  if (code) {
    s->pending_event = code;
    s->event_wparam = 0;
    s->event_lparam = 0;
  } else {
    MSG msg = {};
    if (!fetch_message(ms, &msg)) return 0;
    HWND active = GetActiveWindow();
    HACCEL table = shortcut_table(active);
    if (!table || !TranslateAcceleratorA(active, table, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (s->pending_event) {
      code = s->pending_event;
      s->pending_event = 0;
    } else {
      code = static_cast<int32_t>(msg.message);
      s->event_wparam = msg.wParam;
      s->event_lparam = msg.lParam;
    }
  }
  s->last_event = {s->event_object, s->event_window, s->event_type, s->pending_event, s->event_wparam,
                   s->event_lparam};
  return code;
}

int32_t wait_window_event() { return wait_window_event_timeout(-1); }

ObjectId event_object() { return g_state ? g_state->last_event.object : 0; }
ObjectId event_window() { return g_state ? g_state->last_event.window : -1; }
int32_t event_type() { return g_state ? g_state->last_event.type : -1; }
WPARAM event_wparam() { return g_state ? g_state->last_event.wparam : 0; }
LPARAM event_lparam() { return g_state ? g_state->last_event.lparam : 0; }
