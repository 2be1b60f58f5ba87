// The logo in the converter's window: image 0 decoded from the embedded
// PNG, gadget 0 showing it in the top 168 x 136 pixels, above the status
// bar, pixel for pixel, and a click on it that is no click on the window.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "assets/logo_data.h"
#include "runtime/gadgets/gadget_library.h"
#include "runtime/gadgets/status_bar.h"
#include "runtime/image/bitmap_alpha.h"
#include "runtime/image/image.h"
#include "runtime/window/event_state.h"
#include "runtime/window/window.h"
#include "tests/app/logo_startup.h"

namespace {

// The logo as libpng's own simplified reader sees it, RGB rows top-down.
std::vector<uint8_t> reference_logo(int* width, int* height) {
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, logo_png, logo_png_size)) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return rgb;
}

// The window's client pixels, 0x00RRGGBB, top-down.
std::vector<uint32_t> client_pixels(HWND window, int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(nullptr);
  HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, section);
  HDC screen = GetDC(window);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  ReleaseDC(window, screen);
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + width * height);
  SelectObject(memory, previous);
  DeleteObject(section);
  DeleteDC(memory);
  for (uint32_t& p : pixels) p &= 0x00FFFFFF;
  return pixels;
}

void drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// A real press and release of the left button at a client point.
void click_at(HWND window, int x, int y) {
  POINT p = {x, y};
  ClientToScreen(window, &p);
  SetCursorPos(p.x, p.y);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, input, sizeof(INPUT));
}

struct Seen {
  int32_t code;
  ObjectId object;
  int32_t type;
};

// Every event up to a quiet spell of 300 ms.
std::vector<Seen> events_for_a_while() {
  std::vector<Seen> seen;
  for (int32_t code; (code = wait_window_event_timeout(300)) != 0;) {
    if (code == WM_MOUSEMOVE || code == WM_TIMER) continue;
    seen.push_back({code, event_object(), event_type()});
  }
  return seen;
}

class LogoTest : public ::testing::Test {
 protected:
  // One shown window for the suite: closing one costs seconds under Wine
  // without a window manager.
  static void SetUpTestSuite() {
    start_logo_libraries();
    window_ = open_converter_window();
    UpdateWindow(window_);
    drain();
  }
  static void TearDownTestSuite() {
    close_all_windows();
    free_all_images();
  }
  static HWND window_;
};

HWND LogoTest::window_ = nullptr;

TEST_F(LogoTest, ImageZeroIsTheDecodedLogoWithoutAlpha) {
  const ImageObject* image = image_lookup(0);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 168);
  EXPECT_EQ(image->height, 136);
  EXPECT_EQ(image->depth, 24);
  EXPECT_EQ(GetObjectType(image->handle), static_cast<DWORD>(OBJ_BITMAP));
  EXPECT_EQ(bitmap_has_alpha(image->handle), 0);
}

TEST_F(LogoTest, GadgetZeroCoversTheTopOfTheWindowAboveTheStatusBar) {
  auto* gadget = static_cast<Gadget*>(registry_lookup(gadget_registry(), 0));
  ASSERT_NE(gadget, nullptr);
  EXPECT_EQ(GetParent(gadget->window), window_);
  EXPECT_EQ(gadget->image, image_handle(0));
  EXPECT_EQ(gadget->alpha_copy, nullptr);
  RECT r;
  GetWindowRect(gadget->window, &r);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 168);
  EXPECT_EQ(r.bottom, 136);

  RECT client;
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 168);
  EXPECT_EQ(client.bottom, 156);
  StatusBar* bar = status_bar_lookup(0);
  ASSERT_NE(bar, nullptr);
  RECT status;
  GetWindowRect(bar->window, &status);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&status), 2);
  EXPECT_GE(status.top, 136) << "the status bar would hide the logo's bottom rows";
  EXPECT_EQ(status.bottom, 156);
}

TEST_F(LogoTest, TheScreenShowsThePngPixelForPixel) {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb = reference_logo(&width, &height);
  ASSERT_EQ(width, 168);
  ASSERT_EQ(height, 136);
  std::vector<uint32_t> seen = client_pixels(window_, 168, 136);
  int wrong = 0;
  for (int y = 0; y < 136; y++)
    for (int x = 0; x < 168; x++) {
      const uint8_t* p = &rgb[(y * 168 + x) * 3];
      uint32_t want = (p[0] << 16) | (p[1] << 8) | p[2];
      if (seen[y * 168 + x] != want && wrong++ < 5)
        ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << seen[y * 168 + x] << " against " << want;
    }
  EXPECT_EQ(wrong, 0);
}

TEST_F(LogoTest, AClickOnTheLogoIsAGadgetEventAndOneOnTheStatusBarAWindowClick) {
  SetForegroundWindow(window_);
  drain();
  click_at(window_, 84, 68);
  std::vector<Seen> on_logo = events_for_a_while();
  bool gadget_click = false, window_click = false;
  for (const Seen& s : on_logo) {
    gadget_click = gadget_click || (s.code == EVENT_GADGET && s.object == 0 && s.type == STN_CLICKED);
    window_click = window_click || s.code == EVENT_LEFT_CLICK;
  }
  EXPECT_TRUE(gadget_click);
  EXPECT_FALSE(window_click);

  click_at(window_, 30, 146);
  std::vector<Seen> on_bar = events_for_a_while();
  gadget_click = window_click = false;
  for (const Seen& s : on_bar) {
    gadget_click = gadget_click || s.code == EVENT_GADGET;
    window_click = window_click || s.code == EVENT_LEFT_CLICK;
  }
  EXPECT_FALSE(gadget_click);
  EXPECT_TRUE(window_click);
}

}  // namespace
