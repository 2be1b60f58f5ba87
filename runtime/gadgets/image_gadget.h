// The image gadget: a "STATIC" control in the current gadget list that
// shows a bitmap or an icon at the picture's own size. Bitmaps with alpha
// are blended over the window behind it. Besides the plain left click
// (EVENT_GADGET type 0, from the control's notification) it reports:
//   1      right button released on it, unless that ends a right double click
//   2      left double click
//   3      right double click
//   14002  left button held since a press on it and moved past the drag
//          threshold: a drag starts
// The picture is borrowed: the caller keeps it alive while it is shown and
// frees it afterwards. STM_SETIMAGE / STM_SETICON (lParam = the new bitmap
// or icon, or 0 for none) answer the handle just set; STM_GETIMAGE /
// STM_GETICON the one shown. GUI thread only.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int32_t IMAGE_EVENT_RIGHT_CLICK = 1;
constexpr int32_t IMAGE_EVENT_LEFT_DOUBLE_CLICK = 2;
constexpr int32_t IMAGE_EVENT_RIGHT_DOUBLE_CLICK = 3;
constexpr int32_t IMAGE_EVENT_DRAG_START = 14002;

// Creates image gadget `number` (a gadget already holding it is destroyed)
// or a new OBJECT_ANY one at (x, y) of the current gadget list, with the
// extended window style `ex_style`, showing `image` (may be null). The
// control takes the picture's size, 4 more each way with WS_EX_CLIENTEDGE;
// without a picture it keeps width x height. Returns the control for a
// number, the gadget's id (its record address) for OBJECT_ANY; 0 when there
// is no current gadget list or the control cannot be made.
INT_PTR create_image_gadget_ex(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height, HANDLE image,
                               int32_t ex_style);

// create_image_gadget_ex with no extended style.
INT_PTR create_image_gadget(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height, HANDLE image);

// The procedure each image gadget's control runs behind common_gadget_proc;
// what it does not handle goes to the STATIC class procedure.
LRESULT CALLBACK image_gadget_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam);
