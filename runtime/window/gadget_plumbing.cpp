#include "runtime/window/gadget_plumbing.h"

#include <ole2.h>

#include "runtime/window/event_queue.h"
#include "runtime/window/window.h"
#include "runtime/window/window_proc.h"

static const char PROP_GADGET_ID[] = "XR_ID";
static const char PROP_DROP_ACCEPT[] = "XR_DropAccept";

// The identifier of a released gadget control.
static constexpr LONG_PTR RELEASED_ID = -1;

static ObjectRegistry* g_gadgets = nullptr;
static GadgetContext* g_context = nullptr;

void set_gadget_base(ObjectRegistry* registry, GadgetContext* context) {
  g_gadgets = registry;
  g_context = context;
}

ObjectRegistry* gadget_registry() { return g_gadgets; }
GadgetContext* gadget_context() { return g_context; }

Gadget* gadget_of_control(HWND control) {
  if (!control) return nullptr;
  // XR_ID reads 0 when absent, like the id of gadget 0: the record must
  // also name this control, or a foreign control with identifier 0 would
  // pass for gadget 0.
  auto id = reinterpret_cast<INT_PTR>(GetPropA(control, PROP_GADGET_ID));
  if (id != GetWindowLongPtrA(control, GWLP_ID)) return nullptr;
  auto* gadget = static_cast<Gadget*>(registry_lookup(g_gadgets, id));
  return gadget && gadget->window == control ? gadget : nullptr;
}

LRESULT forward_to_gadget(HWND control, HWND parent, UINT message, WPARAM wparam, LPARAM lparam) {
  Gadget* gadget = gadget_of_control(control);
  if (!gadget || !gadget->type || !gadget->type->notify_handler) return NOT_HANDLED;
  return gadget->type->notify_handler(gadget, parent, message, wparam, lparam);
}

INT_PTR attach_gadget(int32_t number, Gadget* record, HWND control, GadgetType* type) {
  INT_PTR id = number == OBJECT_ANY ? reinterpret_cast<INT_PTR>(record) : number;
  record->window = control;
  record->type = type;
  record->previous_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(common_gadget_proc)));
  SetWindowLongPtrA(control, GWLP_ID, id);
  SetPropA(control, PROP_GADGET_ID, reinterpret_cast<HANDLE>(id));
  if (g_context) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_context->gadget_font), TRUE);
    g_context->cleared_on_attach = 0;
  }
  return number == OBJECT_ANY ? id : reinterpret_cast<INT_PTR>(control);
}

static void release_gadget(HWND control, INT_PTR id) {
  // Looked up again: the forwarded message may have moved the slots.
  auto* gadget = static_cast<Gadget*>(registry_lookup(g_gadgets, id));
  if (gadget && gadget->type && gadget->type->release) gadget->type->release(gadget);
  RemovePropA(control, PROP_GADGET_ID);
  if (RemovePropA(control, PROP_DROP_ACCEPT)) RevokeDragDrop(control);
  SetWindowLongPtrA(control, GWLP_ID, RELEASED_ID);
  registry_free(g_gadgets, id);
}

LRESULT CALLBACK common_gadget_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  LONG_PTR id = GetWindowLongPtrA(control, GWLP_ID);
  if (id == RELEASED_ID) return DefWindowProcA(control, message, wparam, lparam);
  auto* gadget = static_cast<Gadget*>(registry_lookup(g_gadgets, id));
  // A control whose record is gone has nowhere to forward to.
  if (!gadget || gadget->window != control || !gadget->previous_proc)
    return DefWindowProcA(control, message, wparam, lparam);
  LRESULT result = CallWindowProcA(gadget->previous_proc, control, message, wparam, lparam);
  if (message == WM_NCDESTROY) release_gadget(control, id);
  return result;
}

void post_gadget_event(HWND control, int32_t type) {
  HWND top = owning_window(control);
  post_event(EVENT_GADGET, GetWindowLongPtrA(control, GWLP_ID), window_id_of(top), type);
}
