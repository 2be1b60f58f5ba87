#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include <string>

#include "runtime/base/string_workspace.h"
#include "runtime/dragdrop/drag_drop.h"
#include "runtime/dragdrop/drop_target.h"
#include "runtime/window/event_queue.h"
#include "runtime/window/event_state.h"
#include "runtime/window/runtime_heap.h"
#include "runtime/window/window.h"
#include "tests/runtime/dragdrop/fake_data_object.h"

// Window 0 open (hidden) with the libraries started as the converter starts
// them; drags are played on its target through the IDropTarget interface,
// as OLE would call it.
class DropTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool initialised = false;
    if (initialised) return;
    event_queue_init();
    window_library_init();
    ASSERT_TRUE(SUCCEEDED(drag_drop_init()));
    initialised = true;
  }

  void SetUp() override {
    window = reinterpret_cast<HWND>(open_window(0, 100, 100, 320, 240, "drops", WINDOW_INVISIBLE));
    ASSERT_NE(window, nullptr);
    drain();
  }

  void TearDown() override {
    close_all_windows();
    drain();
  }

  static void drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    while (pop_event(nullptr, nullptr, nullptr)) {
    }
  }

  IDropTarget* target_interface() { return drop_target_interface(drop_target_of(window)); }

  POINTL screen_point(int x, int y) {
    POINT p = {x, y};
    ClientToScreen(window, &p);
    return {p.x, p.y};
  }

  // Each returns the effect the target answered; the point is in client
  // coordinates of the window.
  DWORD enter(IDataObject* data, DWORD keys, DWORD offered = 7, int x = 10, int y = 20) {
    DWORD effect = offered;
    EXPECT_EQ(target_interface()->DragEnter(data, keys, screen_point(x, y), &effect), S_OK);
    return effect;
  }
  DWORD over(DWORD keys, DWORD offered = 7, int x = 10, int y = 20) {
    DWORD effect = offered;
    EXPECT_EQ(target_interface()->DragOver(keys, screen_point(x, y), &effect), S_OK);
    return effect;
  }
  DWORD drop(IDataObject* data, DWORD keys, DWORD offered = 7, int x = 10, int y = 20) {
    DWORD effect = offered;
    EXPECT_EQ(target_interface()->Drop(data, keys, screen_point(x, y), &effect), S_OK);
    return effect;
  }
  // A whole drag: enter, one move, drop.
  DWORD drag_and_drop(IDataObject* data, DWORD keys = MK_LBUTTON, DWORD offered = 7) {
    enter(data, keys, offered);
    over(keys, offered);
    return drop(data, keys, offered);
  }

  // The next event of the thread other than the noise a hidden window gets;
  // 0 when none comes.
  static int32_t next_event() {
    for (int i = 0; i < 5; i++) {
      int32_t code = wait_window_event_timeout(0);
      if (code == EVENT_WINDOW_DROP || code == EVENT_GADGET_DROP) return code;
      if (code == 0) return 0;
    }
    return 0;
  }

  static const DropPayload* payload() { return event_state()->drop_payload; }

  // The DropList of the current event, built where the workspace stands.
  static std::string drop_list() {
    int32_t p = workspace_position();
    char* text = event_drop_files(p);
    std::string list = text;
    EXPECT_EQ(workspace_position(), p + static_cast<int32_t>(list.size()));
    workspace_truncate(p);
    return list;
  }

  // Blocks in use on the runtime heap: a leak or a double free shows here.
  static int busy_blocks() {
    int count = 0;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(runtime_heap(), &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) count++;
    return count;
  }

  HWND window = nullptr;
};
