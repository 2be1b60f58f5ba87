#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/gadgets/gadget_library.h"
#include "runtime/gadgets/image_gadget.h"
#include "runtime/window/event_state.h"
#include "runtime/window/window.h"

// Pixels as 0xAARRGGBB, the order of a 32-bit DIB's bytes read as one word.
typedef std::function<uint32_t(int x, int y)> PixelFunction;

// A bottom-up DIB section of 24 or 32 bits; `pixel` gives each screen pixel
// (alpha ignored at 24 bits).
HBITMAP make_section(int width, int height, int bits, const PixelFunction& pixel);

// An icon from a colour bitmap and an AND mask (`transparent` true where the
// screen shows through); with a 32-bit colour bitmap its alpha counts.
HICON make_icon(int width, int height, int bits, const PixelFunction& pixel,
                const std::function<bool(int x, int y)>& transparent);

// The 0xAARRGGBB word of pixel (x, y) of a DIB section (top row y = 0).
uint32_t section_pixel(HBITMAP section, int x, int y);

// The blend AlphaBlend makes of a straight-alpha pixel over `background`,
// as the gadget's premultiplied copy feeds it.
uint32_t blended(uint32_t straight, uint32_t background);

// True when every channel of a and b (alpha aside) differs by `slack` at most.
bool close_colour(uint32_t a, uint32_t b, int slack = 2);

// A 32-bit top-down canvas with a memory DC, to print controls into or copy
// screen pixels to.
class Canvas {
 public:
  Canvas(int width, int height, uint32_t fill);
  ~Canvas();
  HDC dc() const { return dc_; }
  uint32_t at(int x, int y) const { return bits_[y * width_ + x] & 0x00FFFFFF; }
  // Copies the client pixels of `window` at (x, y) onto the canvas.
  void copy_from(HWND window, int x, int y);

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  uint32_t* bits_ = nullptr;
};

struct SeenEvent {
  int32_t code;
  ObjectId object;
  ObjectId window;
  int32_t type;
};

// The runtime libraries started in the program's order, once per process;
// every test gets window 1 (hidden, 300 x 200) as the current gadget list.
class ImageGadgetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // What the gadget context held right after gadget_library_init.
  static GadgetContext context_at_start;
  // The list stack's block size and whether it was all zero, at that time
  // (the gadget lists take the block over later).
  static size_t stack_bytes_at_start;
  static bool stack_zero_at_start;

  static void drain();
  // The events of every message waiting now, in order; gadget events only
  // with `gadget_only`.
  static std::vector<SeenEvent> events_until_idle(bool gadget_only = true);

  static Gadget* record_of(HWND control) { return gadget_of_control(control); }
  static RECT rect_in_parent(HWND control);
  // Keeps a picture for deletion at the end of the test.
  HBITMAP keep(HBITMAP bitmap);
  HICON keep(HICON icon);

  HWND window_ = nullptr;
  std::vector<HGDIOBJ> bitmaps_;
  std::vector<HICON> icons_;
};
