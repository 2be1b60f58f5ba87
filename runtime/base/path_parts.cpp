#include "runtime/base/path_parts.h"

#include "runtime/base/string_functions.h"
#include "runtime/base/string_workspace.h"

static char* empty_at(int32_t p) {
  workspace_truncate(p);
  return workspace_pointer(p);
}

static int32_t span_to_quote(const char* start) {
  int32_t n = 0;
  while (start[n] && start[n] != '"') n++;
  return n;
}

char* path_extension(const char* path, int32_t p) {
  if (!path) return empty_at(p);
  int32_t length = text_length(path);
  for (int32_t i = length - 1; i >= 0; i--) {
    char c = path[i];
    if (c == '/' || c == '\\') break;
    if (c == '.') {
      const char* start = path + i + 1;
      // left_chars holds a workspace source by its mark while it grows.
      return left_chars(start, span_to_quote(start), p);
    }
  }
  return empty_at(p);
}

char* path_file_part(const char* path, int32_t p) {
  if (!path) return empty_at(p);
  const char* start = path[0] == '"' ? path + 1 : path;
  for (const char* s = start; *s; s++)
    if (*s == '/' || *s == '\\') start = s + 1;
  return left_chars(start, span_to_quote(start), p);
}
