// Tab and Shift+Tab over a window's controls, the controls that take Tab
// themselves, and the focus kept across deactivation.
#include "tests/runtime/window/window_fixture.h"

#include <commctrl.h>
#include <richedit.h>

namespace {

class FocusTest : public WindowTest {
 protected:
  // One shown window for the whole suite: without a window manager, Wine
  // takes seconds to destroy a shown window.
  static void SetUpTestSuite() {
    WindowTest::SetUpTestSuite();
    window_ = reinterpret_cast<HWND>(open_window(1, 60, 60, 300, 200, "focus", WS_CAPTION | WS_SYSMENU));
    first_ = child(window_, "BUTTON", WS_TABSTOP, 10, 10);
    disabled_ = child(window_, "BUTTON", WS_TABSTOP | WS_DISABLED, 60, 10);
    second_ = child(window_, "EDIT", WS_TABSTOP | WS_BORDER, 110, 10);
    hidden_ = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_TABSTOP, 160, 10, 40, 20, window_, nullptr,
                              nullptr, nullptr);
    no_stop_ = child(window_, "BUTTON", 0, 210, 10);
    third_ = child(window_, "BUTTON", WS_TABSTOP, 10, 50);
  }

  static void TearDownTestSuite() { close_all_windows(); }

  void SetUp() override {
    WindowTest::SetUp();
    SetForegroundWindow(window_);
    SetActiveWindow(window_);
    drain();
  }

  // Controls a test adds go with it; the window stays.
  void TearDown() override {
    for (HWND extra : extras_) DestroyWindow(extra);
    close_window(2);
    drain();
  }

  HWND extra(HWND made) {
    extras_.push_back(made);
    return made;
  }

  bool active() const { return GetActiveWindow() == window_; }

  // Tab or Shift+Tab as keys through the message loop.
  void press_tab(bool shift) {
    INPUT keys[4] = {};
    int n = 0;
    auto key = [&](WORD vk, bool up) {
      keys[n].type = INPUT_KEYBOARD;
      keys[n].ki.wVk = vk;
      keys[n].ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
      n++;
    };
    if (shift) key(VK_SHIFT, false);
    key(VK_TAB, false);
    key(VK_TAB, true);
    if (shift) key(VK_SHIFT, true);
    SendInput(n, keys, sizeof(INPUT));
    for (int i = 0; i < 6; i++) wait_window_event_timeout(30);
    drain();
  }

  static HWND window_, first_, disabled_, second_, hidden_, no_stop_, third_;
  std::vector<HWND> extras_;
};

HWND FocusTest::window_, FocusTest::first_, FocusTest::disabled_, FocusTest::second_, FocusTest::hidden_,
    FocusTest::no_stop_, FocusTest::third_;

TEST_F(FocusTest, TabWalksTheEligibleControlsAndWrapsAround) {
  if (!active()) GTEST_SKIP() << "the display gave the window no activation";
  SetFocus(first_);
  move_focus(0);
  EXPECT_EQ(GetFocus(), second_);  // the disabled one is skipped
  move_focus(0);
  EXPECT_EQ(GetFocus(), third_);   // hidden and non-stop ones too
  move_focus(0);
  EXPECT_EQ(GetFocus(), first_);
  move_focus(1);
  EXPECT_EQ(GetFocus(), third_);
  move_focus(1);
  EXPECT_EQ(GetFocus(), second_);
}

TEST_F(FocusTest, FromOutsideTheWindowTabTakesTheFirstAndShiftTabTheLast) {
  if (!active()) GTEST_SKIP() << "the display gave the window no activation";
  SetFocus(window_);  // the window itself is no child of itself
  move_focus(0);
  EXPECT_EQ(GetFocus(), first_);
  SetFocus(window_);
  move_focus(1);
  EXPECT_EQ(GetFocus(), third_);
}

TEST_F(FocusTest, RealTabKeysGoThroughTheAccelerators) {
  if (!active()) GTEST_SKIP() << "the display gave the window no activation";
  SetFocus(third_);
  press_tab(false);
  EXPECT_EQ(GetFocus(), first_);
  press_tab(true);
  EXPECT_EQ(GetFocus(), third_);
  press_tab(true);
  EXPECT_EQ(GetFocus(), second_);
}

TEST_F(FocusTest, AnAddressFieldCountsAsOneStop) {
  if (!active()) GTEST_SKIP() << "the display gave the window no activation";
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_INTERNET_CLASSES};
  InitCommonControlsEx(&icc);
  HWND address = extra(CreateWindowExA(0, "SysIPAddress32", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 90, 150,
                                       22, window_, nullptr, nullptr, nullptr));
  if (!address) GTEST_SKIP() << "no IP address control";
  HWND after = extra(child(window_, "BUTTON", WS_TABSTOP, 170, 90));
  HWND inner = FindWindowExA(address, nullptr, "Edit", nullptr);
  ASSERT_NE(inner, nullptr);
  SetFocus(inner);
  ASSERT_EQ(GetFocus(), inner);
  move_focus(0);
  // Not the address field's second edit: the control after it.
  EXPECT_EQ(GetFocus(), after);
}

TEST_F(FocusTest, AWritableRichEditTakesTabAndAReadOnlyOneMovesOn) {
  if (!active()) GTEST_SKIP() << "the display gave the window no activation";
  if (!LoadLibraryA("riched20.dll")) GTEST_SKIP() << "no rich-edit library";
  HWND rich = extra(CreateWindowExA(0, RICHEDIT_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE, 10,
                                    90, 150, 60, window_, nullptr, nullptr, nullptr));
  ASSERT_NE(rich, nullptr);
  SetFocus(rich);
  press_tab(false);
  EXPECT_EQ(GetFocus(), rich);
  char text[16] = {};
  GetWindowTextA(rich, text, sizeof text);
  EXPECT_STREQ(text, "\t");

  SendMessageA(rich, EM_SETREADONLY, TRUE, 0);
  press_tab(false);
  EXPECT_NE(GetFocus(), rich);
}

TEST_F(FocusTest, AHotkeyControlGetsEveryKey) {
  SetFocus(second_);
  WindowRecord* record = window_lookup(1);
  if (GetFocus() == second_) {
    EXPECT_EQ(shortcut_table(window_), record->accelerator_table);
    SetPropA(second_, "XR_Hotkey", reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(shortcut_table(window_), nullptr);
    RemovePropA(second_, "XR_Hotkey");
  }
  // A window that is no runtime window has no table.
  HWND foreign = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(shortcut_table(foreign), nullptr);
  EXPECT_EQ(shortcut_table(nullptr), nullptr);
  DestroyWindow(foreign);
}

TEST_F(FocusTest, ReactivationGivesTheFocusBackToTheControlThatHadIt) {
  SetFocus(second_);
  if (GetFocus() != second_) GTEST_SKIP() << "the display gave the window no focus";
  SendMessageA(window_, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(GetPropA(window_, "XR_Focus"), second_);
  SetFocus(third_);
  SendMessageA(window_, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(GetFocus(), second_);
  EXPECT_EQ(pop_event(nullptr, nullptr, nullptr), EVENT_ACTIVATE_WINDOW);

  // The same with a real change of the active window.
  if (!active()) return;
  auto other = reinterpret_cast<HWND>(open_window(2, 400, 60, 100, 80, "other", WS_CAPTION));
  SetForegroundWindow(other);
  SetActiveWindow(other);
  for (int i = 0; i < 10; i++) wait_window_event_timeout(20);
  SetFocus(nullptr);
  SetForegroundWindow(window_);
  SetActiveWindow(window_);
  for (int i = 0; i < 10; i++) wait_window_event_timeout(20);
  if (GetActiveWindow() == window_) {
    EXPECT_EQ(GetFocus(), second_);
  }
}

}  // namespace
