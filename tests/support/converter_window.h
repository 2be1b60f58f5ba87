// The running converter seen from another process, as a user or a test
// harness sees it: its window, the texts of its status fields and the
// position of its busy indicator, read without any help from the converter.
// A status bar keeps its texts in its own process, so SB_GETTEXTW is given
// a buffer allocated there and the text is read back from it. Texts are
// read as UTF-16, as the windows hold them, and given in UTF-8.
#pragma once

#include <windows.h>

#include <string>

// The converter's window title, with its leading blank.
extern const char CONVERTER_TITLE[];
// Status field 1 while the converter is idle, in UTF-8.
extern const char CONVERTER_IDLE_TEXT[];

class ConverterWindow {
 public:
  ConverterWindow() = default;
  ~ConverterWindow();
  ConverterWindow(const ConverterWindow&) = delete;
  ConverterWindow& operator=(const ConverterWindow&) = delete;

  // Looks for a top-level window titled `title` with a status bar; true
  // when found and its process could be opened for reading.
  bool find(const char* title = CONVERTER_TITLE);
  // Waits up to `timeout_ms` for find() to succeed.
  bool wait_for(DWORD timeout_ms, const char* title = CONVERTER_TITLE);

  HWND window() const { return window_; }
  DWORD process_id() const { return process_id_; }
  bool alive() const { return window_ && IsWindow(window_); }

  // The text of status field `index` in UTF-8, as shown: without the tabs that lead it (one centres it, two align it
  // right); false when the window is gone or does not answer within a
  // second. The whole text, tabs and all, in `raw` when asked for.
  bool field_text(int index, std::string* text, std::string* raw = nullptr);
  // The busy indicator's progress control in field 1: its position when it
  // is shown, -1 while it is hidden (the field shows text then).
  bool busy_position(int* position);

  // Where status field `index` lies on the screen.
  bool field_screen_rect(int index, RECT* rect);
  // The busy indicator as the status bar draws it itself when it makes no
  // progress control: how many pixels of field 1's middle row, of `width`,
  // are in the highlight colour that fills it. Read from the screen.
  bool drawn_progress(int* filled, int* width);

  // Screen rectangles of the whole window, its client area and its status bar.
  bool window_rect(RECT* rect) const;
  bool client_rect(RECT* rect) const;
  bool status_bar_rect(RECT* rect) const;

  // The converter's working set now and at its peak, and its private
  // bytes, as Windows counts them (Wine leaves the private bytes 0).
  bool memory(SIZE_T* working_set, SIZE_T* peak_working_set, SIZE_T* private_bytes) const;

  // Asks the window to close, as its close box does.
  bool close();
  // Waits up to `timeout_ms` for the converter's process to end; its exit
  // code in `exit_code`.
  bool wait_exit(DWORD timeout_ms, DWORD* exit_code);

 private:
  void release();
  HWND window_ = nullptr;
  HWND status_bar_ = nullptr;
  DWORD process_id_ = 0;
  HANDLE process_ = nullptr;
  void* remote_buffer_ = nullptr;
};

// UTF-16 text as UTF-8.
std::string utf8_from_wide(const WCHAR* wide);
// A window's caption in UTF-8, read as UTF-16 whatever the code pages.
std::string window_caption(HWND window);
