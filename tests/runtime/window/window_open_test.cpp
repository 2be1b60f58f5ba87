// Opening and closing numbered windows: classes, styles, sizes, positions
// and the properties that tie a native window to its record.
#include "tests/runtime/window/window_fixture.h"

#include <cstdio>
#include <cstring>

namespace {

// What CreateWindowExA was asked for, as a CBT hook sees it before the
// window exists: the position arguments before Windows resolves defaults.
struct CreationSeen {
  int x = 0, y = 0, cx = 0, cy = 0;
  LONG style = 0;
  DWORD ex_style = 0;
  std::string class_name;
  bool class_registered_before = false;
};

CreationSeen* g_seen = nullptr;

LRESULT CALLBACK watch_creation(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND && g_seen) {
    const CREATESTRUCTA* cs = reinterpret_cast<CBT_CREATEWNDA*>(lparam)->lpcs;
    // Only the runtime's own window: Wine makes an input-method window
    // beside the first window of a thread.
    bool named = (reinterpret_cast<UINT_PTR>(cs->lpszClass) >> 16) != 0;
    if (named && strncmp(cs->lpszClass, "WindowClass_", 12) == 0) {
      g_seen->x = cs->x;
      g_seen->y = cs->y;
      g_seen->cx = cs->cx;
      g_seen->cy = cs->cy;
      g_seen->style = cs->style;
      g_seen->ex_style = cs->dwExStyle;
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

class WindowOpenTest : public WindowTest {
 protected:
  // Opens a window with the creation watched.
  INT_PTR open_watched(int32_t number, int x, int y, int w, int h, const char* title, uint32_t flags,
                       HWND parent = nullptr) {
    seen_ = {};
    g_seen = &seen_;
    HHOOK hook = SetWindowsHookExA(WH_CBT, watch_creation, nullptr, GetCurrentThreadId());
    INT_PTR result = open_window_with_parent(number, x, y, w, h, title, flags, parent);
    UnhookWindowsHookEx(hook);
    g_seen = nullptr;
    return result;
  }

  static bool class_exists(const char* name) {
    WNDCLASSA wc;
    return GetClassInfoA(GetModuleHandleA(nullptr), name, &wc) != 0;
  }

  CreationSeen seen_;
};

TEST_F(WindowOpenTest, TheConvertersWindowIsCentredWithItsExactClientArea) {
  auto handle = reinterpret_cast<HWND>(open_watched(0, 0, 0, 168, 156, " quarvo converter", 0xC80001));
  ASSERT_TRUE(IsWindow(handle));
  EXPECT_EQ(window_handle(0), handle);
  EXPECT_EQ(seen_.style, 0x00C80000);
  // Windows adds the edge itself to captioned windows, before the hook.
  EXPECT_EQ(seen_.ex_style & ~WS_EX_WINDOWEDGE, 0u);
  // Windows adds these two on its own to every captioned top-level window.
  EXPECT_EQ(GetWindowLongPtrA(handle, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS), 0x00C80000);
  EXPECT_EQ(GetWindowLongPtrA(handle, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
  EXPECT_TRUE(IsWindowVisible(handle));
  SIZE client = client_size(handle);
  EXPECT_EQ(client.cx, 168);
  EXPECT_EQ(client.cy, 156);
  // Centred from the outer size: the 0, 0 given are not used.
  RECT outer = {0, 0, 168, 156};
  AdjustWindowRectEx(&outer, 0x00C80000, FALSE, 0);
  int w = outer.right - outer.left, h = outer.bottom - outer.top;
  EXPECT_EQ(seen_.x, (GetSystemMetrics(SM_CXSCREEN) - w) / 2);
  EXPECT_EQ(seen_.y, (GetSystemMetrics(SM_CYSCREEN) - h) / 2);
  EXPECT_EQ(seen_.cx, w);
  EXPECT_EQ(seen_.cy, h);
  EXPECT_EQ(title_of(handle), " quarvo converter");
  EXPECT_EQ(class_name_of(handle), "WindowClass_0");
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropA(handle, "XR_WindowID")), 1);
  EXPECT_EQ(window_id_of(handle), 0);
  // The class is the runtime's, with the double-click style and the
  // button-face background.
  WNDCLASSA wc;
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "WindowClass_0", &wc));
  EXPECT_EQ(wc.lpfnWndProc, window_proc);
  EXPECT_EQ(wc.style, static_cast<UINT>(CS_DBLCLKS));
  EXPECT_EQ(reinterpret_cast<INT_PTR>(wc.hbrBackground), COLOR_BTNFACE + 1);
  // Tab and Shift+Tab as the window's accelerators.
  WindowRecord* record = window_lookup(0);
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(record->accelerator_count, 2);
  ACCEL entries[4] = {};
  ASSERT_EQ(CopyAcceleratorTableA(record->accelerator_table, entries, 4), 2);
  EXPECT_EQ(entries[0].fVirt, FVIRTKEY | FNOINVERT);
  EXPECT_EQ(entries[0].key, VK_TAB);
  EXPECT_EQ(entries[0].cmd, FOCUS_NEXT_COMMAND);
  EXPECT_EQ(entries[1].fVirt, FVIRTKEY | FNOINVERT | FSHIFT);
  EXPECT_EQ(entries[1].cmd, FOCUS_PREVIOUS_COMMAND);
  EXPECT_EQ(record->min_max_state, 0);
}

TEST_F(WindowOpenTest, FlagsWithoutFrameBitsGetACaptionAtTheGivenPosition) {
  auto handle = reinterpret_cast<HWND>(open_watched(3, 30, 40, 200, 80, "plain", WINDOW_INVISIBLE));
  ASSERT_TRUE(IsWindow(handle));
  EXPECT_EQ(seen_.style, WS_CAPTION);
  EXPECT_FALSE(IsWindowVisible(handle));
  RECT r;
  GetWindowRect(handle, &r);
  EXPECT_EQ(r.left, 30);
  EXPECT_EQ(r.top, 40);
  EXPECT_EQ(client_size(handle).cx, 200);
  EXPECT_EQ(client_size(handle).cy, 80);

  // A style bit of its own takes the place of the caption.
  handle = reinterpret_cast<HWND>(open_watched(4, 0, 0, 50, 50, nullptr, WINDOW_INVISIBLE | WS_POPUP));
  ASSERT_TRUE(IsWindow(handle));
  EXPECT_EQ(seen_.style, static_cast<LONG>(WS_POPUP));
  EXPECT_EQ(title_of(handle), "");
}

TEST_F(WindowOpenTest, AToolWindowHasACaptionAndNoMinimiseOrMaximise) {
  uint32_t flags = WINDOW_TOOL | WINDOW_INVISIBLE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_MAXIMIZE | WS_SYSMENU;
  auto handle = reinterpret_cast<HWND>(open_watched(5, 10, 10, 160, 40, "tool", flags));
  ASSERT_TRUE(IsWindow(handle));
  EXPECT_EQ(seen_.ex_style & ~WS_EX_WINDOWEDGE, static_cast<DWORD>(WS_EX_TOOLWINDOW));
  EXPECT_EQ(seen_.style, static_cast<LONG>(WS_CAPTION | WS_SYSMENU));
  EXPECT_EQ(window_lookup(5)->min_max_state, 0);
  // The client size holds for the thinner tool frame too.
  EXPECT_EQ(client_size(handle).cx, 160);
  EXPECT_EQ(client_size(handle).cy, 40);
}

TEST_F(WindowOpenTest, ReopeningANumberClosesTheOldWindowAndItsClassFirst) {
  auto first = reinterpret_cast<HWND>(open_window(6, 0, 0, 50, 50, "one", WINDOW_INVISIBLE));
  ASSERT_TRUE(IsWindow(first));
  // A class left registered would make the new one's registration fail
  // and the window would get the old class's procedure; the class must go
  // with the window.
  auto second = reinterpret_cast<HWND>(open_window(6, 0, 0, 60, 60, "two", WINDOW_INVISIBLE));
  ASSERT_TRUE(IsWindow(second));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(window_handle(6), second);
  EXPECT_EQ(class_name_of(second), "WindowClass_6");
  EXPECT_EQ(title_of(second), "two");

  close_window(6);
  EXPECT_EQ(window_handle(6), nullptr);
  EXPECT_FALSE(IsWindow(second));
  EXPECT_FALSE(class_exists("WindowClass_6"));
  close_window(6);  // not open: nothing
  close_window(12345);
  EXPECT_EQ(window_handle(12345), nullptr);
}

TEST_F(WindowOpenTest, AnUnnumberedWindowIsKnownByItsRecordAddress) {
  INT_PTR id = open_watched(OBJECT_ANY, 0, 0, 40, 30, "any", WINDOW_INVISIBLE);
  ASSERT_NE(id, 0);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(window_lookup(id)), id);
  HWND handle = window_handle(id);
  ASSERT_TRUE(IsWindow(handle));
  // On x86_64 the address needs all 64 bits, in the property as in the name.
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropA(handle, "XR_WindowID")), id + 1);
  char expected[64];
  snprintf(expected, sizeof expected, "WindowClass_%lld", static_cast<long long>(id));
  EXPECT_EQ(class_name_of(handle), expected);
  EXPECT_EQ(window_id_of(handle), id);
  close_window(id);
  EXPECT_EQ(window_handle(id), nullptr);
  EXPECT_FALSE(class_exists(expected));
}

TEST_F(WindowOpenTest, IgnoredPositionsLetWindowsChooseUnlessCentring) {
  // Windows resolves CW_USEDEFAULT before a hook sees it, so the test looks
  // at the outcome: the other coordinate given is not used either, and no
  // window lands at -65535.
  auto handle = reinterpret_cast<HWND>(open_watched(7, VALUE_IGNORE, 333, 150, 50, "default", WINDOW_INVISIBLE));
  ASSERT_TRUE(IsWindow(handle));
  RECT r;
  GetWindowRect(handle, &r);
  EXPECT_NE(r.top, 333);
  EXPECT_GT(r.left, -1000);
  handle = reinterpret_cast<HWND>(open_watched(8, 333, VALUE_IGNORE, 150, 50, "default", WINDOW_INVISIBLE));
  GetWindowRect(handle, &r);
  EXPECT_NE(r.left, 333);
  EXPECT_GT(r.top, -1000);

  ASSERT_NE(open_watched(9, VALUE_IGNORE, VALUE_IGNORE, 150, 50, "centred", WINDOW_INVISIBLE | WINDOW_SCREEN_CENTRE), 0);
  EXPECT_EQ(seen_.x, (GetSystemMetrics(SM_CXSCREEN) - seen_.cx) / 2);
  EXPECT_EQ(seen_.y, (GetSystemMetrics(SM_CYSCREEN) - seen_.cy) / 2);
}

TEST_F(WindowOpenTest, AWindowLargerThanTheScreenIsClampedWhenCentredOnIt) {
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_NE(open_watched(10, 0, 0, sw * 2, sh * 2, "big", WINDOW_INVISIBLE | WINDOW_SCREEN_CENTRE), 0);
  EXPECT_EQ(seen_.cx, sw);
  EXPECT_EQ(seen_.cy, sh);
  EXPECT_EQ(seen_.x, 0);
  EXPECT_EQ(seen_.y, 0);
}

TEST_F(WindowOpenTest, CentringOnTheParentStaysOnTheScreen) {
  auto parent = reinterpret_cast<HWND>(open_window(11, 100, 80, 300, 200, "parent", WINDOW_INVISIBLE));
  ASSERT_TRUE(IsWindow(parent));
  RECT pr;
  GetWindowRect(parent, &pr);
  ASSERT_NE(open_watched(12, 0, 0, 100, 60, "owned", WINDOW_INVISIBLE | WINDOW_PARENT_CENTRE, parent), 0);
  EXPECT_EQ(seen_.x, pr.left + (pr.right - pr.left - seen_.cx) / 2);
  EXPECT_EQ(seen_.y, pr.top + (pr.bottom - pr.top - seen_.cy) / 2);
  EXPECT_EQ(GetWindow(window_handle(12), GW_OWNER), parent);

  // A window wider than its parent near the screen's corner would start
  // left of the screen: raised to 0.
  auto corner = reinterpret_cast<HWND>(open_window(13, 0, 0, 40, 40, "corner", WINDOW_INVISIBLE));
  ASSERT_NE(open_watched(14, 5, 5, 400, 300, "wide", WINDOW_INVISIBLE | WINDOW_PARENT_CENTRE, corner), 0);
  EXPECT_EQ(seen_.x, 0);
  EXPECT_EQ(seen_.y, 0);
  // Both centring flags: the screen wins.
  ASSERT_NE(open_watched(15, 5, 5, 50, 50, "both",
                         WINDOW_INVISIBLE | WINDOW_PARENT_CENTRE | WINDOW_SCREEN_CENTRE, parent),
            0);
  EXPECT_EQ(seen_.x, (GetSystemMetrics(SM_CXSCREEN) - seen_.cx) / 2);
}

TEST_F(WindowOpenTest, CloseAllClosesEveryWindowAndFreesAHeldDropPayload) {
  HWND handles[3];
  for (int i = 0; i < 3; i++) handles[i] = reinterpret_cast<HWND>(open_window(20 + i, 0, 0, 30, 30, "w", WINDOW_INVISIBLE));
  INT_PTR any = open_window(OBJECT_ANY, 0, 0, 30, 30, "any", WINDOW_INVISIBLE);
  HWND any_handle = window_handle(any);
  auto* payload = static_cast<DropPayload*>(runtime_alloc_zeroed(sizeof(DropPayload)));
  payload->data = runtime_alloc(64);
  set_drop_payload(payload);
  close_all_windows();
  for (int i = 0; i < 3; i++) {
    EXPECT_FALSE(IsWindow(handles[i]));
    EXPECT_EQ(window_handle(20 + i), nullptr);
  }
  EXPECT_FALSE(IsWindow(any_handle));
  EXPECT_EQ(window_lookup(any), nullptr);
  EXPECT_EQ(event_state()->drop_payload, nullptr);
}

TEST_F(WindowOpenTest, TheOwningWindowIsTheNearestOneWithAnId) {
  auto window = reinterpret_cast<HWND>(open_window(30, 0, 0, 100, 100, "owner", WINDOW_INVISIBLE));
  HWND panel = child(window, "STATIC", 0, 0, 0, 80, 80);
  HWND inner = child(panel, "STATIC", 0, 0, 0, 20, 20);
  EXPECT_EQ(owning_window(inner), window);
  EXPECT_EQ(owning_window(window), window);
  // Outside any runtime window: the topmost ancestor.
  HWND foreign = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HWND foreign_child = child(foreign, "STATIC", 0);
  EXPECT_EQ(owning_window(foreign_child), foreign);
  EXPECT_EQ(window_id_of(foreign), -1);
  DestroyWindow(foreign);
  close_window(30);
  // The property goes before the native window is destroyed.
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
