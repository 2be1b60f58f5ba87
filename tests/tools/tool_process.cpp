#include "tests/tools/tool_process.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace tools_test {
namespace {

std::string read_and_remove(const std::string& path) {
  std::string text;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
  }
  std::remove(path.c_str());
  return text;
}

}  // namespace

std::string native_path(const std::string& path) {
#ifdef _WIN32
  if (!path.empty() && path[0] == '/') {
    std::string windows = "Z:" + path;
    for (char& c : windows) {
      if (c == '/') c = '\\';
    }
    return windows;
  }
#endif
  return path;
}

#ifdef _WIN32
ToolRun run_tool(const std::string& program, const std::vector<std::string>& args, const std::string& directory) {
  ToolRun run;
  const std::string log = directory + "\\tool-stderr.txt";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE error = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  std::string line = "\"" + program + "\"";
  for (const std::string& arg : args) line += " \"" + arg + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  // Hidden and with handles of its own, as the converter starts it.
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = error;
  startup.hStdError = error;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, directory.c_str(), &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    run.exit_code = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(error);
  run.error_output = read_and_remove(log);
  return run;
}
#else
ToolRun run_tool(const std::string& program, const std::vector<std::string>& args, const std::string& directory) {
  ToolRun run;
  const std::string log = directory + "/tool-stderr.txt";
  std::vector<std::string> storage = {program};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : storage) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 1);
    dup2(fd, 2);
    if (chdir(directory.c_str()) != 0) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child) {
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  run.error_output = read_and_remove(log);
  return run;
}
#endif

}  // namespace tools_test
