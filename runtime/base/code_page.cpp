#include "runtime/base/code_page.h"

#include <cstring>

// UTF-8 takes no best-fit flag and no default character (the call fails
// with them), and none is needed: only a lone surrogate has no UTF-8 form,
// and WC_ERR_INVALID_CHARS refuses it instead of writing U+FFFD.
int32_t ansi_from_wide(const WCHAR* wide, int32_t length, char* out, int32_t room) {
  if (length <= 0) return 0;
  if (out && room <= 0) return -1;
  const UINT code_page = GetACP();
  BOOL used_default = FALSE;
  int written;
  if (code_page == CP_UTF8) {
    written = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, length, out, out ? room : 0, nullptr, nullptr);
  } else {
    written = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide, length, out, out ? room : 0, nullptr,
                                  &used_default);
  }
  return written > 0 && !used_default ? written : -1;
}

int32_t wide_from_ansi(const char* ansi, WCHAR* out, int32_t room) {
  if (room <= 0) return -1;
  if (!ansi || !ansi[0]) {
    out[0] = L'\0';
    return 0;
  }
  int written = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, out, room);
  return written > 0 ? written - 1 : -1;
}

int32_t ansi_units(const char* ansi, int32_t length) {
  return length > 0 ? MultiByteToWideChar(CP_ACP, 0, ansi, length, nullptr, 0) : 0;
}

void ansi_from_utf8(const char* utf8, char* out, int32_t room) {
  if (room <= 0) return;
  if (GetACP() == CP_UTF8) {
    lstrcpynA(out, utf8, room);
    return;
  }
  out[0] = '\0';
  WCHAR wide[256];
  int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 256);
  if (units <= 0) return;
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, units, out, room, "?", nullptr) <= 0) out[0] = '\0';
}
