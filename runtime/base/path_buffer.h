// Paths go to the platform through a buffer of its 260-character limit.
#pragma once

#include <windows.h>
#include <cstring>

constexpr size_t PATH_LIMIT = MAX_PATH - 1;  // characters, the terminator aside

// Copies `path` into `buffer` (PATH_LIMIT + 1 bytes); false, with nothing
// copied, when it does not fit.
inline bool copy_path(char* buffer, const char* path) {
  size_t length = strlen(path);
  if (length > PATH_LIMIT) return false;
  memcpy(buffer, path, length + 1);
  return true;
}
