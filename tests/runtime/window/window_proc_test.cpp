// Native messages of a runtime window as the program sees them: which
// become events, by which route, with which fields; and real input.
#include "tests/runtime/window/window_fixture.h"

#include <algorithm>

namespace {

class WindowProcTest : public WindowTest {
 protected:
  HWND open_hidden(int32_t number, uint32_t flags = 0) {
    auto handle = reinterpret_cast<HWND>(open_window(number, 50, 50, 200, 150, "events", flags | WINDOW_INVISIBLE));
    drain();
    return handle;
  }

  // Brings a shown window to the front for real input.
  static void activate(HWND window) {
    SetForegroundWindow(window);
    SetActiveWindow(window);
    for (int i = 0; i < 20 && GetActiveWindow() != window; i++) {
      wait_window_event_timeout(20);
    }
  }

  static void send_key(WORD key, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
  }
};

TEST_F(WindowProcTest, TheCloseBoxAsksAndTheWindowStaysOpen) {
  HWND window = open_hidden(1);
  PostMessageA(window, WM_CLOSE, 0, 0);
  // The native message comes back first (it made no pending event), then
  // the queued close event with the window's number.
  EXPECT_EQ(wait_window_event_timeout(0), WM_CLOSE);
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_CLOSE_WINDOW);
  EXPECT_EQ(event_object(), 1);
  EXPECT_EQ(event_window(), 1);
  EXPECT_EQ(event_state()->last_event.pending, EVENT_CLOSE_WINDOW);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(window_handle(1), window);
}

TEST_F(WindowProcTest, SizeMessagesMakeMinimiseMaximiseAndRestoreEvents) {
  HWND window = open_hidden(2);
  SendMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0);
  EXPECT_EQ(codes_until_idle(), std::vector<int32_t>({EVENT_MINIMIZE_WINDOW}));
  SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(200, 150));
  EXPECT_EQ(codes_until_idle(), std::vector<int32_t>({EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}));
  // A plain resize after that is only a size event.
  SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(210, 150));
  EXPECT_EQ(codes_until_idle(), std::vector<int32_t>({EVENT_SIZE_WINDOW}));
  SendMessageA(window, WM_SIZE, SIZE_MAXIMIZED, 0);
  EXPECT_EQ(codes_until_idle(), std::vector<int32_t>({EVENT_MAXIMIZE_WINDOW, EVENT_SIZE_WINDOW}));
  EXPECT_EQ(event_window(), 2);
  EXPECT_EQ(window_lookup(2)->min_max_state, 1);
  SendMessageA(window, WM_SIZE, SIZE_RESTORED, 0);
  EXPECT_EQ(codes_until_idle(), std::vector<int32_t>({EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}));
  EXPECT_EQ(window_lookup(2)->min_max_state, 0);
}

TEST_F(WindowProcTest, RealMaximiseAndRestoreOfAShownWindow) {
  auto window = reinterpret_cast<HWND>(
      open_window(3, 20, 20, 200, 120, "sizes", WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | WS_THICKFRAME));
  drain();
  ShowWindow(window, SW_MAXIMIZE);
  std::vector<int32_t> codes = codes_until_idle();
  auto maximise = std::find(codes.begin(), codes.end(), EVENT_MAXIMIZE_WINDOW);
  ASSERT_NE(maximise, codes.end());
  ASSERT_NE(maximise + 1, codes.end());
  EXPECT_EQ(*(maximise + 1), EVENT_SIZE_WINDOW);
  EXPECT_TRUE(IsZoomed(window));
  ShowWindow(window, SW_RESTORE);
  codes = codes_until_idle();
  EXPECT_NE(std::find(codes.begin(), codes.end(), EVENT_RESTORE_WINDOW), codes.end());
  EXPECT_EQ(window_lookup(3)->min_max_state, 0);
}

TEST_F(WindowProcTest, AWindowOpenedMaximisedRestoresWithAnEvent) {
  auto window = reinterpret_cast<HWND>(
      open_window(4, 20, 20, 200, 120, "max", WS_CAPTION | WS_SYSMENU | WS_MAXIMIZE | WS_THICKFRAME));
  EXPECT_TRUE(IsZoomed(window));
  EXPECT_EQ(window_lookup(4)->min_max_state, 1);
  drain();
  SendMessageA(window, WM_SIZE, SIZE_RESTORED, 0);
  EXPECT_EQ(codes_until_idle(), std::vector<int32_t>({EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}));
}

TEST_F(WindowProcTest, MovesFoldAndCarryTheWindowNumber) {
  HWND window = open_hidden(5);
  SetWindowPos(window, nullptr, 60, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageA(window, WM_MOVE, 0, MAKELPARAM(61, 61));
  SendMessageA(window, WM_MOVE, 0, MAKELPARAM(62, 62));
  std::vector<int32_t> codes = codes_until_idle();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), EVENT_MOVE_WINDOW), 1);
  SendMessageA(window, WM_MOVE, 0, 0);
  ObjectId object = -1, in = -1;
  int32_t type = -1;
  EXPECT_EQ(pop_event(&object, &in, &type), EVENT_MOVE_WINDOW);
  EXPECT_EQ(object, 5);
  EXPECT_EQ(in, 5);
}

TEST_F(WindowProcTest, ALeftClickOnAPlainChildIsTheNativeMessage) {
  HWND window = open_hidden(6);
  HWND plain = child(window, "STATIC", 0, 10, 10, 50, 30);
  PostMessageA(plain, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_LEFT_CLICK);
  EXPECT_EQ(event_type(), -1);
  EXPECT_EQ(event_wparam(), static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(event_lparam(), MAKELPARAM(5, 5));
  // Clicks on the window itself likewise; its procedure knows the window.
  PostMessageA(window, WM_LBUTTONDOWN, 0, 0);
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_LEFT_CLICK);
  EXPECT_EQ(event_window(), 6);
}

TEST_F(WindowProcTest, CommandsFromControlsMenusAndAcceleratorsBecomeEvents) {
  HWND window = open_hidden(7);
  HWND button = child(window, "BUTTON", BS_PUSHBUTTON, 0, 0, 40, 20, 21);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(21, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_GADGET);
  EXPECT_EQ(event_object(), 21);
  EXPECT_EQ(event_type(), BN_CLICKED);
  EXPECT_EQ(event_window(), 7);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(21, 5), reinterpret_cast<LPARAM>(button));
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_GADGET);
  EXPECT_EQ(event_type(), 5);

  // The control with identifier -10000 reports as a menu, with its code.
  HWND menu_like = child(window, "BUTTON", 0, 0, 30, 40, 20);
  SetWindowLongPtrA(menu_like, GWLP_ID, -10000);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(300, 2), reinterpret_cast<LPARAM>(menu_like));
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_MENU);
  EXPECT_EQ(event_object(), 300);
  EXPECT_EQ(event_type(), 2);

  PostMessageA(window, WM_COMMAND, MAKEWPARAM(101, 0), 0);  // a menu
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_MENU);
  EXPECT_EQ(event_object(), 101);
  EXPECT_EQ(event_type(), -1);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(102, 1), 0);  // another accelerator
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_MENU);
  EXPECT_EQ(event_object(), 102);
  // The two focus commands move the focus and make no event.
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(FOCUS_NEXT_COMMAND, 1), 0);
  EXPECT_EQ(wait_window_event_timeout(0), WM_COMMAND);
}

TEST_F(WindowProcTest, TrayCallbacksQueueTheirClickTypesAndWakeTheLoop) {
  HWND window = open_hidden(8);
  const LPARAM mice[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK};
  for (int type = 0; type < 4; type++) {
    SendMessageA(window, TRAY_CALLBACK_MESSAGE, 3, mice[type]);
    EXPECT_EQ(wait_window_event_timeout(0), EVENT_SYSTRAY);
    EXPECT_EQ(event_object(), 3);
    EXPECT_EQ(event_type(), type);
    EXPECT_EQ(wait_window_event_timeout(0), 0);  // the posted WM_NULL
  }
  SendMessageA(window, TRAY_CALLBACK_MESSAGE, 3, WM_MOUSEMOVE);
  EXPECT_EQ(wait_window_event_timeout(0), 0);
  EXPECT_EQ(pop_event(nullptr, nullptr, nullptr), 0);
}

TEST_F(WindowProcTest, MessagesOfForeignWindowsFindNoRuntimeWindow) {
  HWND foreign = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  // Routed through the runtime procedure by hand, as a window without its
  // property is (during creation, or while it is being closed).
  EXPECT_EQ(window_proc(foreign, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(pop_event(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(event_state()->event_window, -1);
  EXPECT_EQ(handle_window_message(foreign, WM_TIMER, 1, 0), NOT_HANDLED);
  handle_window_message(foreign, WM_ERASEBKGND, 0, 0);
  ObjectId in = 0;
  EXPECT_EQ(pop_event(nullptr, &in, nullptr), EVENT_REPAINT);
  EXPECT_EQ(in, -1);
  DestroyWindow(foreign);
}

// The blocks in use on the runtime heap.
static int busy_runtime_blocks() {
  int busy = 0;
  PROCESS_HEAP_ENTRY entry = {};
  while (HeapWalk(runtime_heap(), &entry))
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy++;
  return busy;
}

static DropPayload* made_payload() {
  auto* payload = static_cast<DropPayload*>(runtime_alloc_zeroed(sizeof(DropPayload)));
  payload->data = runtime_alloc(16);
  payload->size = 16;
  return payload;
}

TEST_F(WindowProcTest, MessagesWhereNoEventStateExistsAreLetPast) {
  HWND window = open_hidden(12);
  HWND button = child(window, "BUTTON", BS_PUSHBUTTON, 0, 0, 40, 20, 22);
  const int busy_before = busy_runtime_blocks();
  EventState* held = exchange_event_state(nullptr);
  EXPECT_EQ(handle_window_message(window, WM_TIMER, 4, 0), NOT_HANDLED);
  EXPECT_EQ(handle_window_message(window, WM_COMMAND, MAKEWPARAM(22, BN_CLICKED), reinterpret_cast<LPARAM>(button)), 0);
  EXPECT_EQ(handle_window_message(window, WM_COMMAND, MAKEWPARAM(101, 0), 0), 0);
  EXPECT_EQ(handle_window_message(window, EVENT_WINDOW_DROP, 0, reinterpret_cast<LPARAM>(made_payload())), 0);
  EXPECT_EQ(handle_window_message(window, EVENT_GADGET_DROP, 22, reinterpret_cast<LPARAM>(made_payload())), 0);
  exchange_event_state(held);
  // Nobody would ever free those payloads.
  EXPECT_EQ(busy_runtime_blocks(), busy_before);
  EXPECT_EQ(pop_event(nullptr, nullptr, nullptr), 0);
  // With the state back the same timer is an event again.
  PostMessageA(window, WM_TIMER, 4, 0);
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_TIMER);
  EXPECT_EQ(event_object(), 4);
}

TEST_F(WindowProcTest, ATinyToolWindowMayBeNarrowerThanWindowsAllows) {
  HWND tool = open_hidden(9, WINDOW_TOOL);
  MINMAXINFO info = {};
  info.ptMinTrackSize = {100, 30};
  SendMessageA(tool, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 1);
  EXPECT_EQ(info.ptMinTrackSize.y, 30);
  HWND plain = open_hidden(10);
  info.ptMinTrackSize = {100, 30};
  SendMessageA(plain, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 100);
}

TEST_F(WindowProcTest, RealClicksAndKeysArriveAsTheirNativeMessages) {
  auto window = reinterpret_cast<HWND>(open_window(11, 100, 100, 200, 150, "input", 0));
  HWND plain = child(window, "STATIC", 0, 20, 20, 100, 60);
  activate(window);
  if (GetForegroundWindow() != window) GTEST_SKIP() << "the display gave the window no focus";
  drain();

  // A real click in the middle of the plain child.
  POINT at = {70, 50};
  ClientToScreen(window, &at);
  SetCursorPos(at.x, at.y);
  INPUT click[2] = {};
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, click, sizeof(INPUT));
  EXPECT_EQ(next_event_except({WM_MOUSEMOVE, WM_SETCURSOR, WM_NCHITTEST, WM_PAINT, EVENT_REPAINT, WM_TIMER,
                               EVENT_ACTIVATE_WINDOW, WM_MOUSEACTIVATE, 0x0118 /* system timer */}),
            EVENT_LEFT_CLICK);
  EXPECT_EQ(event_window(), 11);
  (void)plain;

  // A real key press: the key message, then the character it made.
  SetFocus(window);
  drain();
  send_key('A', false);
  send_key('A', true);
  std::vector<int32_t> codes;
  for (int i = 0; i < 40 && codes.size() < 3; i++) {
    int32_t code = wait_window_event_timeout(50);
    if (code == WM_KEYDOWN || code == WM_CHAR || code == WM_KEYUP) codes.push_back(code);
  }
  EXPECT_EQ(codes, std::vector<int32_t>({WM_KEYDOWN, WM_CHAR, WM_KEYUP}));
}

}  // namespace
