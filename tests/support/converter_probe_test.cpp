// The probe against a stand-in window of the converter's shape: what it
// prints of the status fields, its waits and their time-outs, the window's
// rectangles and the close. The probe runs as its own process, as the demo
// and the benchmarks run it, so the texts cross a process boundary both
// ways. Each stand-in has a title of its own: a converter started by
// another test program at the same time must not be the one found.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string folder_of_this_program() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text(path, length);
  return text.substr(0, text.find_last_of('\\') + 1);
}

struct ProbeRun {
  int exit_code = -1;
  std::string output;  // stdout and stderr together
};

ProbeRun run_probe(const std::string& arguments) {
  ProbeRun run;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read_end, write_end;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return run;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  std::string line = "\"" + folder_of_this_program() + "converter_probe.exe\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(write_end);
  if (started) {
    char buffer[4096];
    DWORD got;
    while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    run.exit_code = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(read_end);
  return run;
}

std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line.substr(prefix.size()));
    at = end + 1;
  }
  return found;
}

class ConverterProbe : public ::testing::Test {
 protected:
  void TearDown() override {
    if (standin_.hProcess) {
      TerminateProcess(standin_.hProcess, 1);
      WaitForSingleObject(standin_.hProcess, 5000);
      CloseHandle(standin_.hProcess);
      CloseHandle(standin_.hThread);
    }
  }

  // Starts the stand-in window and waits until its window is there.
  void start_standin(const std::string& batch = "") {
    title_ = " quarvo converter probe test " + std::to_string(GetCurrentProcessId()) + "." +
             std::to_string(++started_);
    std::string line = "\"" + folder_of_this_program() + "converter_standin_window.exe\" \"" + title_ + "\" " + batch;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &standin_));
    DWORD start = GetTickCount();
    while (!(window_ = FindWindowA(nullptr, title_.c_str()))) {
      ASSERT_LT(GetTickCount() - start, 20000u) << "the stand-in window did not appear";
      Sleep(20);
    }
  }

  ProbeRun probe(const std::string& commands) { return run_probe("--title \"" + title_ + "\" " + commands); }

  PROCESS_INFORMATION standin_ = {};
  std::string title_;
  HWND window_ = nullptr;
  int started_ = 0;
};

TEST_F(ConverterProbe, PrintsTheStatusFieldsInUtf8AndTheWindowsPlaces) {
  start_standin();
  ProbeRun run = probe("wait-window fields rect pid");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(lines_starting(run.output, "field 0: "), std::vector<std::string>{"128 kbit"});
  EXPECT_EQ(lines_starting(run.output, "field 1: "),
            std::vector<std::string>{"\xD0\xA2\xD0\xB0\xD1\x89\xD0\xB8 \xD1\x81\xD1\x8E\xD0\xB4\xD0\xB0!"});
  EXPECT_EQ(lines_starting(run.output, "field 2: "), std::vector<std::string>{"0/0"});
  EXPECT_EQ(lines_starting(run.output, "pid "), std::vector<std::string>{std::to_string(standin_.dwProcessId)});

  RECT outer, inner;
  GetWindowRect(window_, &outer);
  GetClientRect(window_, &inner);
  MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&inner), 2);
  char expected[128];
  snprintf(expected, sizeof expected, "%ld %ld %ld %ld", outer.left, outer.top, outer.right, outer.bottom);
  EXPECT_EQ(lines_starting(run.output, "window "), std::vector<std::string>{expected});
  snprintf(expected, sizeof expected, "%ld %ld %ld %ld", inner.left, inner.top, inner.right, inner.bottom);
  EXPECT_EQ(lines_starting(run.output, "client "), std::vector<std::string>{expected});
  std::vector<std::string> bar = lines_starting(run.output, "statusbar ");
  ASSERT_EQ(bar.size(), 1u);
  long left, top, right, bottom;
  ASSERT_EQ(sscanf(bar[0].c_str(), "%ld %ld %ld %ld", &left, &top, &right, &bottom), 4);
  // The bar lies along the bottom of the client area, across its width.
  EXPECT_EQ(left, inner.left);
  EXPECT_EQ(right, inner.right);
  EXPECT_EQ(bottom, inner.bottom);
  EXPECT_GT(top, inner.top);
}

TEST_F(ConverterProbe, WaitsThroughABatchSeeingEveryCounterAndTheBusyIndicator) {
  start_standin("4 400");
  ProbeRun run = probe("-v wait-busy watch 0.5 wait-done 4");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  std::vector<std::string> counters = lines_starting(run.output, "field 2: ");
  // The stand-in counts batch after batch; wait-done sees the rest of the
  // one that the watch ended in, or the next one, but only rising counts.
  ASSERT_FALSE(counters.empty()) << run.output;
  EXPECT_EQ(counters.back(), "4/4");
  for (size_t i = 1; i < counters.size(); ++i) EXPECT_EQ(counters[i][0], counters[i - 1][0] + 1) << run.output;
  EXPECT_EQ(lines_starting(run.output, "done ").size(), 1u);
  ASSERT_EQ(lines_starting(run.output, "busy at ").size(), 1u);
  ProbeRun any = probe("wait-busy wait-done any");
  ASSERT_EQ(any.exit_code, 0) << any.output;
  std::vector<std::string> done = lines_starting(any.output, "done ");
  ASSERT_EQ(done.size(), 1u) << any.output;
  EXPECT_EQ(done[0].compare(0, 4, "4/4 "), 0) << done[0];

  std::vector<std::string> watched = lines_starting(run.output, "busy indicator: ");
  ASSERT_EQ(watched.size(), 1u);
  int changes = 0, shown = 0, samples = 0;
  ASSERT_EQ(sscanf(watched[0].c_str(), "%d changes in %*f s, %*f per second (%d of %d", &changes, &shown, &samples),
            3)
      << watched[0];
  EXPECT_GT(changes, 0);
  EXPECT_GT(shown, changes);
  EXPECT_LE(shown, samples);
}

TEST_F(ConverterProbe, WatchReadsAnIndicatorDrawnIntoTheFieldFromTheScreen) {
  start_standin("3 1000 drawn");
  ProbeRun run = probe("wait-busy watch 1.5");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  std::vector<std::string> control = lines_starting(run.output, "busy indicator: ");
  ASSERT_EQ(control.size(), 1u);
  EXPECT_EQ(control[0].compare(0, 10, "0 changes "), 0) << control[0];
  std::vector<std::string> drawn = lines_starting(run.output, "busy indicator drawn by the status bar: about ");
  ASSERT_EQ(drawn.size(), 1u) << run.output;
  double rate = 0;
  ASSERT_EQ(sscanf(drawn[0].c_str(), "%lf", &rate), 1) << drawn[0];
  // The stand-in moves its indicator on a 50 ms timer: no faster than 20
  // values a second (a pixel's worth of slack), and it does move.
  EXPECT_GT(rate, 1.0) << drawn[0];
  EXPECT_LT(rate, 23.0) << drawn[0];
}

TEST_F(ConverterProbe, ReportsMemoryAndWaitsForAGivenText) {
  start_standin("4 300");
  ProbeRun run = probe("wait-text 2 3/4 memory");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(lines_starting(run.output, "field 2 read 3/4 at ").size(), 1u) << run.output;
  std::vector<std::string> memory = lines_starting(run.output, "memory working set ");
  ASSERT_EQ(memory.size(), 1u) << run.output;
  unsigned long now = 0, peak = 0;
  ASSERT_EQ(sscanf(memory[0].c_str(), "%lu KiB, peak %lu KiB", &now, &peak), 2) << memory[0];
  EXPECT_GT(now, 100ul);
  EXPECT_GE(peak, now);
  ProbeRun idle = probe("--timeout 0.3 wait-text 1 \"\xD0\xBD\xD0\xB5\xD1\x82\"");
  EXPECT_EQ(idle.exit_code, 1) << idle.output;
}

TEST_F(ConverterProbe, WatchCountsNoChangeWhileIdle) {
  start_standin();
  ProbeRun run = probe("watch 0.3");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  std::vector<std::string> watched = lines_starting(run.output, "busy indicator: ");
  ASSERT_EQ(watched.size(), 1u);
  EXPECT_EQ(watched[0].compare(0, 10, "0 changes "), 0) << watched[0];
  EXPECT_NE(watched[0].find("(0 of "), std::string::npos) << watched[0];
}

TEST_F(ConverterProbe, WaitsEndWithExitCodeOneAtTheirTimeOut) {
  start_standin();
  ProbeRun done = probe("--timeout 0.5 wait-done 3");
  EXPECT_EQ(done.exit_code, 1) << done.output;
  EXPECT_NE(done.output.find("field 2 reads 0/0"), std::string::npos) << done.output;
  // Idle "0/0" is not the end of a batch of none either: it needs the count.
  ProbeRun busy = probe("--timeout 0.5 wait-busy");
  EXPECT_EQ(busy.exit_code, 1) << busy.output;
  ProbeRun any = probe("--timeout 0.5 wait-done any");
  EXPECT_EQ(any.exit_code, 1) << any.output;
}

TEST_F(ConverterProbe, CloseEndsTheProcessAndReportsItsExitCode) {
  start_standin();
  ProbeRun run = probe("close");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(lines_starting(run.output, "exit code 0 after ").size(), 1u) << run.output;
  EXPECT_EQ(WaitForSingleObject(standin_.hProcess, 0), WAIT_OBJECT_0);
  EXPECT_FALSE(IsWindow(window_));
}

TEST_F(ConverterProbe, FindsNoWindowOfAnotherTitleAndRefusesUnknownCommands) {
  start_standin();
  ProbeRun missing = run_probe("--title \"no such window here\" fields");
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.output.find("no window titled"), std::string::npos) << missing.output;
  ProbeRun wrong = probe("fields jump");
  EXPECT_EQ(wrong.exit_code, 2) << wrong.output;
  ProbeRun bare = run_probe("");
  EXPECT_EQ(bare.exit_code, 2) << bare.output;
}

}  // namespace
