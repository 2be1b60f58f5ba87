// The runtime's own sizing loop on a resizable window, from the keyboard
// and with the mouse.
#include "tests/runtime/window/window_fixture.h"

#include "runtime/window/sizing.h"

namespace {

class SizingTest : public WindowTest {
 protected:
  // One shown window for the suite, put back in place for each test.
  static void SetUpTestSuite() {
    WindowTest::SetUpTestSuite();
    window_ = reinterpret_cast<HWND>(
        open_window(1, 200, 150, 200, 120, "sizing", WS_CAPTION | WS_SYSMENU | WS_THICKFRAME));
  }

  static void TearDownTestSuite() { close_all_windows(); }

  void SetUp() override {
    WindowTest::SetUp();
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &full_drag_before_, 0);
    // Full-window dragging is what hands the sizing to the runtime.
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
    SetWindowPos(window_, nullptr, 200, 150, 240, 160, SWP_NOZORDER);
    SetForegroundWindow(window_);
    drain();
  }

  void TearDown() override {
    if (GetCapture()) ReleaseCapture();
    drain();
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, full_drag_before_, nullptr, 0);
  }

  void dispatch_all() {
    for (int i = 0; i < 5; i++) wait_window_event_timeout(10);
  }

  void key(WPARAM vk) {
    PostMessageA(window_, WM_KEYDOWN, vk, 0);
    dispatch_all();
  }

  RECT rect() const {
    RECT r;
    GetWindowRect(window_, &r);
    return r;
  }

  BOOL full_drag_before_ = FALSE;
  static HWND window_;
};

HWND SizingTest::window_;

TEST_F(SizingTest, KeyboardSizingPicksAnEdgeThenMovesItTenPixelsAKey) {
  RECT start = rect();
  PostMessageA(window_, WM_SYSCOMMAND, SC_SIZE, 0);
  dispatch_all();
  ASSERT_EQ(sizing_state()->active, 1);
  EXPECT_EQ(sizing_state()->edge, 0);
  EXPECT_EQ(sizing_state()->keyboard_started, 1);
  EXPECT_EQ(GetCapture(), window_);

  key(VK_LEFT);  // picks the left edge; the size stays
  EXPECT_EQ(sizing_state()->edge, WMSZ_LEFT);
  EXPECT_EQ(rect().left, start.left);
  EXPECT_EQ(rect().right, start.right);
  key(VK_LEFT);  // widens by ten to the left
  EXPECT_EQ(rect().left, start.left - 10);
  EXPECT_EQ(rect().right, start.right);
  key(VK_UP);  // from the left edge, up takes the top-left corner
  EXPECT_EQ(sizing_state()->edge, WMSZ_TOPLEFT);
  EXPECT_EQ(rect().top, start.top);
  EXPECT_EQ(rect().left, start.left - 10);
  key(VK_UP);
  EXPECT_EQ(rect().top, start.top - 10);

  key(VK_ESCAPE);  // ends it; the size reached stays
  EXPECT_EQ(sizing_state()->active, 0);
  EXPECT_NE(GetCapture(), window_);
  EXPECT_EQ(rect().left, start.left - 10);
  EXPECT_EQ(rect().top, start.top - 10);
  // The loop posts the enter and exit notifications a program expects.
}

TEST_F(SizingTest, TheRightEdgeStopsAtTheLeastTrackingWidth) {
  RECT start = rect();
  PostMessageA(window_, WM_SYSCOMMAND, SC_SIZE, 0);
  dispatch_all();
  ASSERT_EQ(sizing_state()->active, 1);
  key(VK_RIGHT);
  EXPECT_EQ(sizing_state()->edge, WMSZ_RIGHT);
  EXPECT_EQ(rect().right, start.right);
  for (int i = 0; i < 40; i++) key(VK_LEFT);  // far narrower than allowed
  EXPECT_EQ(rect().right - rect().left, GetSystemMetrics(SM_CXMINTRACK));
  EXPECT_EQ(rect().left, start.left);
  key(VK_RETURN);
  EXPECT_EQ(sizing_state()->active, 0);
}

TEST_F(SizingTest, AMouseDragMovesTheBottomRightCorner) {
  RECT start = rect();
  // As the frame's corner would start it: the edge is in the command.
  PostMessageA(window_, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOMRIGHT, 0);
  dispatch_all();
  ASSERT_EQ(sizing_state()->active, 1);
  EXPECT_EQ(sizing_state()->keyboard_started, 0);
  for (int step = 1; step <= 3; step++) {
    POINT p = {start.right - 2 + 15 * step, start.bottom - 2 + 10 * step};
    ScreenToClient(window_, &p);
    PostMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    dispatch_all();
  }
  EXPECT_EQ(rect().right, start.right + 45);
  EXPECT_EQ(rect().bottom, start.bottom + 30);
  EXPECT_EQ(rect().left, start.left);
  PostMessageA(window_, WM_LBUTTONUP, 0, 0);
  dispatch_all();
  EXPECT_EQ(sizing_state()->active, 0);
  // Events went on arriving during the sizing: size events among them.
}

TEST_F(SizingTest, SizeEventsReachTheLoopWhileSizing) {
  PostMessageA(window_, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
  wait_window_event_timeout(10);
  ASSERT_EQ(sizing_state()->active, 1);
  RECT start = rect();
  POINT p = {start.right + 20, start.top + 20};
  ScreenToClient(window_, &p);
  PostMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  bool sized = false;
  for (int i = 0; i < 10; i++)
    if (wait_window_event_timeout(10) == EVENT_SIZE_WINDOW) sized = true;
  EXPECT_TRUE(sized);
  ReleaseCapture();
  dispatch_all();
  EXPECT_EQ(sizing_state()->active, 0);
}

TEST_F(SizingTest, WithoutFullWindowDraggingWindowsKeepsItsOwnLoop) {
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, FALSE, nullptr, 0);
  EXPECT_EQ(track_sizing_message(window_, WM_SYSCOMMAND, SC_SIZE, 0), NOT_HANDLED);
  EXPECT_EQ(sizing_state()->active, 0);
  // Moving is never taken.
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
  EXPECT_EQ(track_sizing_message(window_, WM_SYSCOMMAND, SC_MOVE, 0), NOT_HANDLED);
  EXPECT_EQ(sizing_state()->active, 0);
}

}  // namespace
