#include "tools/common/pending_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tools {
namespace {

// Paths live in fixed storage so that a crash handler can reach them
// without touching the heap.
constexpr int kSlots = 4;
constexpr size_t kBufferBytes = 1 << 16;
constexpr size_t kPathMax = 4096;
char g_pending[kSlots][kPathMax];
std::atomic<bool> g_used[kSlots];
const char* g_program = "tool";
const char* g_crash_message = "crashed";

int claim_slot(const std::string& path) {
  if (path.size() >= kPathMax) return -1;
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (g_used[i].compare_exchange_strong(expected, true)) {
      std::memcpy(g_pending[i], path.c_str(), path.size() + 1);
      return i;
    }
  }
  return -1;
}

void release_slot(int slot) {
  if (slot >= 0) g_used[slot] = false;
}

int current_process_id() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

bool move_replacing(const std::string& from, const std::string& to) {
#ifdef _WIN32
  // rename() on Windows refuses to replace an existing file.
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

void write_error(const char* text) {
#ifdef _WIN32
  _write(2, text, static_cast<unsigned>(std::strlen(text)));
#else
  ssize_t ignored = write(2, text, std::strlen(text));
  (void)ignored;
#endif
}

[[noreturn]] void die_of_crash() {
  remove_pending_files();
  write_error(g_program);
  write_error(": ");
  write_error(g_crash_message);
  write_error("\n");
  _exit(1);
}

void on_signal(int) { die_of_crash(); }

// A new file, never an existing one, open for reading and writing; -1 with
// an errno value in `reason`.
int create_new(const std::string& path, int* reason) {
#ifdef _WIN32
  // Shared for deletion: a watchdog or a crash handler removes the file
  // while another thread still writes it, and Windows refuses to delete a
  // file opened without that share mode. The name goes when the process
  // ends and its handle closes.
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    switch (GetLastError()) {
      case ERROR_FILE_EXISTS:
      case ERROR_ALREADY_EXISTS: *reason = EEXIST; break;
      case ERROR_PATH_NOT_FOUND:
      case ERROR_FILE_NOT_FOUND: *reason = ENOENT; break;
      case ERROR_ACCESS_DENIED: *reason = EACCES; break;
      case ERROR_DISK_FULL: *reason = ENOSPC; break;
      default: *reason = EIO; break;
    }
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    *reason = errno;
    CloseHandle(handle);
    DeleteFileA(path.c_str());
  }
  return fd;
#else
  const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_RDWR, 0644);
  if (fd < 0) *reason = errno;
  return fd;
#endif
}

#ifdef _WIN32
LONG WINAPI on_unhandled_exception(EXCEPTION_POINTERS*) { die_of_crash(); }
#endif

}  // namespace

PendingFile::PendingFile(std::string final_path) : final_path_(std::move(final_path)) {}

PendingFile::~PendingFile() { discard(); }

bool PendingFile::open(std::string* error) {
  discard();
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_path_ = final_path_ + ".part" + std::to_string(current_process_id()) +
                 (attempt ? "-" + std::to_string(attempt) : std::string());
    slot_ = claim_slot(temp_path_);
    int reason = 0;
    const int fd = create_new(temp_path_, &reason);
    if (fd >= 0) {
#ifdef _WIN32
      stream_ = _fdopen(fd, "w+b");
#else
      stream_ = fdopen(fd, "w+b");
#endif
      if (stream_) {
        // Large blocks: a WAV is written 4 KB at a time, and under Wine
        // each of the C library's small writes is a costly system call.
        std::setvbuf(stream_, nullptr, _IOFBF, kBufferBytes);
        return true;
      }
      break;
    }
    release_slot(slot_);
    slot_ = -1;
    if (reason != EEXIST) {
      *error = "cannot create " + temp_path_ + ": " + std::strerror(reason);
      temp_path_.clear();
      return false;
    }
  }
  *error = "cannot create a temporary file beside " + final_path_;
  discard();
  return false;
}

bool PendingFile::commit(std::string* error) {
  if (!stream_) {
    *error = "nothing to write to " + final_path_;
    return false;
  }
  const bool flushed = std::fflush(stream_) == 0 && !std::ferror(stream_);
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  if (!flushed || !closed) {
    *error = "cannot write " + temp_path_;
    discard();
    return false;
  }
  if (!move_replacing(temp_path_, final_path_)) {
    *error = "cannot move " + temp_path_ + " to " + final_path_;
    discard();
    return false;
  }
  release_slot(slot_);
  slot_ = -1;
  temp_path_.clear();
  return true;
}

void PendingFile::discard() {
  if (stream_) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (!temp_path_.empty()) {
    std::remove(temp_path_.c_str());
    temp_path_.clear();
  }
  release_slot(slot_);
  slot_ = -1;
}

void remove_pending_files() {
  for (int i = 0; i < kSlots; ++i) {
    if (g_used[i]) {
#ifdef _WIN32
      DeleteFileA(g_pending[i]);
#else
      unlink(g_pending[i]);
#endif
    }
  }
}

void install_crash_cleanup(const char* program, const char* message) {
  g_program = program;
  g_crash_message = message;
  std::signal(SIGSEGV, on_signal);
  std::signal(SIGFPE, on_signal);
  std::signal(SIGILL, on_signal);
  std::signal(SIGABRT, on_signal);
#ifdef SIGBUS
  std::signal(SIGBUS, on_signal);
#endif
#ifdef _WIN32
  SetUnhandledExceptionFilter(on_unhandled_exception);
  // No "program has stopped working" dialog for a hidden tool.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
#endif
  std::set_terminate([] { die_of_crash(); });
}

}  // namespace tools
