// A program for the runner's tests to start:
//   child_program record FILE   appends its command line and current folder to FILE
//   child_program echo          copies stdin to stdout, writes "err" to stderr
//   child_program sleep MS      sleeps
//   child_program exit CODE     exits with CODE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc >= 3 && strcmp(argv[1], "record") == 0) {
    FILE* out = fopen(argv[2], "ab");
    if (!out) return 3;
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    fprintf(out, "%s\n%s\n", GetCommandLineA(), folder);
    fclose(out);
    return 0;
  }
  if (argc >= 2 && strcmp(argv[1], "echo") == 0) {
    char buffer[4096];
    DWORD got, put;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
    while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got) WriteFile(out, buffer, got, &put, nullptr);
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), "err", 3, &put, nullptr);
    return 0;
  }
  if (argc >= 3 && strcmp(argv[1], "sleep") == 0) {
    Sleep(static_cast<DWORD>(atoi(argv[2])));
    return 0;
  }
  if (argc >= 3 && strcmp(argv[1], "exit") == 0) return atoi(argv[2]);
  return 2;
}
