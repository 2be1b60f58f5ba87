// What the fields show and where they lie.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "runtime/gadgets/status_bar.h"
#include "runtime/gadgets/status_bar_internal.h"
#include "runtime/window/runtime_heap.h"

void status_bar_layout(StatusBar* bar) {
  int local_edges[32];
  int* edges = local_edges;
  if (bar->count > 32) {
    edges = static_cast<int*>(runtime_alloc(bar->count * sizeof(int)));
    if (!edges) return;
  }
  RECT r;
  GetClientRect(bar->window, &r);
  HWND parent = GetParent(bar->window);
  if (parent && !IsZoomed(parent) && (GetWindowLongA(parent, GWL_STYLE) & WS_THICKFRAME))
    r.right -= r.bottom - 3;  // room for the size grip

  int32_t fixed = 0, flexible = 0;
  for (int32_t i = 0; i < bar->count; i++) {
    if (bar->fields[i].width == VALUE_IGNORE) flexible++;
    else fixed += bar->fields[i].width;
  }
  int32_t flex = flexible ? (r.right - r.left - fixed) / flexible : 0;
  int32_t edge = 0;
  for (int32_t i = 0; i < bar->count; i++) {
    edge += bar->fields[i].width == VALUE_IGNORE ? flex : bar->fields[i].width;
    edges[i] = edge;
  }
  SendMessageA(bar->window, SB_SETPARTS, bar->count, reinterpret_cast<LPARAM>(edges));

  if (status_bar_visual_styles_active()) {
    for (int32_t i = 0; i < bar->count; i++) {
      const StatusField& field = bar->fields[i];
      RECT part;
      if (field.kind != FIELD_KIND_PROGRESS || !field.progress_control) continue;
      if (SendMessageA(bar->window, SB_GETRECT, i, reinterpret_cast<LPARAM>(&part)))
        MoveWindow(field.progress_control, part.left + 2, part.top + 3, part.right - part.left - 8,
                   part.bottom - part.top - 6, TRUE);
    }
  }
  if (edges != local_edges) runtime_free(edges);
}

void draw_owner_progress(const StatusField* field, const DRAWITEMSTRUCT* item) {
  RECT r = item->rcItem;
  InflateRect(&r, -1, -1);
  if (field->value <= field->minimum) return;
  if (field->value < field->maximum) {
    // 64-bit: a wide range times a wide field would overflow 32 bits.
    int64_t span = static_cast<int64_t>(field->maximum) - field->minimum;
    r.right = r.left + static_cast<LONG>((static_cast<int64_t>(r.right) - r.left) *
                                         (static_cast<int64_t>(field->value) - field->minimum) / span);
  }
  FillRect(item->hDC, &r, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1));
}

static bool field_of(ObjectId id, int32_t index, StatusBar** bar, StatusField** field) {
  *bar = status_bar_lookup(id);
  if (!*bar || index < 0 || index >= (*bar)->count) return false;
  *field = &(*bar)->fields[index];
  return true;
}

static WPARAM part_and_border(int32_t index, int32_t flags) {
  WPARAM wparam = static_cast<WPARAM>(index);
  if (flags & FIELD_POPOUT) wparam |= SBT_POPOUT;
  else if (flags & FIELD_NO_BORDER) wparam |= SBT_NOBORDERS;
  return wparam;
}

int32_t status_bar_set_text(ObjectId id, int32_t index, const char* text, int32_t flags) {
  StatusBar* bar;
  StatusField* field;
  if (!field_of(id, index, &bar, &field)) return 0;
  if (field->kind == FIELD_KIND_PROGRESS && field->progress_control)
    ShowWindow(field->progress_control, SW_HIDE);
  field->kind = FIELD_KIND_TEXT;
  field->flags = flags;
  if (!text) text = "";

  // A tab centres what follows it, a second tab right-aligns it.
  const char* before = "";
  const char* after = "";
  if (flags & FIELD_ALIGN_CENTRE) {
    before = "\t";
  } else if (flags & FIELD_ALIGN_RIGHT) {
    before = "\t\t";
    if (status_bar_visual_styles_active()) after = "    ";
  }
  size_t length = strlen(before) + strlen(text) + strlen(after);
  char* composed = static_cast<char*>(runtime_alloc(length + 1));
  const char* sent = text;  // unaligned when no copy can be had
  if (composed) {
    strcpy(composed, before);
    strcat(composed, text);
    strcat(composed, after);
    sent = composed;
  }
  WPARAM wparam = part_and_border(index, flags);
  SendMessageA(bar->window, SB_SETTEXTA, wparam, reinterpret_cast<LPARAM>(sent));
  runtime_free(composed);
  if (wparam & SBT_NOBORDERS) {
    RECT part;
    if (SendMessageA(bar->window, SB_GETRECT, index, reinterpret_cast<LPARAM>(&part)))
      InvalidateRect(bar->window, &part, TRUE);
  }
  return 1;
}

int32_t status_bar_set_progress_ex(ObjectId id, int32_t index, int32_t value, int32_t flags,
                                   int32_t minimum, int32_t maximum) {
  StatusBar* bar;
  StatusField* field;
  if (!field_of(id, index, &bar, &field)) return 0;
  bool had_control = field->progress_control != nullptr;
  if (status_bar_visual_styles_active() && !had_control)
    field->progress_control = reinterpret_cast<HWND>(
        SendMessageA(bar->window, status_bar_make_progress_message(), 0, 0));
  field->kind = FIELD_KIND_PROGRESS;
  field->flags = flags;
  RECT part = {};
  SendMessageA(bar->window, SB_GETRECT, index, reinterpret_cast<LPARAM>(&part));
  field->value = value;
  if (minimum != VALUE_IGNORE) field->minimum = minimum;
  if (maximum != VALUE_IGNORE) field->maximum = maximum;
  WPARAM wparam = part_and_border(index, flags);

  if (!field->progress_control) {
    SendMessageA(bar->window, SB_SETTEXTA, wparam | SBT_OWNERDRAW, 0);
    InvalidateRect(bar->window, &part, TRUE);
    return 1;
  }
  SendMessageA(field->progress_control, PBM_SETRANGE32, field->minimum, field->maximum);
  SendMessageA(field->progress_control, PBM_SETPOS, field->value, 0);
  if (had_control && (GetWindowLongA(field->progress_control, GWL_STYLE) & WS_VISIBLE)) return 1;
  SendMessageA(bar->window, SB_SETTEXTA, wparam, reinterpret_cast<LPARAM>(""));
  MoveWindow(field->progress_control, part.left + 2, part.top + 3, part.right - part.left - 8,
             part.bottom - part.top - 6, TRUE);
  ShowWindow(field->progress_control, SW_SHOWNOACTIVATE);
  return 1;
}

int32_t status_bar_set_progress(ObjectId id, int32_t index, int32_t value) {
  return status_bar_set_progress_ex(id, index, value, 0, VALUE_IGNORE, VALUE_IGNORE);
}
