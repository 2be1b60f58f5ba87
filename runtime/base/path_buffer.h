// Paths go to the platform's ANSI functions through a buffer of its
// 260-character limit, which it counts in UTF-16 units: in a UTF-8 ANSI
// code page a unit takes up to three bytes (code_page.h).
#pragma once

#include <windows.h>
#include <cstring>

#include "runtime/base/code_page.h"

constexpr size_t PATH_LIMIT = MAX_PATH - 1;  // UTF-16 units, the terminator aside
constexpr size_t PATH_BUFFER_BYTES = 3 * PATH_LIMIT + 1;

// Copies `path` into `buffer` (PATH_BUFFER_BYTES); false, with nothing
// copied, when it does not fit the limit.
inline bool copy_path(char* buffer, const char* path) {
  size_t length = strlen(path);
  // Every unit takes a byte at least: a short text needs no counting.
  if (length >= PATH_BUFFER_BYTES) return false;
  if (length > PATH_LIMIT && static_cast<size_t>(ansi_units(path, static_cast<int32_t>(length))) > PATH_LIMIT)
    return false;
  memcpy(buffer, path, length + 1);
  return true;
}
