// The runtime's event codes and the queue that window and gadget
// procedures post into while a message is dispatched. wait_window_event
// hands queued events out one per call, oldest first, before it fetches the
// next native message. GUI thread only.
#pragma once

#include <cstdint>

#include "runtime/window/block_pool.h"
#include "runtime/window/registry.h"

// Codes below 13100 reuse the number of the native message behind them.
constexpr int32_t EVENT_MOVE_WINDOW = 3;
constexpr int32_t EVENT_SIZE_WINDOW = 5;
constexpr int32_t EVENT_REPAINT = 15;
constexpr int32_t EVENT_CLOSE_WINDOW = 16;
constexpr int32_t EVENT_LEFT_CLICK = 513;  // WM_LBUTTONDOWN that made no other event
constexpr int32_t EVENT_GADGET = 13100;
constexpr int32_t EVENT_MENU = 13101;
constexpr int32_t EVENT_SYSTRAY = 13102;
constexpr int32_t EVENT_ACTIVATE_WINDOW = 13104;
constexpr int32_t EVENT_WINDOW_DROP = 13105;
constexpr int32_t EVENT_GADGET_DROP = 13106;
constexpr int32_t EVENT_MINIMIZE_WINDOW = 13107;
constexpr int32_t EVENT_MAXIMIZE_WINDOW = 13108;
constexpr int32_t EVENT_RESTORE_WINDOW = 13109;
constexpr int32_t EVENT_TIMER = 13110;

// Object and window are ids, pointer-sized: an OBJECT_ANY window or gadget
// is known by its record address.
struct QueuedEvent {
  QueuedEvent* next;  // newer event, null for the tail
  int32_t code;
  ObjectId object;
  ObjectId window;
  int32_t type;
};

struct EventQueue {
  BlockPool* pool;  // one QueuedEvent per item
  QueuedEvent* head;
  QueuedEvent* tail;
};

// Creates the queue and its pool, and keeps one block of the pool for ever
// so that its first chunk is never given back and made again. Once, at
// start-up.
void event_queue_init();

// Appends an event, unless the newest queued one is identical (a burst of
// repaints or moves arrives once). Dropped when the pool has no room.
void post_event(int32_t code, ObjectId object, ObjectId window, int32_t type);

// Removes the oldest event, writes its fields out and returns its code; 0
// (outputs untouched) when the queue is empty. Null outputs are skipped.
int32_t pop_event(ObjectId* object, ObjectId* window, int32_t* type);

// The queue itself, for the runtime and its tests.
EventQueue* event_queue();
