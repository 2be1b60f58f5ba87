#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "runtime/gadgets/status_bar.h"

// A plain top-level window of a chosen client size to carry status bars.
class StatusBarTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool initialised = false;
    if (!initialised) {
      status_bar_library_init();
      WNDCLASSA wc = {};
      wc.lpfnWndProc = DefWindowProcA;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "StatusBarTestParent";
      RegisterClassA(&wc);
      initialised = true;
    }
  }

  void TearDown() override {
    for (HWND w : windows_) DestroyWindow(w);
    status_bar_override_probe(-1, -1);
    pump();
  }

  HWND make_parent(int client_width, int client_height, DWORD style = WS_CAPTION | WS_SYSMENU) {
    RECT r = {0, 0, client_width, client_height};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    HWND w = CreateWindowExA(0, "StatusBarTestParent", "status test", style, 10, 10,
                             r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    windows_.push_back(w);
    return w;
  }

  // The converter's own bar: flexible, 75 pixels, flexible.
  StatusBar* make_converter_bar(int32_t number, HWND parent) {
    create_status_bar(number, parent);
    status_bar_add_field(VALUE_IGNORE);
    status_bar_add_field(75);
    status_bar_add_field(VALUE_IGNORE);
    return status_bar_lookup(number);
  }

  static std::vector<int> parts(HWND status_window) {
    int edges[256];
    int n = static_cast<int>(SendMessageA(status_window, SB_GETPARTS, 256, reinterpret_cast<LPARAM>(edges)));
    return std::vector<int>(edges, edges + n);
  }

  static std::string text_of(HWND status_window, int part) {
    char buffer[512] = {};
    LRESULT length = SendMessageA(status_window, SB_GETTEXTLENGTHA, part, 0);
    if (LOWORD(length) >= sizeof buffer) return "<too long>";
    SendMessageA(status_window, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }

  static bool owner_drawn(HWND status_window, int part) {
    return (HIWORD(SendMessageA(status_window, SB_GETTEXTLENGTHA, part, 0)) & SBT_OWNERDRAW) != 0;
  }


 public:
  static void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }


 protected:
  std::vector<HWND> windows_;
};
