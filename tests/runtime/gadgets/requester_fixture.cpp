#include "tests/runtime/gadgets/requester_fixture.h"

#include <cstring>

static const char TEST_WINDOW_CLASS[] = "RequesterTestWindow";

std::mutex RequesterTest::log_lock_;
std::vector<std::string> RequesterTest::log_;
HHOOK RequesterTest::hook_ = nullptr;

// The script of the requester being run: one thread runs requesters at a time.
static std::vector<RequesterTest::Step> g_steps;
static size_t g_next_step = 0;
static DWORD g_script_start = 0;
static UINT_PTR g_timer = 0;
static bool g_script_overran = false;

void RequesterTest::SetUpTestSuite() {
  static bool initialised = false;
  if (initialised) return;
  requester_library_init();
  WNDCLASSA wc = {};
  wc.lpfnWndProc = test_window_proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = TEST_WINDOW_CLASS;
  RegisterClassA(&wc);
  hook_ = SetWindowsHookExA(WH_CALLWNDPROC, watch_destroy, nullptr, GetCurrentThreadId());
  initialised = true;
}

void RequesterTest::SetUp() {
  pump();
  clear_log();
}

void RequesterTest::TearDown() {
  if (g_timer) KillTimer(nullptr, g_timer);
  g_timer = 0;
  if (HWND left = requester()) {
    ADD_FAILURE() << "a requester window outlived its call";
    DestroyWindow(left);
  }
  for (HWND w : windows_) DestroyWindow(w);
  windows_.clear();
  pump();
}

LRESULT CALLBACK RequesterTest::test_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ENABLE:
      add_to_log((wparam ? "enable " : "disable ") + text_of(window));
      return 0;
    case ANSWER_MESSAGE:
      return 42;
    case DISABLE_MESSAGE:
      disable_thread_windows();
      return 0;
    case ENABLE_MESSAGE:
      enable_thread_windows();
      return 0;
    case FOREGROUND_MESSAGE:
      return SetForegroundWindow(window);
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

LRESULT CALLBACK RequesterTest::watch_destroy(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION) {
    auto* call = reinterpret_cast<CWPSTRUCT*>(lparam);
    if (call->message == WM_DESTROY && class_of(call->hwnd) == "InputRequester") add_to_log("destroy requester");
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

HWND RequesterTest::make_window_on_this_thread(const char* name, bool visible, bool enabled) {
  static int placed = 0;
  // Along the bottom of the screen, clear of the requester in the middle.
  int x = 10 + 130 * (placed++ % 7);
  HWND w = CreateWindowExA(0, TEST_WINDOW_CLASS, name, WS_POPUP | WS_BORDER, x, 600, 120, 80, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  if (!enabled) EnableWindow(w, FALSE);
  if (visible) ShowWindow(w, SW_SHOWNOACTIVATE);
  return w;
}

HWND RequesterTest::make_window(const char* name, bool visible, bool enabled) {
  HWND w = make_window_on_this_thread(name, visible, enabled);
  windows_.push_back(w);
  return w;
}

void CALLBACK RequesterTest::tick(HWND, UINT, UINT_PTR, DWORD) {
  if (GetTickCount() - g_script_start > 15000) {
    // Steps that never finish, or a requester that stays open after them.
    g_script_overran = true;
    KillTimer(nullptr, g_timer);
    g_timer = 0;
    if (HWND open = requester()) SendMessageA(open, WM_CLOSE, 0, 0);
    return;
  }
  // One step a tick, so that what a step queued is served before the next.
  if (g_next_step < g_steps.size() && g_steps[g_next_step]()) g_next_step++;
}

std::string RequesterTest::run(const char* title, const char* message, const char* default_text,
                               std::vector<Step> steps, int32_t at) {
  g_steps = std::move(steps);
  g_next_step = 0;
  g_script_start = GetTickCount();
  g_script_overran = false;
  g_timer = SetTimer(nullptr, 0, 10, tick);
  if (at < 0) at = workspace_position();
  char* result = input_requester(title, message, default_text, at);
  std::string text = result;
  EXPECT_EQ(result, workspace_pointer(at));
  EXPECT_EQ(workspace_position(), at + static_cast<int32_t>(text.size()));
  workspace_truncate(at);
  if (g_timer) KillTimer(nullptr, g_timer);
  g_timer = 0;
  EXPECT_FALSE(g_script_overran) << "still open after 15 s, at step " << g_next_step << " of " << g_steps.size();
  EXPECT_EQ(g_next_step, g_steps.size()) << "the requester closed before its steps were done";
  return text;
}

RequesterTest::Step RequesterTest::until_requester_ready() {
  return [] {
    HWND open = requester();
    return open && GetForegroundWindow() == open && GetFocus() == GetDlgItem(open, REQUESTER_EDIT_ID);
  };
}

RequesterTest::Step RequesterTest::step(std::function<void()> action) {
  return [action] {
    action();
    return true;
  };
}

static BOOL CALLBACK find_requester(HWND window, LPARAM found) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof name);
  if (strcmp(name, "InputRequester") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND RequesterTest::requester() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), find_requester, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND RequesterTest::label() {
  for (HWND child = GetWindow(requester(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (class_of(child) == "Static") return child;
  return nullptr;
}

void RequesterTest::post_key(UINT virtual_key) {
  HWND focus = GetFocus();
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtual_key, MAPVK_VK_TO_VSC)) << 16;
  PostMessageA(focus, WM_KEYDOWN, virtual_key, 1 | scan);
  PostMessageA(focus, WM_KEYUP, virtual_key, 1 | scan | 0xC0000000);
}

void RequesterTest::post_keys(const char* digits_and_capitals) {
  for (const char* c = digits_and_capitals; *c; c++) post_key(static_cast<unsigned char>(*c));
}

std::string RequesterTest::text_of(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], length + 1)));
  return text;
}

std::string RequesterTest::class_of(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

void RequesterTest::pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

std::vector<std::string> RequesterTest::log() {
  std::lock_guard<std::mutex> hold(log_lock_);
  return log_;
}

void RequesterTest::clear_log() {
  std::lock_guard<std::mutex> hold(log_lock_);
  log_.clear();
}

void RequesterTest::add_to_log(const std::string& line) {
  std::lock_guard<std::mutex> hold(log_lock_);
  log_.push_back(line);
}

OtherGuiThread::OtherGuiThread(std::vector<WindowPlan> windows) : plans_(std::move(windows)) {
  ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, serve, this, 0, &thread_id_);
  WaitForSingleObject(ready_, 10000);
}

OtherGuiThread::~OtherGuiThread() {
  PostThreadMessageA(thread_id_, WM_QUIT, 0, 0);
  WaitForSingleObject(thread_, 10000);
  CloseHandle(thread_);
  CloseHandle(ready_);
}

DWORD WINAPI OtherGuiThread::serve(void* parameter) {
  auto* self = static_cast<OtherGuiThread*>(parameter);
  for (const WindowPlan& plan : self->plans_)
    self->windows_.push_back(RequesterTest::make_window_on_this_thread(plan.name, plan.visible, true));
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before the thread reports ready
  SetEvent(self->ready_);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  for (HWND w : self->windows_) DestroyWindow(w);
  return 0;
}
