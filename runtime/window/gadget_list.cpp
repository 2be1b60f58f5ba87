#include "runtime/window/gadget_list.h"

#include "runtime/window/gadget_plumbing.h"
#include "runtime/window/id_text.h"
#include "runtime/window/runtime_heap.h"
#include "runtime/window/window.h"

static constexpr int32_t FIRST_STACK_CAPACITY = 10;

// Named after the module instance: a second copy of the runtime in another
// module keeps records of its own.
static const char* property_name() {
  static char name[64];
  if (!name[0]) name_with_id(name, "XR_GadgetStack_", reinterpret_cast<INT_PTR>(GetModuleHandleA(nullptr)));
  return name;
}

GadgetListRecord* gadget_list_record(HWND window) {
  return window ? static_cast<GadgetListRecord*>(GetPropA(window, property_name())) : nullptr;
}

static HWND current_list(const GadgetContext* ctx) {
  return ctx->list_stack_count > 0 ? ctx->list_stack[0] : ctx->current_list;
}

static void save_context(GadgetContext* ctx, GadgetListRecord* into) {
  into->saved_current_list = ctx->current_list;
  into->saved_list_stack = ctx->list_stack;
  into->saved_list_stack_count = ctx->list_stack_count;
  into->saved_list_stack_capacity = ctx->list_stack_capacity;
  ctx->list_stack = nullptr;  // the array belongs to the record now
}

static void restore_context(GadgetContext* ctx, GadgetListRecord* from) {
  runtime_free(ctx->list_stack);
  ctx->current_list = from->saved_current_list;
  ctx->list_stack = from->saved_list_stack;
  ctx->list_stack_count = from->saved_list_stack_count;
  ctx->list_stack_capacity = from->saved_list_stack_capacity;
  from->saved_list_stack = nullptr;
}

static void start_new_list(GadgetContext* ctx, HWND window) {
  if (ctx->list_stack) {
    ctx->list_stack_count = 0;  // the array is reused
  } else {
    ctx->list_stack = static_cast<HWND*>(runtime_alloc_zeroed(FIRST_STACK_CAPACITY * sizeof(HWND)));
    ctx->list_stack_count = 0;
    ctx->list_stack_capacity = ctx->list_stack ? FIRST_STACK_CAPACITY : 0;
  }
  ctx->current_list = window;
  auto* record = static_cast<GadgetListRecord*>(runtime_alloc_zeroed(sizeof(GadgetListRecord)));
  if (!record) return;
  record->window = window;
  SetPropA(window, property_name(), record);
  record->previous_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gadget_list_proc)));
}

HWND use_gadget_list(HWND window) {
  GadgetContext* ctx = gadget_context();
  if (!ctx) return nullptr;
  HWND previous = current_list(ctx);
  if (!window) return previous;
  GadgetListRecord* leaving = gadget_list_record(previous);
  if (leaving) save_context(ctx, leaving);
  GadgetListRecord* record = gadget_list_record(window);
  if (record)
    restore_context(ctx, record);
  else
    start_new_list(ctx, window);
  ctx->cleared_on_attach = 0;
  return previous;
}

LRESULT CALLBACK gadget_list_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  GadgetListRecord* record = gadget_list_record(window);
  if (!record) return DefWindowProcA(window, message, wparam, lparam);
  WNDPROC previous = record->previous_proc;
  if (message == WM_NCDESTROY) {
    GadgetContext* ctx = gadget_context();
    if (ctx && current_list(ctx) == record->window) {
      // The next gadget has no window to go into until one is made current.
      ctx->current_list = nullptr;
      ctx->list_stack_count = 0;
    }
    runtime_free(record->saved_list_stack);
    runtime_free(record);
    RemovePropA(window, property_name());
  }
  return previous ? CallWindowProcA(previous, window, message, wparam, lparam)
                  : DefWindowProcA(window, message, wparam, lparam);
}
