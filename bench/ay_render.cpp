// How fast the AY engine renders, in multiples of real time, per format:
// register dumps made here (three minutes each, every generator busy) and
// every module of the real collection in ../shared/samples/ay.
//   bench_ay_render [<samples folder>]
// Each file goes through the renderer's own path (detection, parsing or
// the player's pass through the module, the length policy, the chip, the
// filters, fade and silence trimming) into a sink that keeps nothing, so
// the figures leave out only the WAV file. Both the process's CPU time and
// the wall time are given; on a busy machine the first is the fair one.
// Prints figures only; nothing here passes or fails on a time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "tests/tools/ay/made_ay_files.h"
#include "tests/tools/made_files.h"
#include "tools/renderer/render_plan.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using tools_test::Bytes;

double cpu_seconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ticks = [](const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return (ticks(kernel) + ticks(user)) * 1e-7;
#else
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

double wall_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class NullSink : public tools::PcmSink {
 public:
  bool write(const int16_t*, size_t) override { return true; }
};

struct Figures {
  int files = 0;
  double audio = 0, cpu = 0, wall = 0;
};

bool render(const Bytes& data, const std::string& name, std::map<std::string, Figures>* table) {
  const double cpu = cpu_seconds(), wall = wall_seconds();
  std::string error;
  std::unique_ptr<tools::Tune> tune = tools::open_tune(data, name, &error);
  if (!tune) {
    std::printf("  %s: %s\n", name.c_str(), error.c_str());
    return false;
  }
  const tools::RenderLimits limits;
  NullSink sink;
  const tools::RenderOutcome outcome = tools::render_tune(*tune, tools::plan_render(tune->length(), limits), limits, sink);
  Figures& row = (*table)[tune->format_name()];
  row.files += 1;
  row.audio += outcome.rendered_frames / static_cast<double>(tools::kSampleRate);
  row.cpu += cpu_seconds() - cpu;
  row.wall += wall_seconds() - wall;
  return true;
}

// Three minutes at 50 Hz with all three tones moving, noise on one channel
// and a fast buzzer envelope on another.
std::vector<tools_test::RegisterFrame> busy_frames() {
  static const int kPeriods[] = {424, 378, 337, 318, 283, 252, 225, 212, 189, 168, 150, 142};
  std::vector<tools_test::RegisterFrame> frames;
  for (int f = 0; f < 3 * 60 * 50; ++f) {
    tools_test::RegisterFrame frame{};
    const int a = kPeriods[(f / 6) % 12], b = kPeriods[(f / 9 + 3) % 12] * 2, c = kPeriods[(f / 4 + 7) % 12] / 2;
    frame[0] = a & 0xFF, frame[1] = a >> 8;
    frame[2] = b & 0xFF, frame[3] = b >> 8;
    frame[4] = c & 0xFF, frame[5] = c >> 8;
    frame[6] = static_cast<uint8_t>(f % 7 + 1);
    frame[7] = 0x30;  // tones on A, B, C; noise on A
    frame[8] = static_cast<uint8_t>(15 - (f % 8));
    frame[9] = 0x10;  // B follows the envelope
    frame[10] = 12;
    frame[11] = static_cast<uint8_t>(b / 16);
    frame[12] = 0;
    frame[13] = f % 25 == 0 ? 0x0C : 0xFF;
    frames.push_back(frame);
  }
  return frames;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path samples = argc > 1 ? fs::path(argv[1]) : fs::path(BENCH_AY_SAMPLES);
  std::map<std::string, Figures> table;

  const std::vector<tools_test::RegisterFrame> frames = busy_frames();
  tools_test::YmFile ym;
  ym.loop_frame = 0;
  tools_test::VtxFile vtx;
  vtx.loop_frame = 0;
  for (int copy = 0; copy < 3; ++copy) {
    render(tools_test::make_psg(frames), "made.psg", &table);
    render(tools_test::lha_archive(tools_test::make_ym(ym, frames), "made.bin"), "made.ym", &table);
    render(tools_test::make_vtx(vtx, frames), "made.vtx", &table);
  }

  std::vector<fs::path> files;
  std::error_code ignored;
  for (fs::recursive_directory_iterator it(samples, ignored), end; it != end; it.increment(ignored)) {
    if (it->is_regular_file()) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  int skipped = 0;
  for (const fs::path& file : files) {
    const std::string ext = file.extension().string();
    if (ext == ".md" || ext == ".txt") continue;
    const Bytes data = tools_test::read_file(file.string());
    std::string error;
    // Formats no engine here plays (FTC, FLS, PSM, ...) are counted, not timed.
    if (!tools::open_tune(data, file.string(), &error)) {
      ++skipped;
      continue;
    }
    render(data, file.string(), &table);
  }

  std::printf("%-28s %5s %10s %9s %9s %9s\n", "format", "files", "audio s", "CPU s", "x (CPU)", "x (wall)");
  Figures all;
  for (const auto& [format, row] : table) {
    std::printf("%-28s %5d %10.1f %9.3f %9.0f %9.0f\n", format.c_str(), row.files, row.audio, row.cpu,
                row.audio / row.cpu, row.audio / row.wall);
    all.files += row.files, all.audio += row.audio, all.cpu += row.cpu, all.wall += row.wall;
  }
  std::printf("%-28s %5d %10.1f %9.3f %9.0f %9.0f\n", "all", all.files, all.audio, all.cpu, all.audio / all.cpu,
              all.audio / all.wall);
  std::printf("(%d files of the collection in formats nothing here plays)\n", skipped);
  return 0;
}
