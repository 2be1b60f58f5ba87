#include "app/converter_main.h"

#include <windows.h>
#include <ole2.h>

#include "app/batch_worker.h"
#include "app/bitrate.h"
#include "app/converter_state.h"
#include "app/logo.h"
#include "runtime/base/code_page.h"
#include "runtime/base/files.h"
#include "runtime/base/program_runner.h"
#include "runtime/base/string_variable.h"
#include "runtime/base/string_workspace.h"
#include "runtime/base/threads.h"
#include "runtime/dragdrop/drag_drop.h"
#include "runtime/gadgets/gadget_library.h"
#include "runtime/gadgets/requester.h"
#include "runtime/gadgets/status_bar.h"
#include "runtime/image/image.h"
#include "runtime/image/image_decoder.h"
#include "runtime/image/png_decoder.h"
#include "runtime/window/alpha_blend.h"
#include "runtime/window/event_queue.h"
#include "runtime/window/event_state.h"
#include "runtime/window/runtime_heap.h"
#include "runtime/window/window.h"

// Field 1 while no batch runs (UTF-8, as every text of the converter).
static const char IDLE_TEXT[] = "Тащи сюда!";
static const char WINDOW_TITLE[] = " quarvo converter";
static const uint32_t WINDOW_FLAGS = WINDOW_SCREEN_CENTRE | WS_CAPTION | WS_SYSMENU;

// Milliseconds on the performance counter, which unlike the tick count
// resolves single milliseconds everywhere.
static int64_t now_ms() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return count.QuadPart / frequency.QuadPart * 1000 + count.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart;
}

void busy_indicator(int32_t) {
  char idle_text[64];
  ansi_from_utf8(IDLE_TEXT, idle_text, sizeof idle_text);
  int32_t step = 0;
  // Each pass waits for its 50 ms mark rather than for 50 ms: an update
  // goes to the GUI thread and takes a few milliseconds, and a plain pause
  // after it would stretch every period by that much. After a stall (a
  // busy GUI thread, a suspended process) the marks start afresh instead
  // of catching up in a burst.
  int64_t mark = now_ms();
  for (;;) {
    mark += 50;
    const int64_t now = now_ms();
    if (now > mark + 50) mark = now;
    delay_ms(static_cast<int32_t>(mark > now ? mark - now : 0));
    if (converter_state.busy.load(std::memory_order_acquire) == 0) {
      status_bar_set_text(0, 1, idle_text, FIELD_ALIGN_CENTRE);
    } else {
      // Not reset between batches: the sweep goes on where it stopped.
      status_bar_set_progress(0, 1, step);
      if (++step > 100) step = 0;
    }
  }
}

static void accept_drop() {
  // The type first: a drop of anything but files is passed over even
  // while idle; a drop during a batch is passed over whatever it holds.
  if (event_drop_type() != DROP_TYPE_FILES) return;
  if (converter_state.busy.load(std::memory_order_acquire) != 0) return;
  int32_t s = workspace_position();
  event_drop_files(s);
  string_assign(&converter_state.dropped_paths, s);
  // The worker reads dropped_paths only after it sees busy.
  converter_state.busy.store(1, std::memory_order_release);
}

bool handle_converter_event(int32_t code) {
  switch (code) {
    case EVENT_LEFT_CLICK:
      ask_bitrate();
      return true;
    case EVENT_WINDOW_DROP:
      accept_drop();
      return true;
    case EVENT_CLOSE_WINDOW:
      return false;
  }
  return true;
}

static void init_runtime() {
  workspace_init();
  alpha_blend_init();
  image_decoders_init();
  image_library_init();
  event_queue_init();
  window_library_init();
  gadget_library_init();
  drag_drop_init();
  program_runner_init();
  requester_library_init();
  status_bar_library_init();
  init_thread_lock();
  register_png_decoder();
}

void shutdown_runtime() {
  close_thread_handles();
  OleUninitialize();
  gadget_library_shutdown();
  close_all_windows();
  free_all_images();
  alpha_blend_release();
}

void converter_main() {
  converter_state.instance = GetModuleHandleA(nullptr);
  converter_state.runtime_heap = runtime_heap_create();
  init_runtime();
  converter_state.busy.store(0);
  converter_state.job_total = 0;
  converter_state.bitrate_kbit.store(128);

  // Nothing here is checked: whatever cannot be made is passed over and
  // the loop runs regardless.
  open_window(0, 0, 0, 168, 156, WINDOW_TITLE, WINDOW_FLAGS);
  create_status_bar(0, window_handle(0));
  status_bar_add_field(VALUE_IGNORE);
  status_bar_add_field(75);
  status_bar_add_field(VALUE_IGNORE);
  status_bar_set_text(0, 0, "128 kbit", FIELD_ALIGN_CENTRE);
  status_bar_set_text(0, 2, "0/0", FIELD_ALIGN_CENTRE);
  enable_window_drop(0, DROP_TYPE_FILES, DROP_ACTIONS_ALL, 0);
  show_logo();
  start_thread(busy_indicator, 1);
  start_thread(batch_worker, 2);

  do {
    converter_state.event_code = wait_window_event();
  } while (handle_converter_event(converter_state.event_code));

  remove_file("Ay_Emul.ayl");
  shutdown_runtime();
  runtime_heap_destroy();
  ExitProcess(0);
}
