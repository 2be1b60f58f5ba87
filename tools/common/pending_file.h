// Output that appears under its final name only when complete: the data goes
// to a temporary file beside the target, which `commit` moves into place.
// An uncommitted temporary is removed when the object goes away, and also
// when the process dies of a crash (see install_crash_cleanup).
#pragma once

#include <cstdio>
#include <string>

namespace tools {

class PendingFile {
 public:
  explicit PendingFile(std::string final_path);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Creates the temporary file (never an existing one); false with a reason.
  bool open(std::string* error);
  // The open temporary file, read and write, binary; null before open.
  FILE* stream() { return stream_; }
  // Closes the temporary and moves it over the final path, replacing an
  // existing file there; false with a reason, the temporary then removed.
  bool commit(std::string* error);
  // Closes and removes the temporary; the final path is left untouched.
  void discard();

  const std::string& temp_path() const { return temp_path_; }

 private:
  std::string final_path_;
  std::string temp_path_;
  FILE* stream_ = nullptr;
  int slot_ = -1;
};

// From here on a crash (access violation, abort, an unhandled exception)
// removes the temporaries still pending, prints "<program>: <message>" to
// stderr and ends the process with exit code 1.
void install_crash_cleanup(const char* program, const char* message);

// Removes the temporaries still pending; safe to call from a watchdog or a
// crash handler. Does not end the process.
void remove_pending_files();

}  // namespace tools
