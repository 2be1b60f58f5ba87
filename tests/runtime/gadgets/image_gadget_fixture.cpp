#include "tests/runtime/gadgets/image_gadget_fixture.h"

#include <cstdlib>

#include "runtime/image/image.h"
#include "runtime/image/image_decoder.h"
#include "runtime/image/png_decoder.h"
#include "runtime/window/alpha_blend.h"
#include "runtime/window/event_queue.h"
#include "runtime/window/runtime_heap.h"

GadgetContext ImageGadgetTest::context_at_start = {};
size_t ImageGadgetTest::stack_bytes_at_start = 0;
bool ImageGadgetTest::stack_zero_at_start = false;

static BITMAPINFO info_of(int width, int height, int bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bits);
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

HBITMAP make_section(int width, int height, int bits, const PixelFunction& pixel) {
  BITMAPINFO info = info_of(width, height, bits);
  void* memory = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
  if (!section) return nullptr;
  int stride = row_stride(width, bits);
  auto* rows = static_cast<uint8_t*>(memory);
  for (int y = 0; y < height; y++) {
    uint8_t* row = rows + static_cast<size_t>(height - 1 - y) * stride;  // bottom-up
    for (int x = 0; x < width; x++) {
      uint32_t p = pixel(x, y);
      uint8_t* at = row + x * (bits / 8);
      at[0] = p & 0xFF;
      at[1] = (p >> 8) & 0xFF;
      at[2] = (p >> 16) & 0xFF;
      if (bits == 32) at[3] = p >> 24;
    }
  }
  GdiFlush();
  return section;
}

HICON make_icon(int width, int height, int bits, const PixelFunction& pixel,
                const std::function<bool(int x, int y)>& transparent) {
  HBITMAP colour = make_section(width, height, bits, pixel);
  // Monochrome rows are padded to 16 bits for CreateBitmap.
  int mask_stride = ((width + 15) / 16) * 2;
  std::vector<uint8_t> mask(static_cast<size_t>(mask_stride) * height, 0);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      if (transparent(x, y)) mask[y * mask_stride + x / 8] |= 0x80 >> (x % 8);
  HBITMAP mask_bitmap = CreateBitmap(width, height, 1, 1, mask.data());
  ICONINFO info = {TRUE, 0, 0, mask_bitmap, colour};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(colour);
  DeleteObject(mask_bitmap);
  return icon;
}

uint32_t section_pixel(HBITMAP section, int x, int y) {
  DIBSECTION dib;
  if (GetObjectA(section, sizeof dib, &dib) != sizeof dib) return 0xDEADBEEF;
  int bits = dib.dsBm.bmBitsPixel;
  int height = dib.dsBm.bmHeight;
  bool top_down = dib.dsBmih.biHeight < 0;
  const auto* rows = static_cast<const uint8_t*>(dib.dsBm.bmBits);
  const uint8_t* at = rows + static_cast<size_t>(top_down ? y : height - 1 - y) * dib.dsBm.bmWidthBytes +
                      x * (bits / 8);
  uint32_t alpha = bits == 32 ? at[3] : 0xFF;
  return (alpha << 24) | (at[2] << 16) | (at[1] << 8) | at[0];
}

uint32_t blended(uint32_t straight, uint32_t background) {
  uint32_t alpha = straight >> 24;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t source = (straight >> shift) & 0xFF;
    uint32_t premultiplied = alpha == 255 ? source : (source * alpha) >> 8;
    uint32_t under = (background >> shift) & 0xFF;
    uint32_t value = premultiplied + (under * (255 - alpha) + 127) / 255;
    out |= (value > 255 ? 255 : value) << shift;
  }
  return out;
}

bool close_colour(uint32_t a, uint32_t b, int slack) {
  for (int shift = 0; shift < 24; shift += 8)
    if (abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > slack) return false;
  return true;
}

Canvas::Canvas(int width, int height, uint32_t fill) : width_(width), height_(height) {
  BITMAPINFO info = info_of(width, -height, 32);
  void* memory = nullptr;
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
  bits_ = static_cast<uint32_t*>(memory);
  for (int i = 0; i < width * height; i++) bits_[i] = fill;
  previous_ = SelectObject(dc_, bitmap_);
}

Canvas::~Canvas() {
  SelectObject(dc_, previous_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

void Canvas::copy_from(HWND window, int x, int y) {
  HDC screen = GetDC(window);
  BitBlt(dc_, 0, 0, width_, height_, screen, x, y, SRCCOPY);
  ReleaseDC(window, screen);
  GdiFlush();
}

void ImageGadgetTest::SetUpTestSuite() {
  static bool started = false;
  if (started) return;
  alpha_blend_init();
  image_decoders_init();
  image_library_init();
  event_queue_init();
  window_library_init();
  gadget_library_init();
  register_png_decoder();
  context_at_start = *gadget_context();
  if (HWND* stack = context_at_start.list_stack) {
    stack_bytes_at_start = HeapSize(runtime_heap(), 0, stack);
    stack_zero_at_start = true;
    for (size_t i = 0; i < stack_bytes_at_start / sizeof(HWND); i++) stack_zero_at_start &= stack[i] == nullptr;
  }
  started = true;
}

void ImageGadgetTest::SetUp() {
  window_ = reinterpret_cast<HWND>(open_window(1, 0, 0, 300, 200, "images", WINDOW_INVISIBLE));
  ASSERT_NE(window_, nullptr);
  drain();
}

void ImageGadgetTest::TearDown() {
  close_all_windows();
  drain();
  for (HGDIOBJ b : bitmaps_) DeleteObject(b);
  for (HICON i : icons_) DestroyIcon(i);
}

void ImageGadgetTest::drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  while (pop_event(nullptr, nullptr, nullptr)) {
  }
}

std::vector<SeenEvent> ImageGadgetTest::events_until_idle(bool gadget_only) {
  std::vector<SeenEvent> seen;
  for (int32_t code; (code = wait_window_event_timeout(0)) != 0;)
    if (!gadget_only || code == EVENT_GADGET) seen.push_back({code, event_object(), event_window(), event_type()});
  return seen;
}

RECT ImageGadgetTest::rect_in_parent(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HBITMAP ImageGadgetTest::keep(HBITMAP bitmap) {
  bitmaps_.push_back(bitmap);
  return bitmap;
}

HICON ImageGadgetTest::keep(HICON icon) {
  icons_.push_back(icon);
  return icon;
}
