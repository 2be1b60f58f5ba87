// A renderer in front of the real one, found beside it as amiga_real.exe,
// for batches whose timing or failures a test must control:
//   a file whose name holds "crash"  crashes the renderer (what one crash costs)
//   a file whose name holds "hold"   waits until a file "release" appears in
//                                    the current folder (at most five minutes),
//                                    so that the test can act while the batch
//                                    surely stands at this file
// Any other file, and a held one once released, goes to the real renderer.
#include <windows.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc == 3 && strstr(argv[2], "crash")) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  }
  if (argc == 3 && strstr(argv[2], "hold")) {
    for (int waited = 0; waited < 5 * 60 * 1000 && GetFileAttributesA("release") == INVALID_FILE_ATTRIBUTES;
         waited += 50)
      Sleep(50);
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
