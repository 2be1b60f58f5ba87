#include "runtime/dragdrop/drop_feedback.h"

#include <commctrl.h>

// RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW: repainted before the next
// focus rectangle is drawn over it.
static constexpr UINT REDRAW_NOW = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

// LBS_MULTIPLESEL | LBS_EXTENDEDSEL.
static constexpr LONG_PTR MULTIPLE_SELECTION_STYLES = 0x0808;

static int32_t list_box_item_at(HWND control, int32_t x, int32_t y) {
  LRESULT result = SendMessageA(control, LB_ITEMFROMPOINT, 0, MAKELPARAM(x, y));
  // The high word is set when the point is outside the client area: the
  // low word then names the nearest item, which is not under the cursor.
  return HIWORD(result) ? -1 : static_cast<int32_t>(LOWORD(result));
}

static void redraw_whole(HWND control) { RedrawWindow(control, nullptr, nullptr, REDRAW_NOW); }

static void erase_list_box_mark(HWND control, int32_t item) {
  RECT rect;
  if (item != -1 && SendMessageA(control, LB_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rect)) != LB_ERR)
    RedrawWindow(control, &rect, nullptr, REDRAW_NOW);
  else
    redraw_whole(control);
}

static void draw_list_box_mark(HWND control, int32_t item) {
  RECT rect, client;
  if (SendMessageA(control, LB_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rect)) == LB_ERR) return;
  GetClientRect(control, &client);
  if (rect.bottom > client.bottom) rect.bottom = client.bottom;
  HDC dc = GetDC(control);
  if (!dc) return;
  DrawFocusRect(dc, &rect);
  ReleaseDC(control, dc);
}

static void select_list_box_item(HWND control, int32_t item) {
  if (GetWindowLongPtrA(control, GWL_STYLE) & MULTIPLE_SELECTION_STYLES) {
    // A range given last-to-first deselects it.
    LRESULT count = SendMessageA(control, LB_GETCOUNT, 0, 0);
    SendMessageA(control, LB_SELITEMRANGEEX, static_cast<WPARAM>(count - 1), 0);
    if (item != -1) SendMessageA(control, LB_SETSEL, TRUE, item);
  } else {
    SendMessageA(control, LB_SETCURSEL, static_cast<WPARAM>(item), 0);
  }
}

static void list_box_feedback(DropTarget* target, int32_t x, int32_t y, int32_t mode) {
  HWND control = target->window;
  if (mode == FEEDBACK_ACCEPTED) {
    int32_t item = list_box_item_at(control, x, y);
    if (item == target->highlighted_item) return;
    erase_list_box_mark(control, target->highlighted_item);
    target->highlighted_item = item;
    if (item != -1) draw_list_box_mark(control, item);
  } else if (mode == FEEDBACK_DROPPED) {
    int32_t item = list_box_item_at(control, x, y);
    redraw_whole(control);
    target->highlighted_item = -1;
    select_list_box_item(control, item);
  } else if (target->highlighted_item != -1) {
    redraw_whole(control);
    target->highlighted_item = -1;
  }
}

static void set_list_view_state(HWND control, int32_t item, UINT state, UINT mask) {
  LVITEMA entry = {};
  entry.mask = LVIF_STATE;
  entry.iItem = item;
  entry.state = state;
  entry.stateMask = mask;
  SendMessageA(control, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&entry));
}

static void clear_list_view_state(HWND control, UINT mask) {
  const int32_t count = static_cast<int32_t>(SendMessageA(control, LVM_GETITEMCOUNT, 0, 0));
  for (int32_t i = 0; i < count; i++) set_list_view_state(control, i, 0, mask);
}

static void list_view_feedback(DropTarget* target, int32_t x, int32_t y, int32_t mode) {
  HWND control = target->window;
  int32_t hit = -1;
  if (mode == FEEDBACK_ACCEPTED || mode == FEEDBACK_DROPPED) {
    LVHITTESTINFO test = {};
    test.pt = {x, y};
    hit = static_cast<int32_t>(SendMessageA(control, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&test)));
  }
  clear_list_view_state(control, LVIS_DROPHILITED);
  if (mode == FEEDBACK_ACCEPTED && hit != -1) {
    set_list_view_state(control, hit, LVIS_DROPHILITED, LVIS_DROPHILITED);
  } else if (mode == FEEDBACK_DROPPED) {
    const UINT chosen = LVIS_SELECTED | LVIS_FOCUSED;
    clear_list_view_state(control, chosen);
    if (hit != -1) set_list_view_state(control, hit, chosen, chosen);
  }
}

static void tree_view_feedback(DropTarget* target, int32_t x, int32_t y, int32_t mode) {
  HWND control = target->window;
  HTREEITEM hit = nullptr;
  if (mode == FEEDBACK_ACCEPTED || mode == FEEDBACK_DROPPED) {
    TVHITTESTINFO test = {};
    test.pt = {x, y};
    hit = reinterpret_cast<HTREEITEM>(SendMessageA(control, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&test)));
  }
  if (mode == FEEDBACK_ACCEPTED) {
    SendMessageA(control, TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(hit));
    return;
  }
  SendMessageA(control, TVM_SELECTITEM, TVGN_DROPHILITE, 0);
  if (mode == FEEDBACK_DROPPED) SendMessageA(control, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hit));
}

void draw_drop_feedback(DropTarget* target, int32_t x, int32_t y, int32_t mode) {
  if (!target || target->gadget_type == 0) return;
  if (target->gadget_type == GADGET_TYPE_LIST_BOX)
    list_box_feedback(target, x, y, mode);
  else if (is_list_view_type(target->gadget_type))
    list_view_feedback(target, x, y, mode);
  else if (is_tree_view_type(target->gadget_type))
    tree_view_feedback(target, x, y, mode);
}
