#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/window/event_queue.h"
#include "runtime/window/event_state.h"
#include "runtime/window/gadget_list.h"
#include "runtime/window/gadget_plumbing.h"
#include "runtime/window/runtime_heap.h"
#include "runtime/window/window.h"
#include "runtime/window/window_proc.h"
#include "runtime/window/shortcut_table.h"
#include "runtime/window/focus.h"

// The window library started as the converter starts it, with a gadget
// registry and context standing in for the gadget library's, so that new
// windows become gadget lists and controls can be attached as gadgets.
class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool initialised = false;
    if (initialised) return;
    event_queue_init();
    window_library_init();
    static GadgetContext context = {};
    set_gadget_base(registry_create(sizeof(Gadget), 16, close_gadget), &context);
    initialised = true;
  }

  void SetUp() override { drain(); }

  void TearDown() override {
    close_all_windows();
    drain();
  }

  static void close_gadget(int32_t number) {
    auto* gadget = static_cast<Gadget*>(registry_lookup(gadget_registry(), number));
    if (gadget && gadget->window) DestroyWindow(gadget->window);
  }

  // Dispatches every waiting message and drops every queued event.
  static void drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    while (pop_event(nullptr, nullptr, nullptr)) {
    }
  }

  // Waits until a code other than the listed noise arrives; 0 when none
  // came within `rounds` waits of 50 ms.
  static int32_t next_event_except(std::vector<int32_t> noise, int rounds = 40) {
    for (int i = 0; i < rounds; i++) {
      int32_t code = wait_window_event_timeout(50);
      if (code == 0) continue;
      bool skip = false;
      for (int32_t n : noise) skip = skip || n == code;
      if (!skip) return code;
    }
    return 0;
  }

  // Every code the waits return until the thread runs dry.
  static std::vector<int32_t> codes_until_idle() {
    std::vector<int32_t> codes;
    for (int32_t code; (code = wait_window_event_timeout(0)) != 0;) codes.push_back(code);
    return codes;
  }

  static std::string class_name_of(HWND window) {
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
  }

  static std::string title_of(HWND window) {
    char text[128] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
  }

  static SIZE client_size(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
  }

  static HWND child(HWND parent, const char* cls, DWORD style, int x = 0, int y = 0, int w = 40, int h = 20,
                    INT_PTR id = 0) {
    return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(id), GetModuleHandleA(nullptr), nullptr);
  }
};
