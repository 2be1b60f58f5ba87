#include "runtime/window/window_proc.h"

#include "runtime/window/event_state.h"
#include "runtime/window/focus.h"
#include "runtime/window/gadget_plumbing.h"
#include "runtime/window/sizing.h"
#include "runtime/window/window.h"

static const char PROP_FOCUS[] = "XR_Focus";

// Controls with this identifier report as a menu would.
static constexpr LONG_PTR MENU_LIKE_CONTROL_ID = -10000;

// The runtime window a message belongs to: the window itself or the
// nearest ancestor carrying XR_WindowID. -1 and null when there is none.
static WindowRecord* find_runtime_window(HWND window, ObjectId* id) {
  for (HWND h = window; h; h = GetParent(h)) {
    ObjectId found = window_id_of(h);
    if (found != -1) {
      *id = found;
      return window_lookup(found);
    }
  }
  *id = -1;
  return nullptr;
}

static void on_size(HWND window, WPARAM kind, ObjectId id, WindowRecord* record) {
  switch (kind) {
    case SIZE_RESTORED:
      if (record && record->min_max_state == 1) {
        record->min_max_state = 0;
        post_event(EVENT_RESTORE_WINDOW, 0, id, 0);
      }
      post_event(EVENT_SIZE_WINDOW, 0, id, 0);
      break;
    case SIZE_MINIMIZED:
      if (record) record->min_max_state = 1;
      post_event(EVENT_MINIMIZE_WINDOW, 0, id, 0);
      break;
    case SIZE_MAXIMIZED:
      if (record) record->min_max_state = 1;
      post_event(EVENT_MAXIMIZE_WINDOW, 0, id, 0);
      post_event(EVENT_SIZE_WINDOW, 0, id, 0);
      break;
    default:
      post_event(EVENT_SIZE_WINDOW, 0, id, 0);
      break;
  }
  (void)window;
}

// Activation gives the focus back to the control that had it; DefWindowProcA
// never sees WM_ACTIVATE, so it does not focus the window itself instead.
static void on_activate(HWND window, WPARAM state, ObjectId id) {
  if (LOWORD(state) == WA_INACTIVE) {
    SetPropA(window, PROP_FOCUS, GetFocus());
    return;
  }
  auto focus = static_cast<HWND>(GetPropA(window, PROP_FOCUS));
  if (focus) SetFocus(focus);
  post_event(EVENT_ACTIVATE_WINDOW, 0, id, 0);
}

static BOOL CALLBACK send_colour_change(HWND child, LPARAM) {
  SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}

static void on_command(HWND window, WPARAM wparam, LPARAM lparam) {
  EventState* s = event_state();
  auto control = reinterpret_cast<HWND>(lparam);
  if (forward_to_gadget(control, window, WM_COMMAND, wparam, lparam) != NOT_HANDLED) return;
  if (!s) return;  // no event to make it into
  if (control) {
    LONG_PTR id = GetWindowLongPtrA(control, GWLP_ID);
    s->event_type = HIWORD(wparam);
    if (id == MENU_LIKE_CONTROL_ID) {
      s->event_object = LOWORD(wparam);
      s->pending_event = EVENT_MENU;
    } else {
      s->event_object = id;
      s->pending_event = EVENT_GADGET;
    }
    return;
  }
  WORD command = LOWORD(wparam);
  if (HIWORD(wparam) != 0 && command == FOCUS_NEXT_COMMAND) {
    move_focus(0);
  } else if (HIWORD(wparam) != 0 && command == FOCUS_PREVIOUS_COMMAND) {
    move_focus(1);
  } else {
    s->event_object = command;
    s->pending_event = EVENT_MENU;
  }
}

static void on_tray_callback(HWND window, WPARAM icon, LPARAM mouse, ObjectId id) {
  int32_t type = -1;
  switch (mouse) {
    case WM_LBUTTONDOWN: type = 0; break;
    case WM_RBUTTONDOWN: type = 1; break;
    case WM_LBUTTONDBLCLK: type = 2; break;
    case WM_RBUTTONDBLCLK: type = 3; break;
  }
  if (type != -1) post_event(EVENT_SYSTRAY, static_cast<ObjectId>(icon), id, type);
  // The tray sends this from outside the event loop's wait; a posted
  // WM_NULL wakes a loop that waits without limit.
  PostMessageA(window, WM_NULL, 0, 0);
}

LRESULT handle_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT sized = track_sizing_message(window, message, wparam, lparam);
  if (sized != NOT_HANDLED) return sized;

  ObjectId id;
  WindowRecord* record = find_runtime_window(window, &id);
  EventState* s = event_state();
  if (s) s->event_window = id;

  switch (message) {
    case WM_MOVE:
    case WM_CLOSE:
      // WM_CLOSE never reaches DefWindowProcA: the program decides.
      if (id != -1) post_event(static_cast<int32_t>(message), id, id, 0);
      return 0;
    case WM_SIZE:
      if (window_id_of(window) == -1) return 1;  // still being created
      on_size(window, wparam, id, record);
      return 0;
    case WM_ACTIVATE:
      on_activate(window, wparam, id);
      return 1;
    case WM_ERASEBKGND:
      post_event(EVENT_REPAINT, 0, id, 0);
      return NOT_HANDLED;
    case WM_SYSCOLORCHANGE:
      if (record) EnumChildWindows(window, send_colour_change, 0);
      return NOT_HANDLED;
    case WM_GETMINMAXINFO:
      if (!record) return NOT_HANDLED;
      // Windows' least tracking width would make a small tool window wider.
      if (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)
        reinterpret_cast<MINMAXINFO*>(lparam)->ptMinTrackSize.x = 1;
      return 0;
    case WM_NOTIFY:
      return forward_to_gadget(reinterpret_cast<NMHDR*>(lparam)->hwndFrom, window, message, wparam, lparam);
    case WM_NCDESTROY:
      RemovePropA(window, PROP_FOCUS);
      return 1;
    case WM_COMMAND:
      on_command(window, wparam, lparam);
      return 0;
    case WM_TIMER:
      if (!record || !s) return NOT_HANDLED;
      s->pending_event = EVENT_TIMER;
      s->event_object = static_cast<ObjectId>(wparam);
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case GADGET_FORWARD_MESSAGE:
      return forward_to_gadget(reinterpret_cast<HWND>(lparam), window, message, wparam, lparam);
    case TRAY_CALLBACK_MESSAGE:
      on_tray_callback(window, wparam, lparam, id);
      return 0;
    // Without an event state the drop is lost, and its payload freed.
    case EVENT_WINDOW_DROP:
      if (s) s->pending_event = EVENT_WINDOW_DROP;
      set_drop_payload(reinterpret_cast<DropPayload*>(lparam));
      return 0;
    case EVENT_GADGET_DROP:
      if (s) {
        s->pending_event = EVENT_GADGET_DROP;
        s->event_object = static_cast<ObjectId>(wparam);
      }
      set_drop_payload(reinterpret_cast<DropPayload*>(lparam));
      return 0;
  }
  return NOT_HANDLED;
}

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = handle_window_message(window, message, wparam, lparam);
  SetLastError(0);
  return result == NOT_HANDLED ? DefWindowProcA(window, message, wparam, lparam) : result;
}
