#include "runtime/dragdrop/drag_drop.h"

#include <ole2.h>

#include "runtime/dragdrop/drop_target.h"
#include "runtime/window/window.h"

static const char PROP_DROP_ACCEPT[] = "XR_DropAccept";

HRESULT drag_drop_init() { return OleInitialize(nullptr); }

void enable_window_drop(ObjectId window, int32_t type, int32_t actions, int32_t private_key) {
  WindowRecord* record = window_lookup(window);
  if (!record || !record->handle) return;
  set_drop_format(window, 0, record->handle, type, actions, private_key);
}

// The target of `window`, made and registered with OLE if it has none yet.
// OLE's own reference keeps a registered target alive; ours is given back.
static DropTarget* registered_target(ObjectId number, int32_t gadget_type, HWND window) {
  if (DropTarget* target = drop_target_of(window)) return target;
  DropTarget* target = drop_target_create(gadget_type, number, window);
  if (!target) return nullptr;
  IDropTarget* com = drop_target_interface(target);
  HRESULT result = RegisterDragDrop(window, com);
  if (result == DRAGDROP_E_ALREADYREGISTERED) {
    // Another component registered the window first; ours takes its place.
    RevokeDragDrop(window);
    result = RegisterDragDrop(window, com);
  }
  if (result != S_OK || !SetPropA(window, PROP_DROP_ACCEPT, target)) {
    if (result == S_OK) RevokeDragDrop(window);
    com->Release();
    return nullptr;
  }
  com->Release();
  return target;
}

// A target with no drop type left is unregistered; OLE gives back its
// reference, the last one, and the target goes with it.
static void revoke_if_unused(HWND window, DropTarget* target) {
  if (target->formats || target->private_formats) return;
  RemovePropA(window, PROP_DROP_ACCEPT);
  RevokeDragDrop(window);
}

static void disable_drop_format(HWND window, int32_t type, int32_t private_key) {
  DropTarget* target = drop_target_of(window);
  if (!target) return;
  const bool is_private = type == DROP_TYPE_PRIVATE;
  ObjectListNode** list = is_private ? &target->private_formats : &target->formats;
  if (DropFormat* format = find_drop_format(*list, is_private ? private_key : type)) list_remove(list, format);
  revoke_if_unused(window, target);
}

void set_drop_format(ObjectId number, int32_t gadget_type, HWND window, int32_t type, int32_t actions,
                     int32_t private_key) {
  if (type == 0 || !window) return;
  if (actions == 0) {
    disable_drop_format(window, type, private_key);
    return;
  }
  DropTarget* target = registered_target(number, gadget_type, window);
  if (!target) return;
  const bool is_private = type == DROP_TYPE_PRIVATE;
  ObjectListNode** list = is_private ? &target->private_formats : &target->formats;
  const int32_t key = is_private ? private_key : type;
  if (DropFormat* format = find_drop_format(*list, key)) {
    format->actions = actions;
    return;
  }
  auto* format = static_cast<DropFormat*>(list_insert(list, OBJECT_LIST_HEADER + sizeof(DropFormat)));
  if (!format) {
    // A target registered just now for this type alone is undone.
    revoke_if_unused(window, target);
    return;
  }
  format->key = key;
  format->actions = actions;
}
