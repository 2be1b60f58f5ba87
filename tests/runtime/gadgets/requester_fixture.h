#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/base/string_workspace.h"
#include "runtime/gadgets/requester.h"

// The converter's prompt, "Укажи желаемый битрейт mp3", in code page 1251.
inline const char BITRATE_TITLE_1251[] =
    "\xD3\xEA\xE0\xE6\xE8 \xE6\xE5\xEB\xE0\xE5\xEC\xFB\xE9 \xE1\xE8\xF2\xF0\xE5\xE9\xF2 mp3";

// Messages a test window answers, so that other threads can make it act on
// its own thread.
constexpr UINT ANSWER_MESSAGE = WM_APP;              // returns 42
constexpr UINT DISABLE_MESSAGE = WM_APP + 1;         // disable_thread_windows
constexpr UINT ENABLE_MESSAGE = WM_APP + 2;          // enable_thread_windows
constexpr UINT FOREGROUND_MESSAGE = WM_APP + 3;      // SetForegroundWindow on itself

// Top-level windows named by their titles, which log when they are enabled
// or disabled; the requester's WM_DESTROY goes into the same log, so that
// the order of the two can be checked. A step script run from a thread
// timer drives a requester from inside its own message loop.
class RequesterTest : public ::testing::Test {
 public:
  using Step = std::function<bool()>;  // true: done, go to the next step

  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // A top-level window of this thread, 120 x 80, titled `name`.
  HWND make_window(const char* name, bool visible = true, bool enabled = true);
  static HWND make_window_on_this_thread(const char* name, bool visible, bool enabled);

  // Runs the requester with the steps playing from a 10 ms timer; fails the
  // test and closes the requester when it is still open after 15 s.
  // The result is written at `at` (the workspace position when -1); the
  // check that the position ends just behind it is made here.
  std::string run(const char* title, const char* message, const char* default_text, std::vector<Step> steps,
                  int32_t at = -1);

  // Waits until the requester is up and has the focus on its edit field.
  static Step until_requester_ready();
  // A step that always succeeds at once.
  static Step step(std::function<void()> action);

  // The requester window of this thread, or null; and its controls.
  static HWND requester();
  static HWND edit() { return GetDlgItem(requester(), REQUESTER_EDIT_ID); }
  static HWND ok_button() { return GetDlgItem(requester(), REQUESTER_ACCEPT_COMMAND); }
  static HWND label();

  // Key presses posted to the focus window, as the keyboard would queue them.
  static void post_key(UINT virtual_key);
  static void post_keys(const char* digits_and_capitals);

  static std::string text_of(HWND window);
  static std::string class_of(HWND window);
  static void pump();

  static std::vector<std::string> log();
  static void clear_log();
  static void add_to_log(const std::string& line);

  std::vector<HWND> windows_;

 private:
  static LRESULT CALLBACK test_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK watch_destroy(int code, WPARAM wparam, LPARAM lparam);
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
  static std::mutex log_lock_;
  static std::vector<std::string> log_;
  static HHOOK hook_;
};

// A second GUI thread with windows of its own, serving its messages until
// the object goes.
class OtherGuiThread {
 public:
  struct WindowPlan {
    const char* name;
    bool visible;
  };
  explicit OtherGuiThread(std::vector<WindowPlan> windows);
  ~OtherGuiThread();
  HWND window(size_t i) const { return windows_[i]; }

 private:
  static DWORD WINAPI serve(void* self);
  std::vector<WindowPlan> plans_;
  std::vector<HWND> windows_;
  HANDLE ready_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD thread_id_ = 0;
};
