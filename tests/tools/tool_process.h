// Runs one of the built tools as a child process, as the converter does,
// with its stderr captured.
#pragma once

#include <string>
#include <vector>

namespace tools_test {

struct ToolRun {
  int exit_code = -1;
  std::string error_output;
};

// Runs `program` with `args` in `directory`; waits for it.
ToolRun run_tool(const std::string& program, const std::vector<std::string>& args, const std::string& directory);

// A path that the test program's own platform opens: under Windows, the
// build system's Unix paths go through Wine's Z: drive.
std::string native_path(const std::string& path);

}  // namespace tools_test
