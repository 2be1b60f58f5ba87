// The requester driven from inside its own loop: a thread timer plays the
// steps (posted keys as the keyboard queues them, real input through
// SendInput, clicks, quit messages) while input_requester waits.
#include "tests/runtime/gadgets/requester_fixture.h"

#include <algorithm>
#include <string>

namespace {

RECT rect_in_client(HWND child, HWND parent) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void expect_rect(const RECT& r, int x, int y, int width, int height, const char* what) {
  EXPECT_EQ(r.left, x) << what;
  EXPECT_EQ(r.top, y) << what;
  EXPECT_EQ(r.right - r.left, width) << what;
  EXPECT_EQ(r.bottom - r.top, height) << what;
}

std::pair<DWORD, DWORD> selection_of(HWND edit) {
  DWORD start = 0xFFFF, end = 0xFFFF;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return {start, end};
}

RequesterTest::Step until_edit_reads(std::string text) {
  return [text] { return RequesterTest::text_of(RequesterTest::edit()) == text; };
}

TEST_F(RequesterTest, OpensCentredWithCaptionLabelAndTheCaretBehindTheDefault) {
  std::string result = run(BITRATE_TITLE_1251, "Bit rate, kbit/s:", "128", {
    until_requester_ready(),
    step([] {
      HWND open = requester();
      EXPECT_EQ(text_of(open), BITRATE_TITLE_1251);
      // The bytes were read in code page 1251: Windows holds the Cyrillic.
      wchar_t wide[64] = {};
      GetWindowTextW(open, wide, 64);
      EXPECT_EQ(std::wstring(wide), std::wstring(L"Укажи желаемый битрейт mp3"));

      RECT frame;
      GetWindowRect(open, &frame);
      int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
      expect_rect(frame, cx / 2 - 150, cy / 2 - 65, 300, 130, "requester");
      if (cx == 1024 && cy == 768) expect_rect(frame, 362, 319, 300, 130, "requester on 1024 x 768");
      LONG style = GetWindowLongA(open, GWL_STYLE);
      EXPECT_EQ(style & (WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CHILD), WS_VISIBLE | WS_CAPTION);

      HFONT gui_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
      HWND text = label();
      ASSERT_NE(text, nullptr);
      EXPECT_EQ(text_of(text), "Bit rate, kbit/s:");
      EXPECT_EQ(GetWindowLongA(text, GWL_STYLE) & SS_TYPEMASK, SS_SIMPLE);
      expect_rect(rect_in_client(text, open), 10, 10, 280, 22, "label");
      EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(text, WM_GETFONT, 0, 0)), gui_font);

      HWND field = edit();
      ASSERT_NE(field, nullptr);
      EXPECT_EQ(text_of(field), "128");
      EXPECT_EQ(selection_of(field), std::make_pair(DWORD{3}, DWORD{3}));
      EXPECT_EQ(GetFocus(), field);
      EXPECT_TRUE(GetWindowLongA(field, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
      EXPECT_TRUE(GetWindowLongA(field, GWL_STYLE) & ES_AUTOHSCROLL);
      expect_rect(rect_in_client(field, open), 10, 32, 275, 21, "edit");
      EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(field, WM_GETFONT, 0, 0)), gui_font);

      HWND ok = ok_button();
      ASSERT_NE(ok, nullptr);
      EXPECT_EQ(text_of(ok), "OK");
      EXPECT_EQ(GetWindowLongA(ok, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
      expect_rect(rect_in_client(ok, open), 110, 67, 80, 25, "button");
      EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(ok, WM_GETFONT, 0, 0)), gui_font);
    }),
    step([] { post_key(VK_RETURN); }),
  });
  EXPECT_EQ(result, "128");
}

TEST_F(RequesterTest, EnterAcceptsTheTypedTextWithTheFocusOnTheButton) {
  std::string result = run(BITRATE_TITLE_1251, "", "128", {
    until_requester_ready(),
    step([] { post_keys("64"); }),
    until_edit_reads("12864"),
    step([] {
      SetFocus(ok_button());
      EXPECT_EQ(GetFocus(), ok_button());
      post_key(VK_RETURN);
    }),
  });
  EXPECT_EQ(result, "12864");
  EXPECT_EQ(requester(), nullptr);
}

TEST_F(RequesterTest, EscapeAndTheCloseCommandCancelEvenWithTextInTheField) {
  std::string escaped = run(BITRATE_TITLE_1251, "", "192", {
    until_requester_ready(),
    step([] { post_keys("0"); }),
    until_edit_reads("1920"),
    step([] { post_key(VK_ESCAPE); }),
  });
  EXPECT_EQ(escaped, "");
  std::string closed = run(BITRATE_TITLE_1251, "", "192", {
    until_requester_ready(),
    step([] { PostMessageA(requester(), WM_SYSCOMMAND, SC_CLOSE, 0); }),
  });
  EXPECT_EQ(closed, "");
}

TEST_F(RequesterTest, OkWithAnEmptyFieldGivesTheEmptyText) {
  std::string result = run(nullptr, nullptr, nullptr, {
    until_requester_ready(),
    step([] {
      EXPECT_EQ(text_of(requester()), "");
      EXPECT_EQ(text_of(label()), "");
      EXPECT_EQ(text_of(edit()), "");
      EXPECT_EQ(selection_of(edit()), std::make_pair(DWORD{0}, DWORD{0}));
      SendMessageA(ok_button(), BM_CLICK, 0, 0);
    }),
  });
  EXPECT_EQ(result, "");
  EXPECT_EQ(requester(), nullptr);
}

void send_key(WORD virtual_key) {
  INPUT input[2] = {};
  input[0].type = INPUT_KEYBOARD;
  input[0].ki.wVk = virtual_key;
  input[1] = input[0];
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

void send_click_at(POINT point) {
  SetCursorPos(point.x, point.y);
  INPUT input[2] = {};
  input[0].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].type = INPUT_MOUSE;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, input, sizeof(INPUT));
}

TEST_F(RequesterTest, RealKeysAndAClickOnOkGiveTheTypedText) {
  std::string result = run(BITRATE_TITLE_1251, "", "128", {
    until_requester_ready(),
    // A key typed first lands behind the default: nothing was selected.
    step([] { send_key('4'); }),
    until_edit_reads("1284"),
    step([] {
      for (int i = 0; i < 4; i++) send_key(VK_BACK);
      send_key('2');
      send_key('5');
      send_key('6');
    }),
    until_edit_reads("256"),
    step([] {
      RECT r;
      GetWindowRect(ok_button(), &r);
      POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
      EXPECT_EQ(WindowFromPoint(centre), ok_button());
      send_click_at(centre);
    }),
  });
  EXPECT_EQ(result, "256");
}

volatile LONG answer = 0;

DWORD WINAPI ask_for_answer(void* target) {
  DWORD_PTR got = 0;
  SendMessageTimeoutA(static_cast<HWND>(target), ANSWER_MESSAGE, 0, 0, SMTO_NORMAL, 5000, &got);
  InterlockedExchange(&answer, static_cast<LONG>(got));
  return 0;
}

TEST_F(RequesterTest, ThreadWindowsAreDisabledWhileOpenAndEnabledBeforeTheRequesterGoes) {
  HWND plain = make_window("plain");
  HWND hidden = make_window("hidden", false);
  HWND off = make_window("off", true, false);
  HWND front = make_window("front");
  OtherGuiThread other({{"other", true}});
  SetForegroundWindow(front);
  ASSERT_EQ(GetForegroundWindow(), front);
  clear_log();

  answer = 0;
  std::string result = run(BITRATE_TITLE_1251, "", "160", {
    until_requester_ready(),
    step([&] {
      EXPECT_FALSE(IsWindowEnabled(plain));
      EXPECT_TRUE(IsWindowEnabled(hidden));
      EXPECT_FALSE(IsWindowEnabled(off));
      EXPECT_FALSE(IsWindowEnabled(front));
      EXPECT_TRUE(IsWindowEnabled(other.window(0)));
      EXPECT_EQ(GetWindow(requester(), GW_OWNER), front);
      // A worker's message to a window of this thread is served meanwhile.
      CloseHandle(CreateThread(nullptr, 0, ask_for_answer, plain, 0, nullptr));
    }),
    [] { return answer != 0; },
    step([] { post_key(VK_RETURN); }),
  });
  EXPECT_EQ(result, "160");
  EXPECT_EQ(answer, 42);
  EXPECT_TRUE(IsWindowEnabled(plain));
  EXPECT_TRUE(IsWindowEnabled(front));
  EXPECT_TRUE(IsWindowEnabled(hidden));
  EXPECT_FALSE(IsWindowEnabled(off));
  EXPECT_TRUE(IsWindowEnabled(other.window(0)));

  std::vector<std::string> lines = log();
  std::vector<std::string> expected = {"disable plain", "disable front", "enable front", "enable plain",
                                       "destroy requester"};
  EXPECT_EQ(lines, expected);
}

TEST_F(RequesterTest, AForegroundWindowThatWasDisabledStaysDisabled) {
  HWND front = make_window("front");
  SetForegroundWindow(front);
  EnableWindow(front, FALSE);
  ASSERT_EQ(GetForegroundWindow(), front);
  clear_log();
  std::string result = run(BITRATE_TITLE_1251, "", "56", {
    until_requester_ready(),
    step([&] {
      EXPECT_EQ(GetWindow(requester(), GW_OWNER), front);
      post_key(VK_ESCAPE);
    }),
  });
  EXPECT_EQ(result, "");
  EXPECT_FALSE(IsWindowEnabled(front));
  EXPECT_EQ(log(), std::vector<std::string>{"destroy requester"});
}

TEST_F(RequesterTest, AForegroundWindowOfAnotherThreadIsDisabledAsTheOwner) {
  OtherGuiThread other({{"other front", true}, {"other back", true}});
  HWND mine = make_window("mine");
  SendMessageA(other.window(0), FOREGROUND_MESSAGE, 0, 0);
  ASSERT_EQ(GetForegroundWindow(), other.window(0));
  clear_log();
  std::string result = run(BITRATE_TITLE_1251, "", "320", {
    until_requester_ready(),
    step([&] {
      EXPECT_EQ(GetWindow(requester(), GW_OWNER), other.window(0));
      EXPECT_FALSE(IsWindowEnabled(other.window(0)));
      EXPECT_TRUE(IsWindowEnabled(other.window(1)));
      EXPECT_FALSE(IsWindowEnabled(mine));
      post_key(VK_RETURN);
    }),
  });
  EXPECT_EQ(result, "320");
  EXPECT_TRUE(IsWindowEnabled(other.window(0)));
  EXPECT_TRUE(IsWindowEnabled(mine));
  std::vector<std::string> lines = log();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "destroy requester");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "enable other front"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "enable mine"), 1);
}

TEST_F(RequesterTest, AQuitMessageClosesTheRequesterEnablesTheWindowsAndIsPostedAgain) {
  HWND plain = make_window("plain");
  HWND front = make_window("front");
  SetForegroundWindow(front);
  ASSERT_EQ(GetForegroundWindow(), front);
  clear_log();
  std::string result = run(BITRATE_TITLE_1251, "", "128", {
    until_requester_ready(),
    step([] { post_keys("5"); }),
    until_edit_reads("1285"),
    step([] { PostQuitMessage(7); }),
  });
  EXPECT_EQ(result, "");
  EXPECT_EQ(requester(), nullptr);
  EXPECT_TRUE(IsWindowEnabled(plain));
  EXPECT_TRUE(IsWindowEnabled(front));
  EXPECT_EQ(log(), (std::vector<std::string>{"disable plain", "disable front", "enable front", "enable plain",
                                             "destroy requester"}));
  MSG msg = {};
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

// The texts lie in the workspace, the default right where the result is to
// go, and the long result makes the workspace grow under it.
TEST_F(RequesterTest, ALongEntryComesBackWholeAtTheResultOffset) {
  int32_t base = workspace_position();
  workspace_append("kept");
  workspace_reserve(1, workspace_position());  // past the terminator
  int32_t title_at = workspace_position();
  workspace_append(BITRATE_TITLE_1251);
  workspace_reserve(1, workspace_position());
  int32_t default_at = workspace_position();
  // "привет" in code page 1251.
  workspace_append("\xEF\xF0\xE8\xE2\xE5\xF2");
  workspace_reserve(1, workspace_position());

  std::string entry;
  for (int i = 0; entry.size() < 100000; i++) entry += static_cast<char>(i % 3 == 0 ? '0' + i % 10 : 0xC0 + i % 64);

  std::string result = run(workspace_pointer(title_at), workspace_pointer(title_at), workspace_pointer(default_at), {
    until_requester_ready(),
    step([&] {
      EXPECT_EQ(text_of(requester()), BITRATE_TITLE_1251);
      EXPECT_EQ(text_of(label()), BITRATE_TITLE_1251);
      EXPECT_EQ(text_of(edit()), "\xEF\xF0\xE8\xE2\xE5\xF2");
      SendMessageA(edit(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(entry.c_str()));
      post_key(VK_RETURN);
    }),
  }, default_at);
  EXPECT_EQ(result.size(), entry.size());
  EXPECT_TRUE(result == entry) << "the entry came back changed";
  EXPECT_EQ(std::string(workspace_pointer(base), 4), "kept");
  EXPECT_EQ(std::string(workspace_pointer(title_at)), BITRATE_TITLE_1251);
  workspace_truncate(base);
}

TEST_F(RequesterTest, ASecondRequesterWhileOneIsOpenIsRefused) {
  std::string result = run(BITRATE_TITLE_1251, "", "outer", {
    until_requester_ready(),
    step([] {
      HWND outer = requester();
      int32_t at = workspace_position();
      workspace_append("x");
      char* inner = input_requester("inner", "", "inner", at);
      EXPECT_STREQ(inner, "");
      EXPECT_EQ(workspace_position(), at);
      EXPECT_EQ(requester(), outer);
      EXPECT_EQ(GetFocus(), edit());
      post_key(VK_RETURN);
    }),
  });
  EXPECT_EQ(result, "outer");
}

struct RefusedCreation {
  HWND watched;
  BOOL watched_enabled;
  int refused;
};
RefusedCreation g_refused;

LRESULT CALLBACK refuse_requester(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND) {
    const char* name = reinterpret_cast<CBT_CREATEWNDA*>(lparam)->lpcs->lpszClass;
    if (!IS_INTRESOURCE(name) && lstrcmpiA(name, "InputRequester") == 0) {
      g_refused.watched_enabled = IsWindowEnabled(g_refused.watched);
      g_refused.refused++;
      return 1;
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

TEST_F(RequesterTest, AWindowThatCannotBeMadeGivesTheEmptyTextAndEnablesTheWindowsAgain) {
  HWND plain = make_window("plain");
  HWND front = make_window("front");
  SetForegroundWindow(front);
  ASSERT_EQ(GetForegroundWindow(), front);
  g_refused = {plain, TRUE, 0};
  HHOOK hook = SetWindowsHookExA(WH_CBT, refuse_requester, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  clear_log();
  std::string result = run(BITRATE_TITLE_1251, "", "128", {});
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(g_refused.refused, 1);
  EXPECT_FALSE(g_refused.watched_enabled);
  EXPECT_EQ(result, "");
  EXPECT_TRUE(IsWindowEnabled(plain));
  EXPECT_TRUE(IsWindowEnabled(front));
  EXPECT_EQ(log(), (std::vector<std::string>{"disable plain", "disable front", "enable front", "enable plain"}));
}

}  // namespace
