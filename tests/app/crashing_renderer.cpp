// A renderer that crashes on every file whose name holds "crash" and hands
// any other file to the real renderer, found beside it as amiga_real.exe:
// a batch with it shows what one crash costs.
#include <windows.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc == 3 && strstr(argv[2], "crash")) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  }
  char self[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string real(self, length);
  real = real.substr(0, real.find_last_of('\\') + 1) + "amiga_real.exe";
  std::string line = "\"" + real + "\"";
  for (int i = 1; i < argc; ++i) line += std::string(" \"") + argv[i] + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
