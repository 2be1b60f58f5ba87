#include "runtime/gadgets/status_bar.h"

#include <commctrl.h>

#include "runtime/gadgets/status_bar_internal.h"
#include "runtime/window/runtime_heap.h"
#include "runtime/window/state_block.h"

static const char PROP_CALLBACK[] = "xr_statusbar_callback";
static const char PROP_ID[] = "xr_statusbar_id";

ObjectRegistry* g_status_bars = nullptr;

struct StatusBarState {
  StatusBar* current;  // the bar made last; status_bar_add_field works on it
};
static StatusBarState* g_state = nullptr;

static constexpr UINT STATUS_WINDOW_ID = 0xE404040F;

UINT status_bar_make_progress_message() {
  static UINT message = RegisterWindowMessageA("quarvo_status_bar_make_progress");
  return message;
}

static void release_status_bar(int32_t number) {
  auto* bar = static_cast<StatusBar*>(registry_lookup(g_status_bars, number));
  if (bar) DestroyWindow(bar->window);
}

void status_bar_library_init() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  g_status_bars = registry_create(sizeof(StatusBar), 16, release_status_bar);
  g_state = static_cast<StatusBarState*>(state_block_create(sizeof(StatusBarState), nullptr, nullptr));
}

StatusBar* status_bar_lookup(ObjectId bar) {
  return static_cast<StatusBar*>(registry_lookup(g_status_bars, bar));
}

static WNDPROC previous_proc(HWND window) {
  return reinterpret_cast<WNDPROC>(GetPropA(window, PROP_CALLBACK));
}

// The id stored in a window's xr_statusbar_id (id + 1), or -1 for none.
static ObjectId stored_id(HWND window) {
  auto value = reinterpret_cast<INT_PTR>(GetPropA(window, PROP_ID));
  return value ? value - 1 : -1;
}

static bool drawn_progress_field(const StatusBar* bar, const DRAWITEMSTRUCT* item) {
  return item->hwndItem == bar->window && item->itemID < static_cast<UINT>(bar->count) &&
         bar->fields[item->itemID].kind == FIELD_KIND_PROGRESS;
}

static void follow_parent_size(StatusBar* bar) {
  RECT client;
  GetClientRect(GetParent(bar->window), &client);
  if (client.right == bar->last_width && client.bottom == bar->last_height) return;
  SendMessageA(bar->window, WM_SIZE, 0, 0);
  status_bar_layout(bar);
  InvalidateRect(bar->window, nullptr, FALSE);
  bar->last_width = client.right;
  bar->last_height = client.bottom;
}

static LRESULT CALLBACK status_bar_parent_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC previous = previous_proc(window);
  ObjectId id = stored_id(window);
  StatusBar* bar = id == -1 ? nullptr : status_bar_lookup(id);
  switch (message) {
    case WM_SIZE:
      if (bar && (wparam == SIZE_RESTORED || wparam == SIZE_MAXIMIZED)) follow_parent_size(bar);
      break;
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (bar && drawn_progress_field(bar, item)) {
        draw_owner_progress(&bar->fields[item->itemID], item);
        return TRUE;
      }
      break;
    }
    case WM_NCDESTROY:
      RemovePropA(window, PROP_CALLBACK);
      break;
  }
  return previous ? CallWindowProcA(previous, window, message, wparam, lparam)
                  : DefWindowProcA(window, message, wparam, lparam);
}

static void free_status_bar(HWND window) {
  // The status window knows its own id: a parent names only its newest bar,
  // and freeing that one when an older bar goes would lose the wrong record.
  ObjectId id = stored_id(window);
  StatusBar* bar = id == -1 ? nullptr : status_bar_lookup(id);
  RemovePropA(window, PROP_CALLBACK);
  RemovePropA(window, PROP_ID);
  if (!bar || bar->window != window) return;
  HWND parent = GetParent(window);
  if (parent && stored_id(parent) == id) RemovePropA(parent, PROP_ID);
  if (g_state->current == bar) g_state->current = nullptr;
  runtime_free(bar->fields);
  registry_free(g_status_bars, id);
}

static HWND make_progress_control(HWND status_window) {
  return CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | PBS_SMOOTH, 0, 0, 0, 0, status_window,
                         nullptr, GetModuleHandleA(nullptr), nullptr);
}

static LRESULT CALLBACK status_bar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC previous = previous_proc(window);
  if (message == WM_NCDESTROY) {
    free_status_bar(window);
  } else if (message == status_bar_make_progress_message()) {
    return reinterpret_cast<LRESULT>(make_progress_control(window));
  }
  return previous ? CallWindowProcA(previous, window, message, wparam, lparam)
                  : DefWindowProcA(window, message, wparam, lparam);
}

static void subclass(HWND window, WNDPROC procedure) {
  auto old = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
  SetPropA(window, PROP_CALLBACK, reinterpret_cast<HANDLE>(old));
}

INT_PTR create_status_bar(int32_t number, HWND parent) {
  if (!g_status_bars) return 0;
  common_controls_version();
  auto* bar = static_cast<StatusBar*>(registry_allocate(g_status_bars, number));
  if (!bar) return 0;
  ObjectId id = number == OBJECT_ANY ? reinterpret_cast<ObjectId>(bar) : number;
  auto* fields = static_cast<StatusField*>(runtime_alloc_zeroed(8 * sizeof(StatusField)));
  HWND window = fields ? CreateStatusWindowA(WS_CHILD | WS_VISIBLE, nullptr, parent, STATUS_WINDOW_ID) : nullptr;
  if (!window) {
    runtime_free(fields);
    registry_free(g_status_bars, id);
    return 0;
  }
  bar->fields = fields;
  bar->count = 0;
  bar->capacity = 8;
  bar->last_width = 0;
  bar->last_height = 0;
  bar->window = window;  // live from here on

  if (!GetPropA(parent, PROP_CALLBACK)) subclass(parent, status_bar_parent_proc);
  SetPropA(parent, PROP_ID, reinterpret_cast<HANDLE>(id + 1));
  SetPropA(window, PROP_ID, reinterpret_cast<HANDLE>(id + 1));
  subclass(window, status_bar_proc);

  SendMessageA(window, SB_SETMINHEIGHT, 18, 0);
  SendMessageA(window, WM_SIZE, 0, 0);
  g_state->current = bar;

  RECT client;
  GetClientRect(parent, &client);
  SendMessageA(parent, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  return number == OBJECT_ANY ? id : reinterpret_cast<INT_PTR>(window);
}

void status_bar_add_field(int32_t width) {
  StatusBar* bar = g_state ? g_state->current : nullptr;
  if (!bar || bar->count >= STATUS_BAR_MAX_FIELDS) return;
  if (bar->count == bar->capacity) {
    void* grown = runtime_realloc(bar->fields, (bar->capacity + 8) * sizeof(StatusField), true);
    if (!grown) return;
    bar->fields = static_cast<StatusField*>(grown);
    bar->capacity += 8;
  }
  StatusField* field = &bar->fields[bar->count];
  *field = StatusField{};
  field->kind = FIELD_KIND_TEXT;
  field->width = width;
  field->maximum = 100;
  bar->count++;
  status_bar_layout(bar);
}
