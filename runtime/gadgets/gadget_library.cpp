#include "runtime/gadgets/gadget_library.h"

#include <commctrl.h>

#include "runtime/window/runtime_heap.h"
#include "runtime/window/state_block.h"

static constexpr int32_t REGISTRY_GROWTH_STEP = 50;
static constexpr int32_t LIST_STACK_CAPACITY = 10;

// Tab, hot-key, date, extended combo box and IP-address classes; the
// others that gadgets use are registered by every comctl32 at load.
static constexpr DWORD GADGET_CONTROL_CLASSES =
    ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES;

static HFONT g_default_font = nullptr;

HFONT default_gadget_font() { return g_default_font; }

// A number about to be reused: its live gadget goes first. The control's
// WM_NCDESTROY (common_gadget_proc) releases the record and frees the slot.
static void release_gadget_number(int32_t number) {
  auto* gadget = static_cast<Gadget*>(registry_lookup(gadget_registry(), number));
  if (gadget && gadget->window) DestroyWindow(gadget->window);
}

static void initialise_context(void* block) {
  auto* context = static_cast<GadgetContext*>(block);
  context->list_stack = static_cast<HWND*>(runtime_alloc_zeroed(LIST_STACK_CAPACITY * sizeof(HWND)));
  context->list_stack_capacity = context->list_stack ? LIST_STACK_CAPACITY : 0;
  context->list_stack_count = 0;
  context->cleared_on_attach = 0;
  context->gadget_font = g_default_font;
}

static void finalise_context(void* block) {
  auto* context = static_cast<GadgetContext*>(block);
  runtime_free(context->list_stack);
  context->list_stack = nullptr;
}

void gadget_library_init() {
  g_default_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  ObjectRegistry* registry = registry_create(sizeof(Gadget), REGISTRY_GROWTH_STEP, release_gadget_number);
  auto* context = static_cast<GadgetContext*>(
      state_block_create(sizeof(GadgetContext), initialise_context, finalise_context));
  set_gadget_base(registry, context);

  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof controls;
  controls.dwICC = GADGET_CONTROL_CLASSES;
  InitCommonControlsEx(&controls);
}

void gadget_library_shutdown() {
  GadgetContext* context = gadget_context();
  if (!context || !context->aux_window) return;
  DestroyWindow(context->aux_window);
  // A later handle of the same value must not be taken for it.
  context->aux_window = nullptr;
}
