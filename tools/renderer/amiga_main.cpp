// amiga: renders one chip-music file to a WAV file in the current directory.
//   amiga /adp "<source>"
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "tools/common/console.h"
#include "tools/common/pending_file.h"
#include "tools/common/version.h"
#include "tools/renderer/render_job.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace {

const char kProgram[] = "amiga";

// A render that takes longer than this is stuck in an engine; the process
// cannot interrupt a library call, so the watchdog ends it.
constexpr long kWallClockMilliseconds = 120 * 1000;

// AMIGA_TIME_LIMIT_MS sets another limit, in milliseconds: for a slow
// machine that needs more, and for tests that cannot wait two minutes.
// Anything but a positive whole number keeps the default.
long wall_clock_limit_ms() {
  const char* text = std::getenv("AMIGA_TIME_LIMIT_MS");
  if (!text || *text == '\0') return kWallClockMilliseconds;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return *end == '\0' && value > 0 ? value : kWallClockMilliseconds;
}

void usage() {
  tools::report(kProgram, "renders a chip-music file to a WAV file in the current directory (version " TOOLS_VERSION ")");
  std::fprintf(stderr, "usage: %s /adp \"<source>\"\n", kProgram);
}

std::string seconds_text(long milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", milliseconds / 1000.0);
  return text;
}

class Watchdog {
 public:
  explicit Watchdog(long milliseconds)
      : thread_([this, milliseconds] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!done_condition_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return done_; })) {
            tools::remove_pending_files();
            tools::report(kProgram, "the render takes too long; stopped after " + seconds_text(milliseconds) + " s");
            _exit(1);
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    done_condition_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_condition_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
  tools::connect_error_output();
  if (argc != 3 || std::strcmp(argv[1], "/adp") != 0 || argv[2][0] == '\0') {
    usage();
    return 2;
  }
  tools::install_crash_cleanup(kProgram, "the engine crashed on this file; no WAV written");
  const std::string source = argv[2];
  std::string error;
  bool ok;
  {
    Watchdog watchdog(wall_clock_limit_ms());
    ok = tools::render_file(source, tools::wav_name_for(source), tools::RenderLimits(), &error);
  }
  if (!ok) {
    tools::report(kProgram, error);
    return 1;
  }
  return 0;
}
