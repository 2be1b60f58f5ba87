// The drop target: one COM object per native window that accepts drops,
// registered with OLE and kept in the window's XR_DropAccept property. It
// is a plain record whose first field points to a method table laid out as
// IDropTarget's, so OLE calls it as that interface on either pointer width.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <cstdint>

#include "runtime/window/object_list.h"
#include "runtime/window/registry.h"

struct DropTarget;

// The slots of IDropTarget in its order: IUnknown's three, then the drag
// callbacks.
struct DropTargetMethods {
  HRESULT(STDMETHODCALLTYPE* query_interface)(DropTarget* self, REFIID iid, void** result);
  ULONG(STDMETHODCALLTYPE* add_ref)(DropTarget* self);
  ULONG(STDMETHODCALLTYPE* release)(DropTarget* self);
  HRESULT(STDMETHODCALLTYPE* drag_enter)(DropTarget* self, IDataObject* data, DWORD keys, POINTL point,
                                         DWORD* effect);
  HRESULT(STDMETHODCALLTYPE* drag_over)(DropTarget* self, DWORD keys, POINTL point, DWORD* effect);
  HRESULT(STDMETHODCALLTYPE* drag_leave)(DropTarget* self);
  HRESULT(STDMETHODCALLTYPE* drop)(DropTarget* self, IDataObject* data, DWORD keys, POINTL point,
                                   DWORD* effect);
};

// What DragEnter found.
constexpr int32_t DROP_MATCH_NONE = 0;
constexpr int32_t DROP_MATCH_STANDARD = 1;
constexpr int32_t DROP_MATCH_PRIVATE = 2;

struct DropTarget {
  const DropTargetMethods* methods;
  LONG ref_count;                   // 1 at creation; the last Release frees the target
  int32_t gadget_type;              // 0 for a window, else the gadget's type number
  ObjectId number;                  // window or gadget id, sent with the event
  HWND window;                      // the window registered with OLE
  int32_t highlighted_item;         // list box item with the focus rectangle, -1 none
  ObjectListNode* formats;          // DropFormat nodes keyed by drop type, newest first
  ObjectListNode* private_formats;  // DropFormat nodes keyed by private key
  int32_t match;                    // DROP_MATCH_* of the last DragEnter
  int32_t matched_type;             // drop type or private key that matched
  int32_t matched_actions;
};

// The payload of a drop-format list node.
struct DropFormat {
  int32_t key;
  int32_t actions;
};

// A fresh target (reference count 1, no formats), or null when the heap is
// out. Not yet registered.
DropTarget* drop_target_create(int32_t gadget_type, ObjectId number, HWND window);

// The target as OLE sees it.
inline IDropTarget* drop_target_interface(DropTarget* target) {
  return reinterpret_cast<IDropTarget*>(target);
}

// The target stored on a native window, or null.
DropTarget* drop_target_of(HWND window);

// The list entry for `key`, or null.
DropFormat* find_drop_format(ObjectListNode* list, int32_t key);

// Enables (actions non-zero) or disables (actions 0) drop type `type` (or,
// for type 512, the private key) on native window `window`, which belongs
// to window or gadget `number`. Registers the window with OLE on its first
// drop type and revokes it when its last one goes.
void set_drop_format(ObjectId number, int32_t gadget_type, HWND window, int32_t type, int32_t actions,
                     int32_t private_key);

// The effect for a drag: of the actions both the target accepts and the
// source offers, link with Ctrl+Shift or Alt, move with Shift or when copy
// is not allowed, else copy, else link, else 0. Mouse buttons do not count.
int32_t choose_drop_effect(int32_t accepted, int32_t offered, int32_t keys);
