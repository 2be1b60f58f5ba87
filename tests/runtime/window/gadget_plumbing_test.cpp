// Controls attached as gadgets: their notifications, their events, their
// end; and the gadget list that follows the most recently opened window.
#include "tests/runtime/window/window_fixture.h"

#include <commctrl.h>

namespace {

int g_released = 0;
int g_notified = 0;
LRESULT g_notify_answer = NOT_HANDLED;

void count_release(Gadget*) { g_released++; }

LRESULT answer_notification(Gadget*, HWND, UINT, WPARAM, LPARAM) {
  g_notified++;
  return g_notify_answer;
}

WNDPROC g_inner_previous = nullptr;
LONG_PTR g_id_at_ncdestroy = 0;

LRESULT CALLBACK watch_ncdestroy(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_NCDESTROY) g_id_at_ncdestroy = GetWindowLongPtrA(w, GWLP_ID);
  return CallWindowProcA(g_inner_previous, w, m, wp, lp);
}

GadgetType g_test_type = {99, sizeof(GadgetType), answer_notification, count_release, nullptr, nullptr};

class GadgetPlumbingTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    g_released = g_notified = 0;
    g_notify_answer = NOT_HANDLED;
    window_ = reinterpret_cast<HWND>(open_window(1, 0, 0, 200, 150, "gadgets", WINDOW_INVISIBLE));
    drain();
  }

  // A button made a gadget of number `number`; returns attach_gadget's result.
  INT_PTR make_gadget(int32_t number, HWND* control) {
    *control = child(window_, "BUTTON", BS_PUSHBUTTON, 0, 0, 40, 20);
    auto* record = static_cast<Gadget*>(registry_allocate(gadget_registry(), number));
    return attach_gadget(number, record, *control, &g_test_type);
  }

  HWND window_;
};

TEST_F(GadgetPlumbingTest, AnAttachedControlReportsItsCommandsAsGadgetEvents) {
  HWND button;
  INT_PTR made = make_gadget(5, &button);
  EXPECT_EQ(made, reinterpret_cast<INT_PTR>(button));
  EXPECT_EQ(GetWindowLongPtrA(button, GWLP_ID), 5);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropA(button, "XR_ID")), 5);
  EXPECT_EQ(GetWindowLongPtrA(button, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(common_gadget_proc));
  EXPECT_EQ(gadget_of_control(button), registry_lookup(gadget_registry(), 5));

  // A real click: the button tells its parent, the type lets it pass.
  SendMessageA(button, BM_CLICK, 0, 0);
  EXPECT_EQ(g_notified, 1);
  EXPECT_EQ(event_state()->pending_event, EVENT_GADGET);
  EXPECT_EQ(event_state()->event_object, 5);
  EXPECT_EQ(event_state()->event_type, BN_CLICKED);
  drain();

  PostMessageA(window_, WM_COMMAND, MAKEWPARAM(5, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_GADGET);
  EXPECT_EQ(event_object(), 5);
  EXPECT_EQ(event_type(), 0);
  EXPECT_EQ(event_window(), 1);

  // A type that takes the notification keeps it from becoming an event.
  g_notify_answer = 0;
  PostMessageA(window_, WM_COMMAND, MAKEWPARAM(5, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  EXPECT_EQ(wait_window_event_timeout(0), WM_COMMAND);
  EXPECT_EQ(g_notified, 3);
}

TEST_F(GadgetPlumbingTest, NotificationsOfEveryKindReachTheType) {
  HWND button;
  make_gadget(6, &button);
  g_notify_answer = 1234;
  NMHDR header = {button, 6, NM_CLICK};
  EXPECT_EQ(SendMessageA(window_, WM_NOTIFY, 6, reinterpret_cast<LPARAM>(&header)), 1234);
  EXPECT_EQ(SendMessageA(window_, WM_CTLCOLORBTN, 0, reinterpret_cast<LPARAM>(button)), 1234);
  EXPECT_EQ(SendMessageA(window_, WM_HSCROLL, 0, reinterpret_cast<LPARAM>(button)), 1234);
  EXPECT_EQ(SendMessageA(window_, 13120, 0, reinterpret_cast<LPARAM>(button)), 1234);
  EXPECT_EQ(g_notified, 4);
  // A control that is no gadget, or none at all, is not forwarded.
  HWND plain = child(window_, "BUTTON", 0);
  EXPECT_EQ(forward_to_gadget(plain, window_, WM_COMMAND, 0, 0), NOT_HANDLED);
  EXPECT_EQ(forward_to_gadget(nullptr, window_, WM_COMMAND, 0, 0), NOT_HANDLED);
  // A foreign control with identifier 0 is not gadget 0.
  HWND zero;
  make_gadget(0, &zero);
  EXPECT_EQ(forward_to_gadget(plain, window_, WM_COMMAND, 0, 0), NOT_HANDLED);
  EXPECT_EQ(forward_to_gadget(zero, window_, WM_COMMAND, 0, 0), 1234);
}

TEST_F(GadgetPlumbingTest, DestroyingTheControlReleasesTheGadgetOnce) {
  HWND button;
  make_gadget(7, &button);
  DestroyWindow(button);
  EXPECT_EQ(g_released, 1);
  EXPECT_EQ(registry_lookup(gadget_registry(), 7), nullptr);
  // The number can be used again at once.
  HWND again;
  make_gadget(7, &again);
  EXPECT_NE(registry_lookup(gadget_registry(), 7), nullptr);
  DestroyWindow(again);
  EXPECT_EQ(g_released, 2);
}

TEST_F(GadgetPlumbingTest, AReleasedControlsLastMessagesGoToTheDefaultProcedure) {
  HWND button;
  make_gadget(8, &button);
  // Subclassed behind the gadget: sees the identifier before the release.
  auto* gadget = gadget_of_control(button);
  g_inner_previous = gadget->previous_proc;
  gadget->previous_proc = watch_ncdestroy;
  DestroyWindow(button);
  EXPECT_EQ(g_id_at_ncdestroy, 8);
  EXPECT_EQ(g_released, 1);
  EXPECT_EQ(registry_lookup(gadget_registry(), 8), nullptr);
  // What a released control still receives reaches the default procedure,
  // so the record is not touched again: shown by the direct call.
  HWND dead = CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 1, 1, window_, nullptr, nullptr, nullptr);
  SetWindowLongPtrA(dead, GWLP_ID, -1);
  EXPECT_EQ(common_gadget_proc(dead, WM_GETTEXTLENGTH, 0, 0), 0);
  EXPECT_EQ(g_released, 1);
}

TEST_F(GadgetPlumbingTest, AnUnnumberedGadgetIsKnownByItsFullAddress) {
  HWND button;
  INT_PTR id = make_gadget(OBJECT_ANY, &button);
  EXPECT_EQ(registry_lookup(gadget_registry(), id), reinterpret_cast<void*>(id));
  EXPECT_EQ(GetWindowLongPtrA(button, GWLP_ID), id);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropA(button, "XR_ID")), id);
  PostMessageA(window_, WM_COMMAND, MAKEWPARAM(id & 0xFFFF, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_GADGET);
  EXPECT_EQ(event_object(), id);
  DestroyWindow(button);
  EXPECT_EQ(registry_lookup(gadget_registry(), id), nullptr);
}

TEST_F(GadgetPlumbingTest, AGadgetPostsItsEventsWithItsWindowsNumber) {
  HWND button;
  make_gadget(9, &button);
  post_gadget_event(button, 3);
  ObjectId object = 0, in = 0;
  int32_t type = 0;
  EXPECT_EQ(pop_event(&object, &in, &type), EVENT_GADGET);
  EXPECT_EQ(object, 9);
  EXPECT_EQ(in, 1);
  EXPECT_EQ(type, 3);
}

TEST_F(GadgetPlumbingTest, TheGadgetListFollowsTheMostRecentlyOpenedWindow) {
  EXPECT_EQ(use_gadget_list(nullptr), window_);
  EXPECT_EQ(use_gadget_list(nullptr), window_);  // asking changes nothing
  auto second = reinterpret_cast<HWND>(open_window(2, 0, 0, 50, 50, "second", WINDOW_INVISIBLE));
  EXPECT_EQ(use_gadget_list(nullptr), second);
  ASSERT_NE(gadget_list_record(second), nullptr);
  auto third = reinterpret_cast<HWND>(open_window(3, 0, 0, 50, 50, "third", WINDOW_INVISIBLE | WINDOW_NO_GADGET_LIST));
  EXPECT_EQ(use_gadget_list(nullptr), second);
  EXPECT_EQ(gadget_list_record(third), nullptr);

  // Going back to a window that was a list restores its saved context.
  EXPECT_EQ(use_gadget_list(window_), second);
  EXPECT_EQ(use_gadget_list(nullptr), window_);
  EXPECT_EQ(use_gadget_list(second), window_);
  // Closing the current list leaves none; the older one does not come back.
  close_window(2);
  EXPECT_EQ(use_gadget_list(nullptr), nullptr);
  EXPECT_EQ(gadget_context()->list_stack_count, 0);
  // The window procedure chain still ends in the runtime's.
  EXPECT_EQ(GetWindowLongPtrA(window_, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(gadget_list_proc));
  PostMessageA(window_, WM_CLOSE, 0, 0);
  wait_window_event_timeout(0);
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_CLOSE_WINDOW);
}

}  // namespace
