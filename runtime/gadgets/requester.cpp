#include "runtime/gadgets/requester.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstring>

#include "runtime/base/string_workspace.h"
#include "runtime/window/runtime_heap.h"

static const char REQUESTER_CLASS[] = "InputRequester";

static constexpr int REQUESTER_WIDTH = 300;
static constexpr int REQUESTER_HEIGHT = 130;
static constexpr DWORD REQUESTER_STYLE = WS_VISIBLE | WS_CAPTION;
static constexpr DWORD LABEL_STYLE = WS_CHILD | WS_VISIBLE | SS_SIMPLE;
static constexpr DWORD EDIT_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
static constexpr DWORD BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;

// One set for the process: at most one requester is open at a time.
static HWND g_label = nullptr;
static HWND g_edit = nullptr;
static HWND g_owner = nullptr;
static bool g_closed = false;
static bool g_owner_disabled = false;
static HWND g_ok_button = nullptr;
static HFONT g_font = nullptr;
static bool g_open = false;

void requester_library_init() {
  InitCommonControls();
  CoInitialize(nullptr);
}

// Gives back every window the requester disabled. Safe to repeat: each
// window is enabled once, so the end of the loop can make sure of it
// whichever way the requester went.
static void restore_disabled_windows() {
  if (g_owner_disabled) {
    EnableWindow(g_owner, TRUE);
    g_owner_disabled = false;
  }
  enable_thread_windows();
}

// Enabling first matters: when an owned window goes while its owner is
// still disabled, Windows activates some other program instead.
static void close_requester(HWND requester) {
  restore_disabled_windows();
  DestroyWindow(requester);
}

static void accept_entry(HWND requester) {
  auto** slot = reinterpret_cast<char**>(GetWindowLongPtrA(requester, GWLP_USERDATA));
  int length = GetWindowTextLengthA(g_edit);
  if (length < 0) length = 0;
  auto* block = static_cast<char*>(runtime_alloc(static_cast<size_t>(length) + 1));
  if (block) {
    block[0] = '\0';
    GetWindowTextA(g_edit, block, length + 1);
    if (slot) {
      runtime_free(*slot);
      *slot = block;
    } else {
      runtime_free(block);
    }
  }
  close_requester(requester);
}

static LRESULT CALLBACK requester_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      // The class stays registered for the next requester: it cannot be
      // unregistered here, while its window still exists.
      g_closed = true;
      return 0;
    case WM_CLOSE:
      close_requester(window);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) == REQUESTER_ACCEPT_COMMAND) {
        accept_entry(window);
      } else if (LOWORD(wparam) == REQUESTER_CANCEL_COMMAND) {
        close_requester(window);
      }
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

static void register_requester_class(HINSTANCE instance) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = requester_proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = REQUESTER_CLASS;
  // Fails when the class is still registered from an earlier requester;
  // the window creation decides.
  RegisterClassExA(&wc);
}

// A private copy on the runtime heap, as the texts may lie in the string
// workspace, which grows under them. Null for a null text or no memory.
static char* copy_text(const char* text) {
  if (!text) return nullptr;
  size_t size = strlen(text) + 1;
  auto* copy = static_cast<char*>(runtime_alloc(size));
  if (copy) memcpy(copy, text, size);
  return copy;
}

static HWND make_control(DWORD ex_style, const char* control_class, const char* text, DWORD style, int x, int y,
                         int width, int height, HWND parent, int id, HINSTANCE instance) {
  HWND control = CreateWindowExA(ex_style, control_class, text, style, x, y, width, height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_font), TRUE);
  return control;
}

static void make_controls(HWND requester, const char* message, const char* default_text, HINSTANCE instance) {
  g_label = make_control(0, "STATIC", message, LABEL_STYLE, 10, 10, 280, 22, requester, 0, instance);
  g_edit = make_control(WS_EX_CLIENTEDGE, "EDIT", nullptr, EDIT_STYLE, 10, 32, 275, 21, requester,
                        REQUESTER_EDIT_ID, instance);
  SetFocus(g_edit);
  if (default_text) {
    SendMessageA(g_edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(default_text));
    // The caret after the last character, nothing selected.
    WPARAM end = strlen(default_text);
    SendMessageA(g_edit, EM_SETSEL, end, static_cast<LPARAM>(end));
  }
  g_ok_button = make_control(0, "BUTTON", "OK", BUTTON_STYLE, 110, 67, 80, 25, requester, REQUESTER_ACCEPT_COMMAND,
                             instance);
}

// The requester's own loop. Accelerators are tried on every message of the
// thread, whichever window it is for, so that Enter and Escape work with
// the focus on the button too. True when a quit message ended it; its exit
// code is then in *quit_code.
static bool run_requester_loop(HWND requester, HACCEL accelerators, WPARAM* quit_code) {
  MSG msg;
  while (!g_closed) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      *quit_code = msg.wParam;
      return true;
    }
    if (got == -1) return false;
    if (accelerators && TranslateAcceleratorA(requester, accelerators, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return false;
}

static char* write_result(char* text, int32_t result_offset) {
  if (!text) {
    workspace_truncate(result_offset);
    return workspace_pointer(result_offset);
  }
  int32_t length = static_cast<int32_t>(strlen(text));
  char* result = workspace_reserve(length, result_offset);
  memcpy(result, text, static_cast<size_t>(length) + 1);
  runtime_free(text);
  return result;
}

char* input_requester(const char* title, const char* message, const char* default_text, int32_t result_offset) {
  // A second requester from inside the first one's loop would take over
  // the module state and leave the first one without a loop.
  if (g_open) return write_result(nullptr, result_offset);
  g_open = true;

  char* title_copy = copy_text(title);
  char* message_copy = copy_text(message);
  char* default_copy = copy_text(default_text);
  char* result_slot = nullptr;

  if (!g_font) g_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HINSTANCE instance = GetModuleHandleA(nullptr);
  register_requester_class(instance);
  g_closed = false;

  disable_thread_windows();
  g_owner = process_foreground_window();
  g_owner_disabled = g_owner && IsWindowEnabled(g_owner);
  if (g_owner_disabled) EnableWindow(g_owner, FALSE);

  int x = GetSystemMetrics(SM_CXSCREEN) / 2 - 150;
  int y = GetSystemMetrics(SM_CYSCREEN) / 2 - 65;
  HWND requester = CreateWindowExA(0, REQUESTER_CLASS, title_copy, REQUESTER_STYLE, x, y, REQUESTER_WIDTH,
                                   REQUESTER_HEIGHT, process_foreground_window(), nullptr, instance, nullptr);
  HACCEL accelerators = nullptr;
  bool quit = false;
  WPARAM quit_code = 0;
  if (requester) {
    SetWindowLongPtrA(requester, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&result_slot));
    make_controls(requester, message_copy, default_copy, instance);
    ACCEL keys[2] = {{FVIRTKEY, VK_RETURN, REQUESTER_ACCEPT_COMMAND}, {FVIRTKEY, VK_ESCAPE, REQUESTER_CANCEL_COMMAND}};
    accelerators = CreateAcceleratorTableA(keys, 2);
    SetForegroundWindow(requester);
    BringWindowToTop(requester);
    quit = run_requester_loop(requester, accelerators, &quit_code);
    // The loop also ends without the close path: on a quit message, with
    // the requester still open, or when its owner took it away. Either way
    // nothing stays disabled, and a requester still open goes as on a cancel.
    restore_disabled_windows();
    if (!g_closed) DestroyWindow(requester);
    // A window that would not go must not keep the address of this call's slot.
    if (!g_closed) SetWindowLongPtrA(requester, GWLP_USERDATA, 0);
  } else {
    restore_disabled_windows();
  }
  if (accelerators) DestroyAcceleratorTable(accelerators);

  char* result = write_result(result_slot, result_offset);
  runtime_free(title_copy);
  runtime_free(message_copy);
  runtime_free(default_copy);
  g_label = g_edit = g_ok_button = nullptr;
  g_open = false;
  // The program's own loop must still see the quit that ended this one.
  if (quit) PostQuitMessage(static_cast<int>(quit_code));
  return result;
}
