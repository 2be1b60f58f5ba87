#include "runtime/window/event_queue.h"

#include "runtime/window/state_block.h"

static EventQueue* g_queue = nullptr;

static void create_pool(void* block) {
  auto* queue = static_cast<EventQueue*>(block);
  queue->pool = pool_create(sizeof(QueuedEvent), 16, 256);
  // Held for ever: the first chunk then never empties, so a queue that runs
  // dry does not give its chunk back and make it again on the next event.
  if (queue->pool) pool_alloc(queue->pool);
}

void event_queue_init() {
  g_queue = static_cast<EventQueue*>(state_block_create(sizeof(EventQueue), create_pool, nullptr));
}

EventQueue* event_queue() { return g_queue; }

void post_event(int32_t code, ObjectId object, ObjectId window, int32_t type) {
  if (!g_queue || !g_queue->pool) return;
  QueuedEvent* tail = g_queue->tail;
  if (tail && tail->code == code && tail->object == object && tail->window == window && tail->type == type)
    return;
  auto* event = static_cast<QueuedEvent*>(pool_alloc(g_queue->pool));
  if (!event) return;
  event->next = nullptr;
  event->code = code;
  event->object = object;
  event->window = window;
  event->type = type;
  if (tail)
    tail->next = event;
  else
    g_queue->head = event;
  g_queue->tail = event;
}

int32_t pop_event(ObjectId* object, ObjectId* window, int32_t* type) {
  if (!g_queue || !g_queue->head) return 0;
  QueuedEvent* event = g_queue->head;
  if (object) *object = event->object;
  if (window) *window = event->window;
  if (type) *type = event->type;
  int32_t code = event->code;
  g_queue->head = event->next;
  if (g_queue->tail == event) g_queue->tail = nullptr;
  pool_free(g_queue->pool, event);
  return code;
}
