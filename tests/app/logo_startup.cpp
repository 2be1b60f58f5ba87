#include "tests/app/logo_startup.h"

#include "app/logo.h"
#include "runtime/gadgets/gadget_library.h"
#include "runtime/gadgets/status_bar.h"
#include "runtime/image/image.h"
#include "runtime/image/image_decoder.h"
#include "runtime/image/png_decoder.h"
#include "runtime/window/alpha_blend.h"
#include "runtime/window/event_queue.h"
#include "runtime/window/window.h"

void start_logo_libraries() {
  static bool started = false;
  if (started) return;
  alpha_blend_init();
  image_decoders_init();
  image_library_init();
  event_queue_init();
  window_library_init();
  gadget_library_init();
  status_bar_library_init();
  register_png_decoder();
  started = true;
}

HWND open_converter_window() {
  const uint32_t flags = WINDOW_SCREEN_CENTRE | WS_CAPTION | WS_SYSMENU;
  HWND window = reinterpret_cast<HWND>(open_window(0, 0, 0, 168, 156, " quarvo converter", flags));
  create_status_bar(0, window_handle(0));
  status_bar_add_field(VALUE_IGNORE);
  status_bar_add_field(75);
  status_bar_add_field(VALUE_IGNORE);
  status_bar_set_text(0, 0, "128 kbit", FIELD_ALIGN_CENTRE);
  status_bar_set_text(0, 1, "\xD2\xE0\xF9\xE8 \xF1\xFE\xE4\xE0!", FIELD_ALIGN_CENTRE);
  status_bar_set_text(0, 2, "0/0", FIELD_ALIGN_CENTRE);
  show_logo();
  return window;
}
