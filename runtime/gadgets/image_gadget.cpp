#include "runtime/gadgets/image_gadget.h"

#include "runtime/gadgets/gadget_library.h"
#include "runtime/image/bitmap_alpha.h"
#include "runtime/window/gadget_list.h"
#include "runtime/window/window.h"

static void release_image_gadget(Gadget* gadget);
static INT_PTR get_image_state(Gadget* gadget);
static INT_PTR set_image_state(Gadget* gadget, INT_PTR value);

static GadgetType g_image_type = {GADGET_TYPE_IMAGE, sizeof(GadgetType), nullptr, release_image_gadget,
                                  get_image_state, set_image_state};

// Read with the first image gadget: the system's drag threshold.
static bool g_type_filled = false;
static int g_drag_dx = 0;
static int g_drag_dy = 0;

// The STATIC class procedure behind every image gadget.
static WNDPROC g_static_proc = nullptr;

// Shared by all image gadgets: the release that ends a right double click
// is not a click of its own.
static bool g_right_double_clicked = false;

// The image gadget this control is, or null while it is not attached yet
// (or no longer).
static Gadget* image_gadget_of(HWND control) {
  auto* gadget =
      static_cast<Gadget*>(registry_lookup(gadget_registry(), GetWindowLongPtrA(control, GWLP_ID)));
  return gadget && gadget->window == control && gadget->type == &g_image_type ? gadget : nullptr;
}

static LRESULT pass_on(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  return g_static_proc ? CallWindowProcA(g_static_proc, control, message, wparam, lparam)
                       : DefWindowProcA(control, message, wparam, lparam);
}

// A bitmap without alpha covers every pixel of the control; icons, alpha
// bitmaps and an empty gadget let the window behind show through.
static bool is_opaque(const Gadget* gadget) {
  return gadget->image && !gadget->alpha_copy && GetObjectType(gadget->image) == OBJ_BITMAP;
}

// Repaints the window under a see-through gadget and then the gadget over
// it (runtime windows do not clip their children, so the erase reaches
// under it). Blending onto what the gadget itself drew before would darken
// it at every change. The children are named: Wine repaints only the
// window itself otherwise, and the gadget would stay unpainted.
static void redraw_behind(const Gadget* gadget) {
  if (is_opaque(gadget)) return;
  HWND top = owning_window(gadget->window);
  RECT area;
  GetWindowRect(gadget->window, &area);
  POINT corners[2] = {{area.left, area.top}, {area.right, area.bottom}};
  ScreenToClient(top, &corners[0]);
  ScreenToClient(top, &corners[1]);
  area = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  RedrawWindow(top, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// The picture's size: a bitmap's own, an icon's colour bitmap's, or for a
// monochrome icon its mask's upper half (the mask holds AND and XOR parts).
static bool picture_size(HANDLE image, SIZE* size) {
  BITMAP bm;
  if (GetObjectType(image) == OBJ_BITMAP) {
    if (!GetObjectA(image, sizeof bm, &bm)) return false;
    *size = {bm.bmWidth, bm.bmHeight};
    return true;
  }
  ICONINFO info;
  if (!GetIconInfo(static_cast<HICON>(image), &info)) return false;
  bool found = false;
  if (info.hbmColor && GetObjectA(info.hbmColor, sizeof bm, &bm)) {
    *size = {bm.bmWidth, bm.bmHeight};
    found = true;
  } else if (info.hbmMask && GetObjectA(info.hbmMask, sizeof bm, &bm)) {
    *size = {bm.bmWidth, bm.bmHeight / 2};
    found = true;
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return found;
}

static LRESULT set_image(Gadget* gadget, HANDLE image) {
  HWND control = gadget->window;
  gadget->image = image;
  if (gadget->alpha_copy) {
    delete_alpha_copy(gadget->alpha_copy);
    gadget->alpha_copy = nullptr;
  }
  // Made once here rather than at each paint; when it cannot be made the
  // bitmap is drawn as it is.
  bool has_alpha = image && bitmap_has_alpha(image);
  if (has_alpha) gadget->alpha_copy = make_alpha_copy(static_cast<HBITMAP>(image), nullptr);
  redraw_behind(gadget);
  if (!image) return 0;

  SIZE size;
  if (picture_size(image, &size)) {
    if (GetWindowLongPtrA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) {
      size.cx += 4;
      size.cy += 4;
    }
    SetWindowPos(control, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOMOVE);
  }
  // A see-through picture was drawn by redraw_behind already; only an
  // opaque one still needs its whole control painted.
  if (is_opaque(gadget)) InvalidateRect(control, nullptr, FALSE);
  if (!has_alpha) UpdateWindow(control);
  return reinterpret_cast<LRESULT>(image);
}

static void draw_picture(const Gadget* gadget, HDC dc) {
  if (!dc || !gadget->image) return;
  if (gadget->alpha_copy) {
    draw_alpha_bitmap(dc, 0, 0, 0, 0, gadget->alpha_copy, nullptr, 255);
    return;
  }
  UINT kind = GetObjectType(gadget->image) == OBJ_BITMAP ? DST_BITMAP : DST_ICON;
  DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(gadget->image), 0, 0, 0, 0, 0, kind);
}

static void paint(const Gadget* gadget) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(gadget->window, &ps);
  draw_picture(gadget, dc);
  EndPaint(gadget->window, &ps);
}

static void on_enable(const Gadget* gadget) {
  // Nothing drawn depends on the state, but the gadget's owner may count on
  // a repaint. A see-through one is repainted with what lies behind it.
  if (is_opaque(gadget))
    RedrawWindow(gadget->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  else
    redraw_behind(gadget);
}

static void on_left_down(Gadget* gadget, LPARAM lparam) {
  // Capture first: taking it from ourselves must not end the new press.
  SetCapture(gadget->window);
  gadget->tracking = 1;
  gadget->press_point = static_cast<int32_t>(lparam);
}

static void on_mouse_move(Gadget* gadget, LPARAM lparam) {
  if (!gadget->tracking) return;
  int dx = static_cast<short>(LOWORD(lparam)) - static_cast<short>(LOWORD(gadget->press_point));
  int dy = static_cast<short>(HIWORD(lparam)) - static_cast<short>(HIWORD(gadget->press_point));
  if (dx > g_drag_dx || dx < -g_drag_dx || dy > g_drag_dy || dy < -g_drag_dy) {
    gadget->tracking = 0;
    ReleaseCapture();
    post_gadget_event(gadget->window, IMAGE_EVENT_DRAG_START);
  }
}

static void on_left_up(Gadget* gadget) {
  if (!gadget->tracking) return;
  gadget->tracking = 0;
  ReleaseCapture();
}

static void on_right_up(const Gadget* gadget) {
  if (g_right_double_clicked)
    g_right_double_clicked = false;
  else
    post_gadget_event(gadget->window, IMAGE_EVENT_RIGHT_CLICK);
}

LRESULT CALLBACK image_gadget_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  Gadget* gadget = image_gadget_of(control);
  if (!gadget) return pass_on(control, message, wparam, lparam);
  switch (message) {
    case STM_SETIMAGE:
    case STM_SETICON:
      return set_image(gadget, reinterpret_cast<HANDLE>(lparam));
    case STM_GETIMAGE:
    case STM_GETICON:
      return reinterpret_cast<LRESULT>(gadget->image);
    case WM_PAINT:
      paint(gadget);
      return 0;
    case WM_PRINT:
    case WM_PRINTCLIENT:
      draw_picture(gadget, reinterpret_cast<HDC>(wparam));
      return 0;
    case WM_MOVE:
      redraw_behind(gadget);
      break;
    case WM_ENABLE:
      on_enable(gadget);
      return 0;
    case WM_LBUTTONDOWN:
      on_left_down(gadget, lparam);
      break;
    case WM_MOUSEMOVE:
      on_mouse_move(gadget, lparam);
      break;
    case WM_LBUTTONUP:
      on_left_up(gadget);
      break;
    case WM_CAPTURECHANGED:
      // Capture taken by another window: that press can no longer start a
      // drag, or the next plain move over the gadget would.
      if (reinterpret_cast<HWND>(lparam) != control) gadget->tracking = 0;
      break;
    case WM_LBUTTONDBLCLK:
      post_gadget_event(control, IMAGE_EVENT_LEFT_DOUBLE_CLICK);
      return 0;
    case WM_RBUTTONUP:
      on_right_up(gadget);
      return 0;
    case WM_RBUTTONDBLCLK:
      post_gadget_event(control, IMAGE_EVENT_RIGHT_DOUBLE_CLICK);
      g_right_double_clicked = true;
      return 0;
  }
  return pass_on(control, message, wparam, lparam);
}

static void release_image_gadget(Gadget* gadget) {
  if (!gadget->alpha_copy) return;
  delete_alpha_copy(gadget->alpha_copy);
  gadget->alpha_copy = nullptr;
}

static INT_PTR get_image_state(Gadget* gadget) { return SendMessageA(gadget->window, STM_GETIMAGE, 0, 0); }

static INT_PTR set_image_state(Gadget* gadget, INT_PTR value) {
  return SendMessageA(gadget->window, STM_SETIMAGE, 0, value);
}

INT_PTR create_image_gadget_ex(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height, HANDLE image,
                               int32_t ex_style) {
  if (!g_type_filled) {
    g_drag_dx = GetSystemMetrics(SM_CXDRAG);
    g_drag_dy = GetSystemMetrics(SM_CYDRAG);
    g_type_filled = true;
  }
  HWND parent = use_gadget_list(nullptr);
  // Numbers the registry refuses are refused before a control exists.
  if (!parent || !gadget_registry() || number < OBJECT_ANY) return 0;
  HWND control = CreateWindowExA(static_cast<DWORD>(ex_style), "STATIC", "", WS_CHILD | WS_VISIBLE | SS_NOTIFY, x,
                                 y, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(-1)),
                                 window_instance(), nullptr);
  if (!control) return 0;
  g_static_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(image_gadget_proc)));

  auto* record = static_cast<Gadget*>(registry_allocate(gadget_registry(), number));
  if (!record) {
    // No record, no gadget: the control must not linger unnumbered.
    DestroyWindow(control);
    return 0;
  }
  // A slot whose old control could not be destroyed still holds its fields.
  *record = Gadget{};
  INT_PTR result = attach_gadget(number, record, control, &g_image_type);
  g_image_type.set_state(record, reinterpret_cast<INT_PTR>(image));
  return result;
}

INT_PTR create_image_gadget(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height, HANDLE image) {
  return create_image_gadget_ex(number, x, y, width, height, image, 0);
}
