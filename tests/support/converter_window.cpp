#include "tests/support/converter_window.h"

#include <commctrl.h>
#include <psapi.h>

const char CONVERTER_TITLE[] = " quarvo converter";
const char CONVERTER_IDLE_TEXT[] = "Тащи сюда!";

// Larger than any text the converter shows; SB_GETTEXTW has no size limit
// of its own, so the buffer must hold the longest text the bar might keep.
static constexpr SIZE_T REMOTE_BUFFER_SIZE = 4096;
// A hung converter must not hang its observer.
static constexpr UINT ANSWER_TIMEOUT_MS = 1000;

ConverterWindow::~ConverterWindow() { release(); }

void ConverterWindow::release() {
  if (remote_buffer_) VirtualFreeEx(process_, remote_buffer_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
  window_ = status_bar_ = nullptr;
  process_ = nullptr;
  remote_buffer_ = nullptr;
  process_id_ = 0;
}

bool ConverterWindow::find(const char* title) {
  release();
  HWND window = FindWindowA(nullptr, title);
  if (!window) return false;
  HWND bar = FindWindowExA(window, nullptr, STATUSCLASSNAMEA, nullptr);
  if (!bar) return false;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                   PROCESS_QUERY_INFORMATION | SYNCHRONIZE,
                               FALSE, pid);
  if (!process) return false;
  void* buffer = VirtualAllocEx(process, nullptr, REMOTE_BUFFER_SIZE, MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
  if (!buffer) {
    CloseHandle(process);
    return false;
  }
  window_ = window;
  status_bar_ = bar;
  process_id_ = pid;
  process_ = process;
  remote_buffer_ = buffer;
  return true;
}

bool ConverterWindow::wait_for(DWORD timeout_ms, const char* title) {
  DWORD start = GetTickCount();
  while (!find(title)) {
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(50);
  }
  return true;
}

bool ConverterWindow::field_text(int index, std::string* text, std::string* raw) {
  if (!alive()) return false;
  DWORD_PTR length_and_type = 0;
  if (!SendMessageTimeoutW(status_bar_, SB_GETTEXTLENGTHW, index, 0, SMTO_ABORTIFHUNG,
                           ANSWER_TIMEOUT_MS, &length_and_type))
    return false;
  size_t length = LOWORD(length_and_type);
  text->clear();
  if (raw) raw->clear();
  if (length == 0) return true;
  constexpr size_t UNITS = REMOTE_BUFFER_SIZE / sizeof(WCHAR);
  if (length >= UNITS) return false;
  // The text may change between the two messages; the length that counts
  // is the one that SB_GETTEXTW answers with the text it copied.
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(status_bar_, SB_GETTEXTW, index, reinterpret_cast<LPARAM>(remote_buffer_),
                           SMTO_ABORTIFHUNG, ANSWER_TIMEOUT_MS, &copied))
    return false;
  length = LOWORD(copied);
  if (length >= UNITS) return false;
  WCHAR local[UNITS] = {};
  SIZE_T got = 0;
  if (!ReadProcessMemory(process_, remote_buffer_, local, (length + 1) * sizeof(WCHAR), &got)) return false;
  local[length] = L'\0';
  std::string utf8 = utf8_from_wide(local);
  if (raw) *raw = utf8;
  const size_t shown = utf8.find_first_not_of('\t');
  *text = shown == std::string::npos ? std::string() : utf8.substr(shown);
  return true;
}

// The busy indicator is a progress control that the status bar makes for
// field 1 and hides again when the field shows text.
bool ConverterWindow::busy_position(int* position) {
  if (!alive()) return false;
  *position = -1;
  for (HWND child = FindWindowExA(status_bar_, nullptr, PROGRESS_CLASSA, nullptr); child;
       child = FindWindowExA(status_bar_, child, PROGRESS_CLASSA, nullptr)) {
    if (!(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)) continue;
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutA(child, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, ANSWER_TIMEOUT_MS, &value))
      return false;
    *position = static_cast<int>(value);
    return true;
  }
  return true;
}

bool ConverterWindow::field_screen_rect(int index, RECT* rect) {
  if (!alive()) return false;
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutA(status_bar_, SB_GETRECT, index, reinterpret_cast<LPARAM>(remote_buffer_),
                           SMTO_ABORTIFHUNG, ANSWER_TIMEOUT_MS, &got) ||
      !got)
    return false;
  SIZE_T read = 0;
  if (!ReadProcessMemory(process_, remote_buffer_, rect, sizeof *rect, &read) || read != sizeof *rect) return false;
  MapWindowPoints(status_bar_, nullptr, reinterpret_cast<POINT*>(rect), 2);
  return true;
}

bool ConverterWindow::drawn_progress(int* filled, int* width) {
  RECT field;
  if (!field_screen_rect(1, &field)) return false;
  // The fill leaves a pixel of the field's own on each side.
  int left = field.left + 1, row = (field.top + field.bottom) / 2;
  *width = field.right - field.left - 2;
  if (*width <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = *width;
  info.bmiHeader.biHeight = 1;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP line = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = line && bits;
  if (ok) {
    HGDIOBJ previous = SelectObject(memory, line);
    ok = BitBlt(memory, 0, 0, *width, 1, screen, left, row, SRCCOPY) != 0;
    GdiFlush();
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    DWORD wanted = (GetRValue(highlight) << 16) | (GetGValue(highlight) << 8) | GetBValue(highlight);
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    *filled = 0;
    for (int x = 0; x < *width; ++x)
      if ((pixels[x] & 0xFFFFFF) == wanted) ++*filled;
    SelectObject(memory, previous);
  }
  if (line) DeleteObject(line);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

bool ConverterWindow::window_rect(RECT* rect) const { return alive() && GetWindowRect(window_, rect); }

bool ConverterWindow::client_rect(RECT* rect) const {
  if (!alive() || !GetClientRect(window_, rect)) return false;
  MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(rect), 2);
  return true;
}

bool ConverterWindow::status_bar_rect(RECT* rect) const {
  return alive() && GetWindowRect(status_bar_, rect);
}

bool ConverterWindow::memory(SIZE_T* working_set, SIZE_T* peak_working_set, SIZE_T* private_bytes) const {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  if (!process_ ||
      !GetProcessMemoryInfo(process_, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
    return false;
  *working_set = counters.WorkingSetSize;
  *peak_working_set = counters.PeakWorkingSetSize;
  *private_bytes = counters.PrivateUsage;
  return true;
}

bool ConverterWindow::close() { return alive() && PostMessageA(window_, WM_CLOSE, 0, 0); }

bool ConverterWindow::wait_exit(DWORD timeout_ms, DWORD* exit_code) {
  if (!process_ || WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(process_, exit_code) != 0;
}

std::string utf8_from_wide(const WCHAR* wide) {
  int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(length > 0 ? length - 1 : 0, '\0');
  if (length > 1) WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], length, nullptr, nullptr);
  return utf8;
}

std::string window_caption(HWND window) {
  WCHAR caption[512] = {};
  GetWindowTextW(window, caption, 512);
  return utf8_from_wide(caption);
}
