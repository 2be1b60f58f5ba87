#include "runtime/window/window.h"

#include <ole2.h>

#include "runtime/window/event_state.h"
#include "runtime/window/gadget_list.h"
#include "runtime/window/id_text.h"
#include "runtime/window/runtime_heap.h"
#include "runtime/window/sizing.h"
#include "runtime/window/window_proc.h"

static const char PROP_WINDOW_ID[] = "XR_WindowID";
static const char PROP_DROP_ACCEPT[] = "XR_DropAccept";

static ObjectRegistry* g_windows = nullptr;
static HINSTANCE g_instance = nullptr;
static HICON g_class_icon = nullptr;
static HCURSOR g_class_cursor = nullptr;

// Bits of `flags` that say nothing about the frame: with none but these,
// a window still gets a title bar.
static constexpr uint32_t FRAMELESS_BITS = ~(WINDOW_SCREEN_CENTRE | WINDOW_PARENT_CENTRE | WINDOW_INVISIBLE);
// A tool window drops WS_MINIMIZE, WS_MAXIMIZE and both boxes.
static constexpr uint32_t TOOL_WINDOW_KEEPS = ~(WS_MINIMIZE | WS_MAXIMIZE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);

static void window_class_name(ObjectId id, char* out) { name_with_id(out, "WindowClass_", id); }

static void release_window_number(int32_t number) { close_window(number); }

void window_library_init() {
  g_instance = GetModuleHandleA(nullptr);
  g_windows = registry_create(sizeof(WindowRecord), 16, release_window_number);
  event_state_create();
  g_class_icon = LoadIconA(g_instance, MAKEINTRESOURCEA(1));
  g_class_cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  sizing_state_create();
}

HINSTANCE window_instance() { return g_instance; }
ObjectRegistry* window_registry() { return g_windows; }

WindowRecord* window_lookup(ObjectId window) {
  return static_cast<WindowRecord*>(registry_lookup(g_windows, window));
}

ObjectId window_id_of(HWND window) {
  if (!window) return -1;
  auto stored = reinterpret_cast<INT_PTR>(GetPropA(window, PROP_WINDOW_ID));
  return stored ? stored - 1 : -1;
}

static void register_window_class(const char* name) {
  WNDCLASSA wc = {};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = window_proc;
  wc.hInstance = g_instance;
  wc.hIcon = g_class_icon;
  wc.hCursor = g_class_cursor;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = name;
  // A class left registered under this name makes this fail; creation
  // then decides.
  RegisterClassA(&wc);
}

// Where the window goes, from the flags and the outer size; the size may be
// clamped to the screen when centring on it.
static void place_window(uint32_t flags, HWND parent, int* x, int* y, int* outer_w, int* outer_h) {
  bool centring = (flags & (WINDOW_SCREEN_CENTRE | WINDOW_PARENT_CENTRE)) != 0;
  bool ignored = *x == VALUE_IGNORE || *y == VALUE_IGNORE;
  if (ignored && !centring) {
    *x = *y = CW_USEDEFAULT;
    return;
  }
  if (flags & WINDOW_SCREEN_CENTRE) {
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    if (*outer_w > sw) *outer_w = sw;
    if (*outer_h > sh) *outer_h = sh;
    *x = (sw - *outer_w) / 2;
    *y = (sh - *outer_h) / 2;
    return;
  }
  HWND reference = parent ? parent : GetActiveWindow();
  RECT r;
  if (!reference || !GetWindowRect(reference, &r)) {
    // Nothing to centre on: an ignored position is still the default one,
    // not a window at -65535.
    if (ignored) *x = *y = CW_USEDEFAULT;
    return;
  }
  *x = r.left + (r.right - r.left - *outer_w) / 2;
  *y = r.top + (r.bottom - r.top - *outer_h) / 2;
  if (*x < 0) *x = 0;
  if (*y < 0) *y = 0;
}

static bool make_accelerators(WindowRecord* record) {
  auto* entries = static_cast<ACCEL*>(runtime_alloc(2 * sizeof(ACCEL)));
  if (!entries) return false;
  entries[0] = {FVIRTKEY | FNOINVERT, VK_TAB, FOCUS_NEXT_COMMAND};
  entries[1] = {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, FOCUS_PREVIOUS_COMMAND};
  record->accelerators = entries;
  record->accelerator_count = 2;
  record->accelerator_table = CreateAcceleratorTableA(entries, 2);
  return true;
}

INT_PTR open_window_with_parent(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                                const char* title, uint32_t flags, HWND parent) {
  auto* record = static_cast<WindowRecord*>(registry_allocate(g_windows, number));
  if (!record) return 0;
  ObjectId id = number == OBJECT_ANY ? reinterpret_cast<ObjectId>(record) : number;
  char class_name[64];
  window_class_name(id, class_name);
  register_window_class(class_name);

  bool gadget_list = !(flags & WINDOW_NO_GADGET_LIST);
  flags &= ~WINDOW_NO_GADGET_LIST;
  if (!(flags & FRAMELESS_BITS)) flags |= WS_CAPTION;
  bool show = !(flags & WINDOW_INVISIBLE);
  flags &= ~WINDOW_INVISIBLE;
  DWORD ex_style = 0;
  if (flags & WINDOW_TOOL) {
    flags = (flags & TOOL_WINDOW_KEEPS) | WS_CAPTION;
    ex_style = WS_EX_TOOLWINDOW;
  }
  DWORD style = flags & ~(WINDOW_SCREEN_CENTRE | WINDOW_PARENT_CENTRE | WINDOW_TOOL);

  RECT outer = {0, 0, width, height};
  AdjustWindowRectEx(&outer, style, FALSE, ex_style);
  int outer_w = outer.right - outer.left, outer_h = outer.bottom - outer.top;
  place_window(flags, parent, &x, &y, &outer_w, &outer_h);

  HWND handle = CreateWindowExA(ex_style, class_name, title ? title : "", style, x, y, outer_w, outer_h,
                                parent, nullptr, g_instance, nullptr);
  if (!handle) {
    UnregisterClassA(class_name, g_instance);
    registry_free(g_windows, id);
    return 0;
  }
  record->handle = handle;
  SetPropA(handle, PROP_WINDOW_ID, reinterpret_cast<HANDLE>(id + 1));
  if (show) {
    int command = (style & WS_MAXIMIZE) ? SW_MAXIMIZE : (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    ShowWindow(handle, command);
  }
  // Showing ran the window procedure; the record may have moved if that
  // opened windows, so it is looked up again.
  record = window_lookup(id);
  if (!record) return 0;
  record->min_max_state = (style & (WS_MAXIMIZE | WS_MINIMIZE)) ? 1 : 0;
  make_accelerators(record);
  if (gadget_list) use_gadget_list(handle);
  return number == OBJECT_ANY ? id : reinterpret_cast<INT_PTR>(handle);
}

INT_PTR open_window(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                    uint32_t flags) {
  return open_window_with_parent(number, x, y, width, height, title, flags, nullptr);
}

HWND window_handle(ObjectId window) {
  WindowRecord* record = window_lookup(window);
  return record ? record->handle : nullptr;
}

void close_window(ObjectId window) {
  WindowRecord* record = window_lookup(window);
  if (!record) return;
  // The record is read before destruction: the messages sent meanwhile run
  // runtime code that may move the registry's slots.
  HWND handle = record->handle;
  ACCEL* accelerators = record->accelerators;
  HACCEL table = record->accelerator_table;

  HWND owner = GetWindow(handle, GW_OWNER);
  if (owner) SetActiveWindow(owner);
  // With XR_WindowID gone, the destruction's messages find no window and
  // make no move, size or close events.
  RemovePropA(handle, PROP_WINDOW_ID);
  if (RemovePropA(handle, PROP_DROP_ACCEPT)) RevokeDragDrop(handle);
  DestroyWindow(handle);
  char class_name[64];
  window_class_name(window, class_name);
  UnregisterClassA(class_name, g_instance);
  if (accelerators) {
    runtime_free(accelerators);
    DestroyAcceleratorTable(table);
  }
  registry_free(g_windows, window);
}

void close_all_windows() {
  registry_first(g_windows);
  ObjectId id;
  while (registry_next(g_windows, &id)) close_window(id);
  release_drop_payload();
}

HWND owning_window(HWND window) {
  HWND h = window;
  while (h) {
    if (GetPropA(h, PROP_WINDOW_ID)) return h;
    HWND parent = GetParent(h);
    if (!parent) return h;
    h = parent;
  }
  return h;
}
