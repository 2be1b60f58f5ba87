// Starting external programs: hidden or shown, waited for or not, with
// anonymous pipes to the caller when asked. CreateProcessA first; when that
// fails and nothing is redirected, the shell's default verb
// (ShellExecuteExA), so that documents open too.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int32_t RUN_WAIT_END = 1;
constexpr int32_t RUN_HIDDEN = 2;
constexpr int32_t RUN_KEEP_OBJECT = 4;
constexpr int32_t RUN_PIPE_STDOUT = 8;
constexpr int32_t RUN_PIPE_STDIN = 16;
constexpr int32_t RUN_PIPE_STDERR = 32;
constexpr int32_t RUN_STDIN_FROM_PROGRAM = 64;

struct ProgramObject {
  HANDLE process;       // stays open while the object is kept
  int32_t process_id;   // -1 when the shell started it
  HANDLE stdin_write;   // the runner's pipe ends, or 0
  HANDLE stdout_read;
  HANDLE stderr_read;
};

// Initialises the program list's lock; once, before any run_program.
void program_runner_init();

// Runs `program` (quoted unless it already starts with a quote) with
// `parameters` after a blank, in `directory` (null or empty: the caller's).
// 0 when nothing could be started; 1 when started without RUN_KEEP_OBJECT;
// otherwise the kept ProgramObject. `sender` gives the standard input for
// RUN_STDIN_FROM_PROGRAM (its stdout pipe).
INT_PTR run_program(const char* program, const char* parameters, const char* directory, int32_t flags,
                    ProgramObject* sender = nullptr);

// 1 when the object's program ended within `milliseconds`, else 0; an
// object of 0 gives 0 at once.
int32_t wait_program(INT_PTR object, DWORD milliseconds);
int32_t wait_program_end(INT_PTR object);

// Replaces the handle by a non-inheritable duplicate and closes the old
// one; on failure the variable keeps its handle.
void make_handle_private(HANDLE* handle);

// Closes a kept object's handles and drops it from the program list.
void release_program(INT_PTR object);
