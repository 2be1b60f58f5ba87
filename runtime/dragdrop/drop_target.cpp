#include "runtime/dragdrop/drop_target.h"

#include <climits>

#include "runtime/dragdrop/drag_drop.h"
#include "runtime/dragdrop/drop_feedback.h"
#include "runtime/window/event_queue.h"
#include "runtime/window/event_state.h"
#include "runtime/window/runtime_heap.h"
#include "runtime/window/window.h"

static const char PROP_DROP_ACCEPT[] = "XR_DropAccept";

// Largest data block a payload takes: its size travels as a 32-bit count,
// and the file list is later copied with a little room behind it.
static constexpr SIZE_T MAX_PAYLOAD_BYTES = INT32_MAX - 64;

DropTarget* drop_target_of(HWND window) {
  return window ? static_cast<DropTarget*>(GetPropA(window, PROP_DROP_ACCEPT)) : nullptr;
}

DropFormat* find_drop_format(ObjectListNode* list, int32_t key) {
  for (ObjectListNode* node = list; node; node = node->next) {
    auto* format = static_cast<DropFormat*>(list_payload_of(node));
    if (format->key == key) return format;
  }
  return nullptr;
}

int32_t choose_drop_effect(int32_t accepted, int32_t offered, int32_t keys) {
  const int32_t allowed = accepted & offered;
  const int32_t modifiers = keys & (MK_SHIFT | MK_CONTROL | MK_ALT);
  if ((allowed & DROPEFFECT_LINK) && (modifiers == (MK_CONTROL | MK_SHIFT) || modifiers == MK_ALT))
    return DROPEFFECT_LINK;
  if ((allowed & DROPEFFECT_MOVE) && (modifiers == MK_SHIFT || !(allowed & DROPEFFECT_COPY)))
    return DROPEFFECT_MOVE;
  if (allowed & DROPEFFECT_COPY) return DROPEFFECT_COPY;
  return allowed & DROPEFFECT_LINK ? DROPEFFECT_LINK : DROPEFFECT_NONE;
}

static void free_format_list(ObjectListNode** list) {
  while (*list) list_remove(list, list_payload_of(*list));
}

static HRESULT STDMETHODCALLTYPE target_query_interface(DropTarget* self, REFIID iid, void** result) {
  if (!result) return E_INVALIDARG;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
    *result = self;
    self->methods->add_ref(self);
    return S_OK;
  }
  *result = nullptr;
  return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE target_add_ref(DropTarget* self) {
  return static_cast<ULONG>(InterlockedIncrement(&self->ref_count));
}

static ULONG STDMETHODCALLTYPE target_release(DropTarget* self) {
  LONG count = InterlockedDecrement(&self->ref_count);
  if (count <= 0) {
    free_format_list(&self->formats);
    free_format_list(&self->private_formats);
    runtime_free(self);
  }
  return static_cast<ULONG>(count);
}

static FORMATETC hglobal_format(int32_t clipboard_format) {
  // Clipboard formats are 16-bit; a drop type is kept as a 32-bit number.
  return {static_cast<CLIPFORMAT>(clipboard_format & 0xFFFF), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// GetData that also insists on the memory kind asked for: a source that
// answers with a stream or a file would have us lock something that is no
// global memory block.
static bool get_global_data(IDataObject* data, int32_t clipboard_format, STGMEDIUM* medium) {
  FORMATETC format = hglobal_format(clipboard_format);
  *medium = {};
  if (data->GetData(&format, medium) != S_OK) return false;
  if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal) return true;
  ReleaseStgMedium(medium);
  return false;
}

// A private drag is told apart by the 32-bit key at the start of its data.
static void match_private_format(DropTarget* self, IDataObject* data, DWORD offered) {
  STGMEDIUM medium;
  if (!get_global_data(data, DROP_TYPE_PRIVATE, &medium)) return;
  if (const void* block = GlobalLock(medium.hGlobal)) {
    if (GlobalSize(medium.hGlobal) >= sizeof(int32_t)) {
      const int32_t key = *static_cast<const int32_t*>(block);
      for (ObjectListNode* node = self->private_formats; node; node = node->next) {
        auto* format = static_cast<DropFormat*>(list_payload_of(node));
        if (format->key == key && (format->actions & static_cast<int32_t>(offered))) {
          self->match = DROP_MATCH_PRIVATE;
          self->matched_type = format->key;
          self->matched_actions = format->actions;
          break;
        }
      }
    }
    GlobalUnlock(medium.hGlobal);
  }
  ReleaseStgMedium(&medium);
}

static void find_match(DropTarget* self, IDataObject* data, DWORD offered) {
  self->match = DROP_MATCH_NONE;
  if (!data) return;
  for (ObjectListNode* node = self->formats; node; node = node->next) {
    auto* format = static_cast<DropFormat*>(list_payload_of(node));
    if (!(format->actions & static_cast<int32_t>(offered))) continue;
    FORMATETC wanted = hglobal_format(format->key);
    if (data->QueryGetData(&wanted) == S_OK) {
      self->match = DROP_MATCH_STANDARD;
      self->matched_type = format->key;
      self->matched_actions = format->actions;
      return;
    }
  }
  if (self->private_formats) match_private_format(self, data, offered);
}

static DWORD effect_for(const DropTarget* self, DWORD offered, DWORD keys) {
  if (self->match == DROP_MATCH_NONE) return DROPEFFECT_NONE;
  return static_cast<DWORD>(choose_drop_effect(self->matched_actions, static_cast<int32_t>(offered),
                                               static_cast<int32_t>(keys)));
}

static POINT client_point(const DropTarget* self, POINTL screen) {
  POINT point = {screen.x, screen.y};
  ScreenToClient(self->window, &point);
  return point;
}

static HRESULT STDMETHODCALLTYPE target_drag_enter(DropTarget* self, IDataObject* data, DWORD keys,
                                                   POINTL screen, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  find_match(self, data, *effect);
  *effect = effect_for(self, *effect, keys);
  POINT point = client_point(self, screen);
  draw_drop_feedback(self, point.x, point.y, *effect ? FEEDBACK_ACCEPTED : FEEDBACK_REFUSED);
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE target_drag_over(DropTarget* self, DWORD keys, POINTL screen, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  *effect = effect_for(self, *effect, keys);
  POINT point = client_point(self, screen);
  draw_drop_feedback(self, point.x, point.y, *effect ? FEEDBACK_ACCEPTED : FEEDBACK_REFUSED);
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE target_drag_leave(DropTarget* self) {
  draw_drop_feedback(self, 0, 0, FEEDBACK_CLEARED);
  return S_OK;
}

// A heap copy of the matched format's data, or null when it cannot be
// fetched, locked or copied.
static DropPayload* copy_standard_drop(DropTarget* self, IDataObject* data) {
  STGMEDIUM medium;
  if (!data || !get_global_data(data, self->matched_type, &medium)) return nullptr;
  DropPayload* payload = nullptr;
  if (const void* block = GlobalLock(medium.hGlobal)) {
    const SIZE_T size = GlobalSize(medium.hGlobal);
    if (size > 0 && size <= MAX_PAYLOAD_BYTES) {
      payload = static_cast<DropPayload*>(runtime_alloc_zeroed(sizeof(DropPayload)));
      if (payload) {
        payload->type = self->matched_type;
        payload->size = static_cast<int32_t>(size);
        payload->data = runtime_alloc(size);
        if (payload->data) {
          CopyMemory(payload->data, block, size);
        } else {
          runtime_free(payload);
          payload = nullptr;
        }
      }
    }
    GlobalUnlock(medium.hGlobal);
  }
  ReleaseStgMedium(&medium);
  return payload;
}

static bool post_drop(DropTarget* self, DropPayload* payload) {
  const WPARAM number = static_cast<WPARAM>(self->number);
  const LPARAM lparam = reinterpret_cast<LPARAM>(payload);
  if (self->gadget_type == 0) return PostMessageA(self->window, EVENT_WINDOW_DROP, number, lparam) != 0;
  return PostMessageA(owning_window(self->window), EVENT_GADGET_DROP, number, lparam) != 0;
}

static void free_payload(DropPayload* payload) {
  runtime_free(payload->data);
  runtime_free(payload);
}

static HRESULT STDMETHODCALLTYPE target_drop(DropTarget* self, IDataObject* data, DWORD keys, POINTL screen,
                                             DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  *effect = effect_for(self, *effect, keys);
  POINT point = client_point(self, screen);
  if (*effect != DROPEFFECT_NONE) {
    DropPayload* payload = nullptr;
    if (self->match == DROP_MATCH_PRIVATE) {
      payload = static_cast<DropPayload*>(runtime_alloc_zeroed(sizeof(DropPayload)));
      if (payload) {
        payload->type = DROP_TYPE_PRIVATE;
        payload->private_key = self->matched_type;
      }
    } else {
      payload = copy_standard_drop(self, data);
    }
    if (payload) {
      payload->effect = static_cast<int32_t>(*effect);
      payload->x = point.x;
      payload->y = point.y;
      draw_drop_feedback(self, point.x, point.y, FEEDBACK_DROPPED);
      // A message that cannot be posted would strand the payload: the drop
      // is then refused rather than lost silently with its memory.
      if (post_drop(self, payload)) return S_OK;
      free_payload(payload);
    }
  }
  *effect = DROPEFFECT_NONE;
  draw_drop_feedback(self, point.x, point.y, FEEDBACK_CLEARED);
  return S_OK;
}

static const DropTargetMethods g_methods = {
    target_query_interface, target_add_ref,   target_release, target_drag_enter,
    target_drag_over,       target_drag_leave, target_drop,
};

static_assert(sizeof(DropTargetMethods) == 7 * sizeof(void*), "IDropTarget has seven slots");
static_assert(offsetof(DropTarget, methods) == 0, "COM finds the method table first");

DropTarget* drop_target_create(int32_t gadget_type, ObjectId number, HWND window) {
  auto* target = static_cast<DropTarget*>(runtime_alloc_zeroed(sizeof(DropTarget)));
  if (!target) return nullptr;
  target->methods = &g_methods;
  target->ref_count = 1;
  target->gadget_type = gadget_type;
  target->number = number;
  target->window = window;
  target->highlighted_item = -1;
  return target;
}
