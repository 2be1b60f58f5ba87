#include "runtime/base/program_runner.h"

#include <shellapi.h>

#include <cstring>

#include "runtime/window/object_list.h"
#include "runtime/window/runtime_heap.h"

static CRITICAL_SECTION g_program_list_lock;
static ObjectListNode* g_program_list = nullptr;

void program_runner_init() { InitializeCriticalSection(&g_program_list_lock); }

void make_handle_private(HANDLE* handle) {
  HANDLE duplicate;
  if (DuplicateHandle(GetCurrentProcess(), *handle, GetCurrentProcess(), &duplicate, 0, FALSE,
                      DUPLICATE_SAME_ACCESS)) {
    CloseHandle(*handle);
    *handle = duplicate;
  }
}

static void close_if_set(HANDLE* handle) {
  if (*handle) CloseHandle(*handle);
  *handle = nullptr;
}

// The two ends of the pipes; the child's ends are inheritable, ours private.
struct Pipes {
  HANDLE child_stdin, our_stdin;
  HANDLE child_stdout, our_stdout;
  HANDLE child_stderr, our_stderr;
  void close_child_ends() {
    close_if_set(&child_stdin);
    close_if_set(&child_stdout);
    close_if_set(&child_stderr);
  }
  void close_all() {
    close_child_ends();
    close_if_set(&our_stdin);
    close_if_set(&our_stdout);
    close_if_set(&our_stderr);
  }
};

static bool make_pipe(SECURITY_ATTRIBUTES* inheritable, HANDLE* read, HANDLE* write) {
  if (!CreatePipe(read, write, inheritable, 0)) {
    *read = *write = nullptr;
    return false;
  }
  return true;
}

static char* build_command_line(const char* program, const char* parameters) {
  size_t program_length = strlen(program), parameters_length = strlen(parameters);
  char* line = static_cast<char*>(runtime_alloc(program_length + parameters_length + 4));
  if (!line) return nullptr;
  char* out = line;
  if (program[0] == '"') {
    memcpy(out, program, program_length);
    out += program_length;
  } else {
    *out++ = '"';
    memcpy(out, program, program_length);
    out += program_length;
    *out++ = '"';
  }
  if (parameters_length) {
    *out++ = ' ';
    memcpy(out, parameters, parameters_length);
    out += parameters_length;
  }
  *out = '\0';
  return line;
}

static INT_PTR keep_object(HANDLE process, int32_t process_id, Pipes* pipes) {
  EnterCriticalSection(&g_program_list_lock);
  auto* object = static_cast<ProgramObject*>(list_insert(&g_program_list, OBJECT_LIST_HEADER + sizeof(ProgramObject)));
  LeaveCriticalSection(&g_program_list_lock);
  if (!object) return 1;  // started, but nothing to keep it in
  object->process = process;
  object->process_id = process_id;
  object->stdin_write = pipes->our_stdin;
  object->stdout_read = pipes->our_stdout;
  object->stderr_read = pipes->our_stderr;
  return reinterpret_cast<INT_PTR>(object);
}

// The shell's default verb, for targets CreateProcessA cannot start.
static INT_PTR shell_execute(const char* program, const char* parameters, const char* directory, int32_t flags,
                             int show) {
  char folder[MAX_PATH] = "";
  const char* last_backslash = strrchr(program, '\\');
  if (!directory && last_backslash && last_backslash > program &&
      static_cast<size_t>(last_backslash - program + 1) < sizeof folder) {
    memcpy(folder, program, last_backslash - program + 1);
    folder[last_backslash - program + 1] = '\0';
    directory = folder;
  }
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  // No error box: the system shows no messages, and a box would hold the
  // calling thread until somebody answers it.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = nullptr;
  info.lpFile = program;
  info.lpParameters = parameters[0] ? parameters : nullptr;
  info.lpDirectory = directory;
  info.nShow = show;
  if (!ShellExecuteExA(&info)) return 0;
  if (flags & RUN_WAIT_END && info.hProcess) WaitForSingleObject(info.hProcess, INFINITE);
  if (flags & RUN_KEEP_OBJECT) {
    Pipes none = {};
    INT_PTR object = keep_object(info.hProcess, -1, &none);
    if (object == 1 && info.hProcess) CloseHandle(info.hProcess);
    return object;
  }
  if (info.hProcess) CloseHandle(info.hProcess);
  return 1;
}

INT_PTR run_program(const char* program, const char* parameters, const char* directory, int32_t flags,
                    ProgramObject* sender) {
  if (!program) program = "";
  if (!parameters) parameters = "";
  if (directory && !directory[0]) directory = nullptr;

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  PROCESS_INFORMATION process = {};
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  Pipes pipes = {};
  BOOL inherit = FALSE;
  DWORD creation = NORMAL_PRIORITY_CLASS;
  bool hidden = flags & RUN_HIDDEN;
  startup.wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;
  if (hidden) creation |= DETACHED_PROCESS;

  bool redirected = false;
  if ((flags & RUN_STDIN_FROM_PROGRAM) && sender && sender->stdout_read) {
    // The sender's end was made private; the child gets an inheritable
    // duplicate of it, closed here once the child holds its own.
    if (DuplicateHandle(GetCurrentProcess(), sender->stdout_read, GetCurrentProcess(), &pipes.child_stdin, 0,
                        TRUE, DUPLICATE_SAME_ACCESS))
      redirected = true;
  } else if ((flags & RUN_KEEP_OBJECT) && (flags & RUN_PIPE_STDIN)) {
    if (make_pipe(&inheritable, &pipes.child_stdin, &pipes.our_stdin)) {
      make_handle_private(&pipes.our_stdin);
      redirected = true;
    }
  }
  if ((flags & RUN_KEEP_OBJECT) && (flags & RUN_PIPE_STDOUT) &&
      make_pipe(&inheritable, &pipes.our_stdout, &pipes.child_stdout)) {
    make_handle_private(&pipes.our_stdout);
    redirected = true;
  }
  if ((flags & RUN_KEEP_OBJECT) && (flags & RUN_PIPE_STDERR) &&
      make_pipe(&inheritable, &pipes.our_stderr, &pipes.child_stderr)) {
    make_handle_private(&pipes.our_stderr);
    redirected = true;
  }
  if (redirected) {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    inherit = TRUE;
    creation &= ~DETACHED_PROCESS;
    startup.hStdInput = pipes.child_stdin ? pipes.child_stdin : GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = pipes.child_stdout ? pipes.child_stdout : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = pipes.child_stderr ? pipes.child_stderr : GetStdHandle(STD_ERROR_HANDLE);
  }

  char* command_line = build_command_line(program, parameters);
  if (!command_line) {
    pipes.close_all();
    return 0;
  }
  INT_PTR result = 0;
  if (CreateProcessA(nullptr, command_line, nullptr, nullptr, inherit, creation, nullptr, directory, &startup,
                     &process)) {
    pipes.close_child_ends();
    CloseHandle(process.hThread);
    if (flags & RUN_WAIT_END) WaitForSingleObject(process.hProcess, INFINITE);
    if (flags & RUN_KEEP_OBJECT) {
      result = keep_object(process.hProcess, static_cast<int32_t>(process.dwProcessId), &pipes);
      if (result == 1) CloseHandle(process.hProcess);
    } else {
      CloseHandle(process.hProcess);
      result = 1;
    }
  } else {
    pipes.close_all();
    constexpr int32_t REDIRECTIONS = RUN_PIPE_STDOUT | RUN_PIPE_STDIN | RUN_PIPE_STDERR | RUN_STDIN_FROM_PROGRAM;
    if (!(flags & REDIRECTIONS)) result = shell_execute(program, parameters, directory, flags, startup.wShowWindow);
  }
  runtime_free(command_line);
  return result;
}

int32_t wait_program(INT_PTR object, DWORD milliseconds) {
  if (!object || object == 1) return 0;
  auto* program = reinterpret_cast<ProgramObject*>(object);
  return WaitForSingleObject(program->process, milliseconds) == WAIT_OBJECT_0 ? 1 : 0;
}

int32_t wait_program_end(INT_PTR object) { return wait_program(object, INFINITE); }

void release_program(INT_PTR object) {
  if (!object || object == 1) return;
  auto* program = reinterpret_cast<ProgramObject*>(object);
  close_if_set(&program->process);
  close_if_set(&program->stdin_write);
  close_if_set(&program->stdout_read);
  close_if_set(&program->stderr_read);
  EnterCriticalSection(&g_program_list_lock);
  list_remove(&g_program_list, program);
  LeaveCriticalSection(&g_program_list_lock);
}
