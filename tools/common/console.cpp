#include "tools/common/console.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tools {

void connect_error_output() {
#ifdef _WIN32
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
      FILE* ignored = nullptr;
      ignored = std::freopen("CONOUT$", "w", stderr);
      ignored = std::freopen("CONOUT$", "w", stdout);
      (void)ignored;
    }
  }
#endif
  std::setvbuf(stderr, nullptr, _IONBF, 0);
}

void report(const char* program, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", program, text.c_str());
}

}  // namespace tools
