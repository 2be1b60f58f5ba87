// The windows a requester disables while it is open, and gives back.
#include "runtime/gadgets/requester.h"

#include "runtime/window/object_list.h"

struct DisabledWindow {
  uint32_t thread;  // the thread that disabled it: only that one enables it again
  HWND window;
};

static ObjectListNode* g_disabled_windows = nullptr;

// The list is shared by every thread of the process. It is only held for
// the list operation itself, never around EnableWindow: WM_ENABLE runs the
// window's procedure, which may reach these operations again.
static SRWLOCK g_disabled_lock = SRWLOCK_INIT;

struct DisableWalk {
  DWORD thread;
  HWND foreground;
};

static BOOL CALLBACK disable_if_ours(HWND window, LPARAM context) {
  auto* walk = reinterpret_cast<DisableWalk*>(context);
  if (GetWindowThreadProcessId(window, nullptr) != walk->thread) return TRUE;
  if (!IsWindowVisible(window) || !IsWindowEnabled(window) || window == walk->foreground) return TRUE;
  EnableWindow(window, FALSE);
  AcquireSRWLockExclusive(&g_disabled_lock);
  auto* entry = static_cast<DisabledWindow*>(
      list_insert(&g_disabled_windows, sizeof(DisabledWindow) + OBJECT_LIST_HEADER));
  if (entry) {
    entry->thread = walk->thread;
    entry->window = window;
  }
  ReleaseSRWLockExclusive(&g_disabled_lock);
  // Out of memory: a window that cannot be remembered must not stay
  // disabled for good.
  if (!entry) EnableWindow(window, TRUE);
  return TRUE;
}

void disable_thread_windows() {
  DisableWalk walk = {GetCurrentThreadId(), GetForegroundWindow()};
  EnumWindows(disable_if_ours, reinterpret_cast<LPARAM>(&walk));
}

// Takes the calling thread's next entry off the list; null when none is left.
static HWND take_own_entry(DWORD thread) {
  HWND window = nullptr;
  AcquireSRWLockExclusive(&g_disabled_lock);
  for (ObjectListNode* node = g_disabled_windows; node; node = node->next) {
    auto* entry = static_cast<DisabledWindow*>(list_payload_of(node));
    if (entry->thread != thread) continue;
    window = entry->window;
    list_remove(&g_disabled_windows, entry);
    break;
  }
  ReleaseSRWLockExclusive(&g_disabled_lock);
  return window;
}

void enable_thread_windows() {
  DWORD thread = GetCurrentThreadId();
  while (HWND window = take_own_entry(thread)) EnableWindow(window, TRUE);
}

HWND process_foreground_window() {
  HWND window = GetForegroundWindow();
  if (!window) return nullptr;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process == GetCurrentProcessId() ? window : nullptr;
}
