// Ids and handles in names ("WindowClass_<id>", "XR_GadgetStack_<instance>"):
// signed decimal at full pointer width, so that addresses above 4 GB on
// x86_64 still give distinct names.
#pragma once

#include <windows.h>

// Writes `prefix` and then v in signed decimal to out (at least 64 bytes
// with the prefix); returns out.
inline char* name_with_id(char* out, const char* prefix, INT_PTR v) {
  char* p = out;
  while (*prefix) *p++ = *prefix++;
  unsigned long long magnitude = v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  if (v < 0) *p++ = '-';
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  while (n) *p++ = digits[--n];
  *p = '\0';
  return out;
}
