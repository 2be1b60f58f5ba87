#include "runtime/dragdrop/gadget_drop.h"

#include <cstring>

#include "runtime/dragdrop/drag_drop.h"
#include "runtime/dragdrop/drop_target.h"
#include "runtime/window/gadget_plumbing.h"

// The one gadget type whose neighbours are left where they are.
static constexpr int32_t GADGET_TYPE_KEEPS_BUTTONS = 7;

// Any button style but BS_PUSHBUTTON has one of the low three bits set
// (BS_USERBUTTON aside, which is as obsolete as it is plain).
static constexpr LONG_PTR BUTTON_KIND_BITS = 0x7;

void enable_gadget_drop(ObjectId gadget, int32_t type, int32_t actions, int32_t private_key) {
  auto* record = static_cast<Gadget*>(registry_lookup(gadget_registry(), gadget));
  if (!record || !record->window || !record->type) return;
  const int32_t gadget_type = record->type->type_code;
  set_drop_format(gadget, gadget_type, record->window, type, actions, private_key);
  if (gadget_type != GADGET_TYPE_KEEPS_BUTTONS) lower_overlapping_buttons(record->window);
}

namespace {

struct Neighbourhood {
  HWND gadget;
  HWND parent;
  RECT bounds;  // the gadget's window rectangle
};

}  // namespace

static bool is_raised_button(HWND child) {
  char class_name[50];
  if (!GetClassNameA(child, class_name, sizeof class_name)) return false;
  if (std::strcmp(class_name, "Button") != 0) return false;
  return (GetWindowLongPtrA(child, GWL_STYLE) & BUTTON_KIND_BITS) != 0;
}

static BOOL CALLBACK lower_if_overlapping(HWND child, LPARAM context) {
  auto* around = reinterpret_cast<Neighbourhood*>(context);
  if (child == around->gadget) return FALSE;
  if (GetParent(child) != around->parent || !is_raised_button(child)) return TRUE;
  RECT bounds, overlap;
  GetWindowRect(child, &bounds);
  if (IntersectRect(&overlap, &bounds, &around->bounds))
    SetWindowPos(child, around->gadget, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  return TRUE;
}

void lower_overlapping_buttons(HWND gadget) {
  Neighbourhood around = {gadget, GetParent(gadget), {}};
  if (!around.parent || !GetWindowRect(gadget, &around.bounds)) return;
  EnumChildWindows(around.parent, lower_if_overlapping, reinterpret_cast<LPARAM>(&around));
}
