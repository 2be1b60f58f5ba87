// The mouse on an image gadget: which presses, releases and moves become
// gadget events, with which type, and what the capture does meanwhile.
#include "tests/runtime/gadgets/image_gadget_fixture.h"

#include <commctrl.h>

namespace {

class ImageGadgetInputTest : public ImageGadgetTest {
 protected:
  void SetUp() override {
    ImageGadgetTest::SetUp();
    HBITMAP picture = keep(make_section(100, 80, 24, [](int, int) { return 0xFF808080u; }));
    control_ = reinterpret_cast<HWND>(create_image_gadget(6, 50, 50, 100, 80, picture));
    ASSERT_NE(control_, nullptr);
    drain();
  }
  void TearDown() override {
    ReleaseCapture();
    ImageGadgetTest::TearDown();
  }

  void post(UINT message, int x, int y, WPARAM keys = 0) {
    PostMessageA(control_, message, keys, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  }
  // The gadget events that the posted messages made, as their types.
  std::vector<int32_t> types() {
    std::vector<int32_t> out;
    for (const SeenEvent& e : events_until_idle()) {
      EXPECT_EQ(e.object, 6);
      EXPECT_EQ(e.window, 1);
      out.push_back(e.type);
    }
    return out;
  }

  HWND control_ = nullptr;
};

typedef std::vector<int32_t> Types;

TEST_F(ImageGadgetInputTest, APlainLeftClickIsTheControlsNotificationThroughItsWindow) {
  post(WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
  EXPECT_EQ(wait_window_event_timeout(0), EVENT_GADGET);
  EXPECT_EQ(event_object(), 6);
  EXPECT_EQ(event_type(), STN_CLICKED);
  EXPECT_EQ(event_window(), 1);
  EXPECT_EQ(GetCapture(), control_);
  post(WM_LBUTTONUP, 10, 10);
  EXPECT_EQ(wait_window_event_timeout(0), static_cast<int32_t>(WM_LBUTTONUP));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(types(), Types());
}

TEST_F(ImageGadgetInputTest, DoubleClicksAreTheirOwnEventsAndTheControlNeverSeesThem) {
  // The control's own double-click notification would be type 1, as a right click.
  post(WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
  post(WM_LBUTTONUP, 10, 10);
  post(WM_LBUTTONDBLCLK, 10, 10, MK_LBUTTON);
  post(WM_LBUTTONUP, 10, 10);
  EXPECT_EQ(types(), Types({STN_CLICKED, IMAGE_EVENT_LEFT_DOUBLE_CLICK}));

  post(WM_RBUTTONDOWN, 10, 10, MK_RBUTTON);
  post(WM_RBUTTONUP, 10, 10);
  EXPECT_EQ(types(), Types({IMAGE_EVENT_RIGHT_CLICK}));
  post(WM_RBUTTONDOWN, 10, 10, MK_RBUTTON);
  post(WM_RBUTTONUP, 10, 10);
  post(WM_RBUTTONDBLCLK, 10, 10, MK_RBUTTON);
  post(WM_RBUTTONUP, 10, 10);  // ends the double click: nothing
  post(WM_RBUTTONDOWN, 10, 10, MK_RBUTTON);
  post(WM_RBUTTONUP, 10, 10);
  EXPECT_EQ(types(), Types({IMAGE_EVENT_RIGHT_CLICK, IMAGE_EVENT_RIGHT_DOUBLE_CLICK, IMAGE_EVENT_RIGHT_CLICK}));
}

TEST_F(ImageGadgetInputTest, ADoubleClickOnOneGadgetSwallowsTheNextRightReleaseOnAnother) {
  auto other = reinterpret_cast<HWND>(create_image_gadget(7, 0, 0, 10, 10, nullptr));
  post(WM_RBUTTONDBLCLK, 10, 10, MK_RBUTTON);
  PostMessageA(other, WM_RBUTTONUP, 0, MAKELPARAM(2, 2));
  PostMessageA(other, WM_RBUTTONUP, 0, MAKELPARAM(2, 2));
  std::vector<SeenEvent> seen = events_until_idle();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].object, 6);
  EXPECT_EQ(seen[0].type, IMAGE_EVENT_RIGHT_DOUBLE_CLICK);
  EXPECT_EQ(seen[1].object, 7);
  EXPECT_EQ(seen[1].type, IMAGE_EVENT_RIGHT_CLICK);
}

TEST_F(ImageGadgetInputTest, AMovePastTheThresholdWithTheButtonHeldStartsOneDrag) {
  const int dx = GetSystemMetrics(SM_CXDRAG), dy = GetSystemMetrics(SM_CYDRAG);
  ASSERT_GT(dx, 0);
  post(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  for (int sx : {-1, 0, 1})
    for (int sy : {-1, 0, 1}) post(WM_MOUSEMOVE, 20 + sx * dx, 20 + sy * dy, MK_LBUTTON);
  EXPECT_EQ(types(), Types({STN_CLICKED}));
  EXPECT_EQ(GetCapture(), control_);
  post(WM_MOUSEMOVE, 20 + dx + 1, 20, MK_LBUTTON);
  post(WM_MOUSEMOVE, 40, 40, MK_LBUTTON);
  post(WM_MOUSEMOVE, 60, 60, MK_LBUTTON);
  EXPECT_EQ(types(), Types({IMAGE_EVENT_DRAG_START}));
  EXPECT_EQ(GetCapture(), nullptr);
  post(WM_LBUTTONUP, 60, 60);
  EXPECT_EQ(types(), Types());

  // Up, and to the left beyond the control (captured moves carry negative
  // coordinates in signed words).
  post(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  post(WM_MOUSEMOVE, 20, 20 - dy - 1, MK_LBUTTON);
  post(WM_LBUTTONUP, 20, 20);
  post(WM_LBUTTONDOWN, 1, 1, MK_LBUTTON);
  post(WM_MOUSEMOVE, 1 - dx, 1, MK_LBUTTON);
  EXPECT_EQ(types(), Types({STN_CLICKED, IMAGE_EVENT_DRAG_START, STN_CLICKED}));
  post(WM_MOUSEMOVE, -30, 1, MK_LBUTTON);
  EXPECT_EQ(types(), Types({IMAGE_EVENT_DRAG_START}));

  // A release ends the press: moves after it start nothing.
  post(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  post(WM_LBUTTONUP, 20, 20);
  EXPECT_EQ(GetCapture(), nullptr);
  post(WM_MOUSEMOVE, 90, 70);
  EXPECT_EQ(types(), Types({STN_CLICKED}));
}

TEST_F(ImageGadgetInputTest, APressWhoseCaptureAnotherWindowTakesStartsNoDrag) {
  post(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  EXPECT_EQ(types(), Types({STN_CLICKED}));
  SetCapture(window_);
  ReleaseCapture();
  post(WM_MOUSEMOVE, 90, 70);
  EXPECT_EQ(types(), Types());
  // A second press while holding the capture keeps tracking.
  post(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  post(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  post(WM_MOUSEMOVE, 90, 70, MK_LBUTTON);
  EXPECT_EQ(types(), Types({STN_CLICKED, STN_CLICKED, IMAGE_EVENT_DRAG_START}));
}

}  // namespace
