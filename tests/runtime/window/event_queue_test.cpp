// The event queue and the wait: folding, order of delivery, the three
// kinds of timeout, and the lifetime of a drop payload.
#include "tests/runtime/window/window_fixture.h"

#include <thread>

namespace {

class EventQueueTest : public WindowTest {};

struct Popped {
  int32_t code;
  ObjectId object, window;
  int32_t type;
};

Popped pop() {
  Popped p = {0, -7, -7, -7};
  p.code = pop_event(&p.object, &p.window, &p.type);
  return p;
}

TEST_F(EventQueueTest, IdenticalEventsAtTheTailFoldButNotAcrossAnother) {
  post_event(EVENT_REPAINT, 0, 1, 0);
  post_event(EVENT_REPAINT, 0, 1, 0);
  post_event(EVENT_REPAINT, 0, 1, 0);
  EXPECT_EQ(pop().code, EVENT_REPAINT);
  EXPECT_EQ(pop().code, 0);

  post_event(EVENT_MOVE_WINDOW, 1, 1, 0);
  post_event(EVENT_SIZE_WINDOW, 0, 1, 0);
  post_event(EVENT_MOVE_WINDOW, 1, 1, 0);
  EXPECT_EQ(pop().code, EVENT_MOVE_WINDOW);
  EXPECT_EQ(pop().code, EVENT_SIZE_WINDOW);
  EXPECT_EQ(pop().code, EVENT_MOVE_WINDOW);
  EXPECT_EQ(pop().code, 0);

  // Any field that differs makes a new event.
  post_event(EVENT_GADGET, 4, 1, 0);
  post_event(EVENT_GADGET, 4, 1, 1);
  post_event(EVENT_GADGET, 4, 2, 1);
  post_event(EVENT_GADGET, 5, 2, 1);
  int n = 0;
  while (pop().code) n++;
  EXPECT_EQ(n, 4);

  // Once the earlier copy has been taken, the same event queues again.
  post_event(EVENT_REPAINT, 0, 1, 0);
  EXPECT_EQ(pop().code, EVENT_REPAINT);
  post_event(EVENT_REPAINT, 0, 1, 0);
  EXPECT_EQ(pop().code, EVENT_REPAINT);
}

TEST_F(EventQueueTest, PopHandsOutFieldsOldestFirstAndLeavesThemOnAnEmptyQueue) {
  post_event(EVENT_GADGET, 7, 2, 3);
  post_event(EVENT_CLOSE_WINDOW, 2, 2, 0);
  Popped first = pop();
  EXPECT_EQ(first.code, EVENT_GADGET);
  EXPECT_EQ(first.object, 7);
  EXPECT_EQ(first.window, 2);
  EXPECT_EQ(first.type, 3);
  EXPECT_EQ(pop().code, EVENT_CLOSE_WINDOW);
  Popped none = pop();
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.object, -7);
  EXPECT_EQ(event_queue()->head, nullptr);
  EXPECT_EQ(event_queue()->tail, nullptr);
}

TEST_F(EventQueueTest, AQueueOfThousandsKeepsOrderAcrossPoolChunks) {
  // More than the largest chunk, so the pool must chain several.
  for (int i = 0; i < 3000; i++) post_event(EVENT_GADGET, i, 0, i % 3);
  for (int i = 0; i < 3000; i++) {
    Popped p = pop();
    ASSERT_EQ(p.code, EVENT_GADGET);
    ASSERT_EQ(p.object, i);
    ASSERT_EQ(p.type, i % 3);
  }
  EXPECT_EQ(pop().code, 0);
  // Interleaved use after the queue ran dry.
  post_event(EVENT_TIMER, 1, 0, 0);
  EXPECT_EQ(pop().code, EVENT_TIMER);
}

TEST_F(EventQueueTest, IdIsPointerWide) {
  ObjectId big = static_cast<ObjectId>(sizeof(void*) == 8 ? 0x7FF612345678LL : 0x7FFF1234);
  post_event(EVENT_GADGET, big, big, 0);
  Popped p = pop();
  EXPECT_EQ(p.object, big);
  EXPECT_EQ(p.window, big);
}

TEST_F(EventQueueTest, AWaitWithoutLimitBlocksUntilAMessageComes) {
  DWORD gui = GetCurrentThreadId();
  std::thread poster([gui] {
    Sleep(150);
    PostThreadMessageA(gui, WM_USER + 5, 11, 22);
  });
  int32_t code = wait_window_event();
  poster.join();
  EXPECT_EQ(code, WM_USER + 5);
  EXPECT_EQ(event_wparam(), 11u);
  EXPECT_EQ(event_lparam(), 22);
  EXPECT_EQ(event_type(), -1);
}

TEST_F(EventQueueTest, ZeroAndFiniteWaitsReturnZeroWhenNothingComes) {
  EXPECT_EQ(wait_window_event_timeout(0), 0);
  EXPECT_EQ(wait_window_event_timeout(30), 0);
  // A message arriving during a long finite wait ends it with the message.
  DWORD gui = GetCurrentThreadId();
  std::thread poster([gui] {
    Sleep(100);
    PostThreadMessageA(gui, WM_USER + 6, 0, 0);
  });
  int32_t code = wait_window_event_timeout(20000);
  poster.join();
  EXPECT_EQ(code, WM_USER + 6);
  // A retrieved WM_NULL reads as nothing.
  PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
  EXPECT_EQ(wait_window_event_timeout(0), 0);
}

TEST_F(EventQueueTest, QueuedEventsGoBeforeTheNextNativeMessage) {
  auto window = reinterpret_cast<HWND>(open_window(1, 0, 0, 50, 50, "q", WINDOW_INVISIBLE));
  drain();
  PostMessageA(window, WM_USER + 1, 0, 0);
  post_event(EVENT_GADGET, 3, 1, 2);
  post_event(EVENT_TIMER, 4, 1, 0);
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_GADGET);
  EXPECT_EQ(event_object(), 3);
  EXPECT_EQ(event_window(), 1);
  EXPECT_EQ(event_type(), 2);
  EXPECT_EQ(event_wparam(), 0u);
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_TIMER);
  EXPECT_EQ(wait_window_event_timeout(0), WM_USER + 1);
  EXPECT_EQ(event_window(), 1);
  EXPECT_EQ(wait_window_event_timeout(0), 0);
}

TEST_F(EventQueueTest, TheReturnedEventStaysReadableWhileLaterDispatchesRun) {
  auto window = reinterpret_cast<HWND>(open_window(1, 0, 0, 50, 50, "q", WINDOW_INVISIBLE));
  drain();
  post_event(EVENT_GADGET, 9, 1, 4);
  ASSERT_EQ(wait_window_event_timeout(0), EVENT_GADGET);
  // A message sent outside the wait overwrites the live fields, not the
  // event as it was returned.
  SendMessageA(window, WM_TIMER, 77, 0);
  EXPECT_EQ(event_state()->event_object, 77);
  EXPECT_EQ(event_object(), 9);
  EXPECT_EQ(event_type(), 4);
  EXPECT_EQ(event_state()->last_event.pending, EVENT_GADGET);
}

TEST_F(EventQueueTest, ATimerBecomesThePendingEventOfItsOwnDispatch) {
  auto window = reinterpret_cast<HWND>(open_window(2, 0, 0, 50, 50, "t", WINDOW_INVISIBLE));
  drain();
  SetTimer(window, 42, 10, nullptr);
  int32_t code = next_event_except({EVENT_REPAINT, WM_PAINT});
  KillTimer(window, 42);
  EXPECT_EQ(code, EVENT_TIMER);
  EXPECT_EQ(event_object(), 42);
  EXPECT_EQ(event_window(), 2);
}

TEST_F(EventQueueTest, ADropPayloadLivesUntilTheNextWait) {
  auto window = reinterpret_cast<HWND>(open_window(3, 0, 0, 50, 50, "d", WINDOW_INVISIBLE));
  drain();
  auto* payload = static_cast<DropPayload*>(runtime_alloc_zeroed(sizeof(DropPayload)));
  payload->type = 15;
  payload->data = runtime_alloc(32);
  PostMessageA(window, EVENT_WINDOW_DROP, 0, reinterpret_cast<LPARAM>(payload));
  ASSERT_EQ(wait_window_event_timeout(0), EVENT_WINDOW_DROP);
  EXPECT_EQ(event_window(), 3);
  EXPECT_EQ(event_state()->drop_payload, payload);
  EXPECT_EQ(event_state()->drop_payload->type, 15);
  // Nobody read it; the next wait frees it all the same.
  wait_window_event_timeout(0);
  EXPECT_EQ(event_state()->drop_payload, nullptr);

  // A gadget drop names the gadget.
  auto* second = static_cast<DropPayload*>(runtime_alloc_zeroed(sizeof(DropPayload)));
  PostMessageA(window, EVENT_GADGET_DROP, 8, reinterpret_cast<LPARAM>(second));
  ASSERT_EQ(wait_window_event_timeout(0), EVENT_GADGET_DROP);
  EXPECT_EQ(event_object(), 8);
  EXPECT_EQ(event_state()->drop_payload, second);
  wait_window_event_timeout(0);
  EXPECT_EQ(event_state()->drop_payload, nullptr);
}

TEST_F(EventQueueTest, APendingEventFromADispatchOutsideAWaitIsDiscarded) {
  auto window = reinterpret_cast<HWND>(open_window(4, 0, 0, 50, 50, "m", WINDOW_INVISIBLE));
  drain();
  // As in a modal loop: the message is dispatched by someone else.
  SendMessageA(window, WM_TIMER, 5, 0);
  EXPECT_EQ(event_state()->pending_event, EVENT_TIMER);
  EXPECT_EQ(wait_window_event_timeout(0), 0);
  EXPECT_EQ(event_state()->pending_event, 0);
}

}  // namespace
