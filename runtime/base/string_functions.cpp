#include "runtime/base/string_functions.h"

#include <cstring>

#include "runtime/base/string_workspace.h"

// Copies n bytes of `source` to offset p and terminates them. The source
// may lie in the workspace: it is held by its mark while the workspace grows.
static char* copy_to_workspace(const char* source, int32_t n, int32_t p) {
  int32_t mark = workspace_offset_of(source);
  char* dest = workspace_reserve(n, p);
  if (mark) source = workspace_pointer_from_mark(mark);
  // Either the source ends before p or it starts at or after p: a forward
  // copy is right in both cases, and memmove is too.
  memmove(dest, source, n);
  dest[n] = '\0';
  return dest;
}

bool strings_equal(const char* a, const char* b) {
  if (!a) a = "";
  if (!b) b = "";
  return strcmp(a, b) == 0;
}

int32_t text_length(const char* text) { return text ? static_cast<int32_t>(strlen(text)) : 0; }

char* int_to_text(int64_t v, int32_t p) {
  if (v >= INT32_MIN && v <= INT32_MAX) {
    char* out = workspace_reserve(32, p);
    int32_t length = 0;
    if (v == 0) {
      out[length++] = '0';
    } else if (v == INT32_MIN) {
      // Its negation does not fit in 32 bits.
      static const char digits[] = "-2147483648";
      memcpy(out, digits, sizeof digits - 1);
      length = sizeof digits - 1;
    } else {
      int32_t value = static_cast<int32_t>(v);
      if (value < 0) {
        out[length++] = '-';
        value = -value;
      }
      char reversed[16];
      int32_t count = 0;
      while (value > 0) {
        reversed[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
      }
      while (count > 0) out[length++] = reversed[--count];
    }
    out[length] = '\0';
    workspace_give_back(32 - length);
    return out;
  }
  char* out = workspace_reserve(64, p);
  int32_t length = 0;
  uint64_t magnitude = static_cast<uint64_t>(v);
  if (v < 0) {
    out[length++] = '-';
    magnitude = ~magnitude + 1;  // two's complement, right for INT64_MIN too
  }
  int32_t first_digit = length;
  do {
    out[length++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  for (int32_t i = first_digit, j = length - 1; i < j; i++, j--) {
    char t = out[i];
    out[i] = out[j];
    out[j] = t;
  }
  out[length] = '\0';
  workspace_give_back(64 - length);
  return out;
}

static int digit_value(char c, int base) {
  int d;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  else return -1;
  return d < base ? d : -1;
}

int64_t text_to_int(const char* text) {
  if (!text) return 0;
  const char* s = text;
  while (*s == ' ' || *s == '\t') s++;
  bool negative = false;
  if (*s == '-') {
    negative = true;
    s++;
  } else if (*s == '+') {
    s++;
  }
  int base = 10;
  if (*s == '$') {
    base = 16;
    s++;
  } else if (*s == '%') {
    base = 2;
    s++;
  }
  // Unsigned arithmetic: overflow wraps instead of being undefined.
  uint64_t value = 0;
  for (int d; (d = digit_value(*s, base)) >= 0; s++) value = value * base + d;
  if (negative) value = ~value + 1;
  return static_cast<int64_t>(value);
}

static int32_t clamp_count(int32_t n, int32_t length) {
  if (n < 0) return 0;
  return n > length ? length : n;
}

char* left_chars(const char* text, int32_t n, int32_t p) {
  if (!text) text = "";
  return copy_to_workspace(text, clamp_count(n, text_length(text)), p);
}

char* right_chars(const char* text, int32_t n, int32_t p) {
  if (!text) text = "";
  int32_t length = text_length(text);
  n = clamp_count(n, length);
  return copy_to_workspace(text + length - n, n, p);
}

int32_t count_string(const char* text, const char* pattern) {
  if (!text || !pattern || !*pattern) return 0;
  size_t pattern_length = strlen(pattern);
  int32_t count = 0;
  for (const char* s = text; *s;) {
    if (strncmp(s, pattern, pattern_length) == 0) {
      count++;
      s += pattern_length;
    } else {
      s++;
    }
  }
  return count;
}

char* string_field(const char* text, int32_t index, const char* separator, int32_t p) {
  if (index < 1) {
    workspace_truncate(p);
    return workspace_pointer(p);
  }
  if (!text) text = "";
  char c = separator ? separator[0] : '\0';
  const char* field = text;
  int32_t count = 0;
  for (const char* s = text;; s++) {
    if (*s == c || *s == '\0') {
      if (++count == index) return copy_to_workspace(field, static_cast<int32_t>(s - field), p);
      if (*s == '\0') break;
      field = s + 1;
    }
  }
  workspace_truncate(p);
  return workspace_pointer(p);
}
