// What every gadget type shares: a created control is attached as a
// numbered gadget (its id in GWLP_ID and XR_ID, its procedure chained
// behind common_gadget_proc), its notifications are offered to its type,
// it posts gadget events, and its record is freed with its control.
// The gadget library (created later in start-up) hands over its registry
// and context with set_gadget_base. GUI thread only.
#pragma once

#include <windows.h>
#include <cstdint>

#include "runtime/window/registry.h"

struct Gadget;

// One static table per gadget type; absent entries are null.
struct GadgetType {
  int32_t type_code;
  int32_t table_size;
  // Notifications of the control sent to its parent (WM_COMMAND, WM_NOTIFY,
  // scrolling, colours); returns NOT_HANDLED to let the parent handle them.
  LRESULT (*notify_handler)(Gadget* gadget, HWND parent, UINT message, WPARAM wparam, LPARAM lparam);
  void (*release)(Gadget* gadget);  // run once, when the control is destroyed
  INT_PTR (*get_state)(Gadget* gadget);
  INT_PTR (*set_state)(Gadget* gadget, INT_PTR value);
};

// The record of the gadget registry.
struct Gadget {
  HWND window;           // the control: the live field
  GadgetType* type;
  int32_t data;          // a per-gadget value for the program
  WNDPROC previous_proc; // where common_gadget_proc forwards every message
  // Image gadgets' own fields.
  HANDLE image;          // bitmap or icon shown, not owned
  HBITMAP alpha_copy;    // premultiplied copy of `image`, owned
  int32_t tracking;      // left button held since a press, no drag yet
  int32_t press_point;   // lParam of that press
};

// Where new gadgets go and how they look.
struct GadgetContext {
  HWND current_list;         // the window new gadgets are created in
  int32_t cleared_on_attach;
  HFONT gadget_font;         // sent with WM_SETFONT to every new gadget
  HWND* list_stack;          // pushed gadget lists; [0] is current while in use
  int32_t list_stack_count;
  int32_t list_stack_capacity;
  HWND aux_window;           // destroyed by the gadget library at shutdown
};

// Hands over the gadget registry and context (the gadget library's
// initialisation does this). Until then there are no gadgets and no
// current gadget list.
void set_gadget_base(ObjectRegistry* registry, GadgetContext* context);
ObjectRegistry* gadget_registry();
GadgetContext* gadget_context();

// Attaches a created control as gadget `number` (or OBJECT_ANY) in
// `record`, from registry_allocate of the gadget registry: fills window and
// type, chains common_gadget_proc in front of the control's procedure, sets
// the id, sends the gadget font. Returns the record address for OBJECT_ANY,
// else the control.
INT_PTR attach_gadget(int32_t number, Gadget* record, HWND control, GadgetType* type);

// The procedure of every gadget control: forwards everything to the
// record's previous_proc; on WM_NCDESTROY it then runs the type's release,
// removes XR_ID (and the drop registration), sets the id to -1 and frees
// the number. A released control's messages go to DefWindowProcA.
LRESULT CALLBACK common_gadget_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam);

// Queues EVENT_GADGET for the control's gadget with the number of the
// runtime window that holds it (-1 when none does).
void post_gadget_event(HWND control, int32_t type);

// Offers a control's notification to its gadget's type: the handler's
// result, or NOT_HANDLED when the control is no live gadget or its type
// has no handler.
LRESULT forward_to_gadget(HWND control, HWND parent, UINT message, WPARAM wparam, LPARAM lparam);

// The live gadget whose control this is, or null.
Gadget* gadget_of_control(HWND control);
