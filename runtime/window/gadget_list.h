// Gadget lists: the window in which new gadgets are created. Every window
// opened without WINDOW_NO_GADGET_LIST becomes the current one; a window
// that has been a gadget list keeps its saved context in the property
// XR_GadgetStack_<instance> until it is destroyed.
#pragma once

#include <windows.h>
#include <cstdint>

struct GadgetListRecord {
  HWND window;
  HWND saved_current_list;   // the context's fields while another window is current
  HWND* saved_list_stack;    // owned by this record while saved
  int32_t saved_list_stack_count;
  int32_t saved_list_stack_capacity;
  WNDPROC previous_proc;     // the window's procedure before gadget_list_proc
};

// Makes `window` the current gadget list and returns the one that was
// current before (null for none); with a null window only asks. Without a
// gadget library there is no list: null, nothing changes.
HWND use_gadget_list(HWND window);

// Installed on a window by its first use_gadget_list: frees the record when
// the window goes, and a destroyed current list leaves no current list.
LRESULT CALLBACK gadget_list_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The record of a window that is or was a gadget list, or null.
GadgetListRecord* gadget_list_record(HWND window);
