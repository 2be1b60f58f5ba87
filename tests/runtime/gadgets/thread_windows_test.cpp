// Disabling and enabling the thread's windows on their own, and the
// process's foreground window, including one of another program.
#include "tests/runtime/gadgets/requester_fixture.h"

namespace {

TEST_F(RequesterTest, DisablingSkipsHiddenDisabledAndForegroundWindows) {
  HWND plain = make_window("plain");
  HWND hidden = make_window("hidden", false);
  HWND off = make_window("off", true, false);
  HWND front = make_window("front");
  SetForegroundWindow(front);
  ASSERT_EQ(GetForegroundWindow(), front);
  clear_log();

  disable_thread_windows();
  EXPECT_FALSE(IsWindowEnabled(plain));
  EXPECT_TRUE(IsWindowEnabled(hidden));
  EXPECT_FALSE(IsWindowEnabled(off));
  EXPECT_TRUE(IsWindowEnabled(front));
  EXPECT_EQ(log(), std::vector<std::string>{"disable plain"});

  enable_thread_windows();
  EXPECT_TRUE(IsWindowEnabled(plain));
  EXPECT_FALSE(IsWindowEnabled(off));
  EXPECT_EQ(log(), (std::vector<std::string>{"disable plain", "enable plain"}));

  // Nothing is left to give back.
  enable_thread_windows();
  EXPECT_EQ(log().size(), 2u);
}

TEST_F(RequesterTest, EachThreadEnablesOnlyWhatItDisabled) {
  HWND front = make_window("front");
  HWND mine = make_window("mine");
  OtherGuiThread other({{"theirs", true}});
  HWND theirs = other.window(0);
  SetForegroundWindow(front);
  ASSERT_EQ(GetForegroundWindow(), front);

  SendMessageA(theirs, DISABLE_MESSAGE, 0, 0);
  EXPECT_FALSE(IsWindowEnabled(theirs));
  EXPECT_TRUE(IsWindowEnabled(mine));

  disable_thread_windows();
  EXPECT_FALSE(IsWindowEnabled(mine));
  enable_thread_windows();
  EXPECT_TRUE(IsWindowEnabled(mine));
  EXPECT_FALSE(IsWindowEnabled(theirs));

  SendMessageA(theirs, ENABLE_MESSAGE, 0, 0);
  EXPECT_TRUE(IsWindowEnabled(theirs));
  EXPECT_TRUE(IsWindowEnabled(front));
}

TEST_F(RequesterTest, ProcessForegroundWindowIsAnyThreadsOfThisProcess) {
  HWND front = make_window("front");
  SetForegroundWindow(front);
  ASSERT_EQ(GetForegroundWindow(), front);
  EXPECT_EQ(process_foreground_window(), front);

  OtherGuiThread other({{"other", true}});
  SendMessageA(other.window(0), FOREGROUND_MESSAGE, 0, 0);
  ASSERT_EQ(GetForegroundWindow(), other.window(0));
  EXPECT_EQ(process_foreground_window(), other.window(0));
}

struct ProcessWindow {
  DWORD process;
  HWND found;
};

BOOL CALLBACK find_visible_window_of(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<ProcessWindow*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

// Another program in front: the requester has no owner and leaves that
// program's window alone.
TEST_F(RequesterTest, AnotherProgramInFrontIsNoOwner) {
  HWND mine = make_window("mine");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION program = {};
  char command[] = "notepad.exe";
  ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &program));
  WaitForInputIdle(program.hProcess, 10000);
  ProcessWindow search = {program.dwProcessId, nullptr};
  for (int i = 0; i < 200 && !search.found; i++) {
    EnumWindows(find_visible_window_of, reinterpret_cast<LPARAM>(&search));
    if (!search.found) Sleep(50);
  }
  HWND foreign = search.found;
  if (foreign) {
    SetForegroundWindow(foreign);
    for (int i = 0; i < 100 && GetForegroundWindow() != foreign; i++) Sleep(20);
  }
  EXPECT_NE(foreign, nullptr);
  if (foreign && GetForegroundWindow() == foreign) {
    EXPECT_EQ(process_foreground_window(), nullptr);
    std::string result = run(BITRATE_TITLE_1251, "", "128", {
      until_requester_ready(),
      step([&] {
        EXPECT_EQ(GetWindow(requester(), GW_OWNER), nullptr);
        EXPECT_FALSE(IsWindowEnabled(mine));
        EXPECT_TRUE(IsWindowEnabled(foreign));
        post_key(VK_ESCAPE);
      }),
    });
    EXPECT_EQ(result, "");
    EXPECT_TRUE(IsWindowEnabled(mine));
  } else {
    ADD_FAILURE() << "the other program's window did not come to the front";
  }
  TerminateProcess(program.hProcess, 0);
  WaitForSingleObject(program.hProcess, 5000);
  CloseHandle(program.hThread);
  CloseHandle(program.hProcess);
}

}  // namespace
