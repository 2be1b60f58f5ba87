// The input requester: a small modal window that asks for one line of text
// (a caption, a one-line label, an edit field with a default text and an
// "OK" button). Enter or the button accepts, Escape or the close command
// cancels. While it is open the calling thread's other windows and the
// process's foreground window are disabled. GUI thread only; one requester
// at a time in the process.
#pragma once

#include <windows.h>
#include <cstdint>

// Identifiers of the requester's controls and of its accelerator commands.
constexpr int REQUESTER_EDIT_ID = 10;
constexpr WORD REQUESTER_ACCEPT_COMMAND = 1000;  // also the "OK" button's id
constexpr WORD REQUESTER_CANCEL_COMMAND = 1001;

// InitCommonControls, then CoInitialize on the calling (start-up) thread.
// Once, at start-up, after program_runner_init.
void requester_library_init();

// Shows the requester (null texts read as empty ones; they may lie in the
// string workspace) and waits in a message loop of its own until it is
// closed. Writes the entered text at `result_offset` of the calling
// thread's workspace, the empty text when cancelled, when the window cannot
// be made or when a requester is already open, and leaves the position just
// behind it; returns where the text begins.
//
// A quit message that arrives meanwhile closes the requester (the empty
// text) and is posted again with its exit code for the caller's own loop.
char* input_requester(const char* title, const char* message, const char* default_text,
                      int32_t result_offset);

// Disables every visible, enabled top-level window of the calling thread
// except the foreground window, and remembers each one for this thread.
void disable_thread_windows();

// Enables again what disable_thread_windows disabled on the calling thread;
// what other threads disabled stays as it is.
void enable_thread_windows();

// The foreground window when it belongs to this process, else null.
HWND process_foreground_window();
