// What an image gadget puts on the screen: its picture, blended over the
// window behind it where the picture lets that show, and no darker after
// the changes that repaint it.
#include "tests/runtime/gadgets/image_gadget_fixture.h"

#include <memory>

#include "runtime/window/gadget_list.h"

namespace {

// Columns of 10 pixels: half-transparent, opaque, fully transparent, a
// quarter-opaque white.
uint32_t alpha_columns(int x, int) {
  static const uint32_t columns[] = {0x803264C8u, 0xFF102030u, 0x00FF00FFu, 0x40FFFFFFu};
  return columns[(x / 10) % 4];
}

uint32_t checker(int x, int y) { return ((x / 4 + y / 4) % 2) ? 0xFFE01010u : 0xFF1010E0u; }

uint32_t as_rgb(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

class ImageGadgetPrintTest : public ImageGadgetTest {
 protected:
  // The gadget drawn into a canvas of `fill`, as WM_PRINTCLIENT draws it.
  static void print(HWND control, Canvas& canvas) {
    SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    GdiFlush();
  }
};

TEST_F(ImageGadgetPrintTest, EachKindOfPictureIsDrawnAsItsKindWants) {
  const uint32_t fill = 0x0030A050;
  HBITMAP opaque = keep(make_section(40, 20, 24, checker));
  auto control = reinterpret_cast<HWND>(create_image_gadget(0, 0, 0, 1, 1, opaque));
  Canvas plain(40, 20, fill);
  print(control, plain);
  for (int y = 0; y < 20; y += 3)
    for (int x = 0; x < 40; x += 3) ASSERT_EQ(plain.at(x, y), checker(x, y) & 0xFFFFFF) << x << "," << y;

  SendMessageA(control, STM_SETIMAGE, 0, reinterpret_cast<LPARAM>(keep(make_section(40, 20, 32, alpha_columns))));
  Canvas blend(40, 20, fill);
  print(control, blend);
  for (int x = 5; x < 40; x += 10)
    EXPECT_TRUE(close_colour(blend.at(x, 7), blended(alpha_columns(x, 7), fill)))
        << x << ": " << std::hex << blend.at(x, 7) << " against " << blended(alpha_columns(x, 7), fill);
  EXPECT_EQ(blend.at(25, 7), fill);

  // An icon shows its colour where the mask is clear and the canvas elsewhere.
  // Where the mask is set an icon's colour is XORed onto the screen: black there.
  HICON icon = keep(make_icon(16, 16, 24, [](int x, int y) { return x >= 8 ? 0xFF000000u : checker(x, y); },
                              [](int x, int) { return x >= 8; }));
  SendMessageA(control, STM_SETICON, 0, reinterpret_cast<LPARAM>(icon));
  Canvas masked(16, 16, fill);
  print(control, masked);
  EXPECT_EQ(masked.at(2, 2), checker(2, 2) & 0xFFFFFF);
  EXPECT_EQ(masked.at(12, 2), fill);

  // No picture, nothing drawn; no device context, nothing either.
  SendMessageA(control, STM_SETIMAGE, 0, 0);
  Canvas empty(16, 16, fill);
  print(control, empty);
  EXPECT_EQ(empty.at(4, 4), fill);
  EXPECT_EQ(SendMessageA(control, WM_PRINT, 0, PRF_CLIENT), 0);
}

// One shown window for the whole suite: closing a shown window is slow
// under Wine without a window manager.
class ImageGadgetScreenTest : public ImageGadgetTest {
 protected:
  static void SetUpTestSuite() {
    ImageGadgetTest::SetUpTestSuite();
    shown_ = reinterpret_cast<HWND>(open_window(3, 100, 100, 240, 120, "image gadget", WS_CAPTION | WS_SYSMENU));
  }
  static void TearDownTestSuite() { close_window(3); }

  void SetUp() override {
    ASSERT_TRUE(IsWindow(shown_));
    use_gadget_list(shown_);
    background_ = as_rgb(GetSysColor(COLOR_BTNFACE));
    repaint();
  }
  void TearDown() override {
    for (HWND child; (child = GetWindow(shown_, GW_CHILD)) != nullptr;) DestroyWindow(child);
    drain();
    for (HGDIOBJ b : bitmaps_) DeleteObject(b);
    for (HICON i : icons_) DestroyIcon(i);
  }

  static void repaint() {
    RedrawWindow(shown_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    drain();
  }

  // The screen under a w x h area of the window's client area at (x, y).
  static Canvas* screen(int x, int y, int w, int h) {
    auto* canvas = new Canvas(w, h, 0x00FF00FF);
    canvas->copy_from(shown_, x, y);
    return canvas;
  }

  // Every column of alpha_columns at (x, y) shows its single blend.
  void expect_single_blend(int x, int y, const char* after) {
    std::unique_ptr<Canvas> seen(screen(x, y, 40, 20));
    for (int column = 5; column < 40; column += 10)
      EXPECT_TRUE(close_colour(seen->at(column, 10), blended(alpha_columns(column, 10), background_)))
          << after << ", column " << column << ": " << std::hex << seen->at(column, 10) << " against "
          << blended(alpha_columns(column, 10), background_);
  }

  static HWND shown_;
  uint32_t background_ = 0;
};

HWND ImageGadgetScreenTest::shown_ = nullptr;

TEST_F(ImageGadgetScreenTest, AnAlphaBitmapIsBlendedOnceOverTheWindowWhateverRepaintsIt) {
  HBITMAP picture = keep(make_section(40, 20, 32, alpha_columns));
  auto control = reinterpret_cast<HWND>(create_image_gadget(0, 10, 10, 40, 20, picture));
  expect_single_blend(10, 10, "created");
  SendMessageA(control, STM_SETIMAGE, 0, reinterpret_cast<LPARAM>(picture));
  expect_single_blend(10, 10, "set again");
  EnableWindow(control, FALSE);
  EnableWindow(control, TRUE);
  expect_single_blend(10, 10, "disabled and enabled");
  InvalidateRect(control, nullptr, FALSE);
  UpdateWindow(control);
  repaint();
  expect_single_blend(10, 10, "window repainted");

  SetWindowPos(control, nullptr, 100, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  UpdateWindow(shown_);
  expect_single_blend(100, 60, "moved");
  std::unique_ptr<Canvas> left(screen(10, 10, 40, 20));
  EXPECT_EQ(left->at(5, 10), background_);
}

TEST_F(ImageGadgetScreenTest, AnIconWithSoftEdgesIsBlendedOnceAndAnOpaqueBitmapCoversItsArea) {
  // A 32-bit icon: its alpha, not its mask, says how much of it shows.
  HICON icon = keep(make_icon(40, 20, 32, alpha_columns, [](int, int) { return false; }));
  auto control = reinterpret_cast<HWND>(create_image_gadget(0, 10, 10, 4, 4, icon));
  expect_single_blend(10, 10, "icon created");
  SendMessageA(control, STM_SETICON, 0, reinterpret_cast<LPARAM>(icon));
  expect_single_blend(10, 10, "icon set again");
  EnableWindow(control, FALSE);
  expect_single_blend(10, 10, "icon disabled");

  HBITMAP opaque = keep(make_section(40, 20, 24, checker));
  SendMessageA(control, STM_SETIMAGE, 0, reinterpret_cast<LPARAM>(opaque));
  std::unique_ptr<Canvas> covered(screen(10, 10, 40, 20));
  for (int y = 0; y < 20; y += 3)
    for (int x = 0; x < 40; x += 3) ASSERT_EQ(covered->at(x, y), checker(x, y) & 0xFFFFFF) << x << "," << y;

  // Cleared: the window behind is painted where the picture was.
  SendMessageA(control, STM_SETIMAGE, 0, 0);
  std::unique_ptr<Canvas> cleared(screen(10, 10, 40, 20));
  for (int y = 0; y < 20; y += 3)
    for (int x = 0; x < 40; x += 3) ASSERT_EQ(cleared->at(x, y), background_) << x << "," << y;
}

}  // namespace
