// How fast the renderer and the encoder run, in multiples of real time.
//   bench_tools <tunes folder> <work folder> [--lame PROGRAM]
// Renders every tune in the folder (and made AdLib files) the way amiga
// does, and each module also through a bare loop of libopenmpt and
// libsndfile that loads it and writes the same frames with the same
// settings to a plain WAV: the difference is the renderer's own cost (the
// length probe, fade, silence trimming, tags). Then some of the WAVs are
// encoded by suxx and, with --lame, the reference encoder. Each measurement
// is made three times, the two sides alternating, and the best counts.
//
// Times are CPU seconds (user and system, of this process or of the child),
// since the machines this runs on are shared and wall time mostly measures
// the neighbours; wall seconds are printed beside them. Prints figures only;
// nothing here passes or fails on a time.
#include <libopenmpt/libopenmpt.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/tools/made_files.h"
#include "tools/common/pending_file.h"
#include "tools/renderer/render_plan.h"
#include "tools/renderer/tune.h"
#include "tools/renderer/wav_writer.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
extern char** environ;
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Times {
  double cpu = 0;
  double wall = 0;
  // Wine answers a child's CPU time with figures of no use (larger than its
  // whole life); the comparison then rests on wall time alone.
  bool cpu_known = true;
  Times& operator+=(const Times& other) {
    cpu += other.cpu;
    wall += other.wall;
    cpu_known &= other.cpu_known;
    return *this;
  }
};

#ifdef _WIN32
double filetime_seconds(const FILETIME& time) {
  return (static_cast<double>(time.dwHighDateTime) * 4294967296.0 + time.dwLowDateTime) / 1e7;
}
double process_cpu_seconds(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return filetime_seconds(kernel) + filetime_seconds(user);
}
double own_cpu_seconds() { return process_cpu_seconds(GetCurrentProcess()); }
#else
double own_cpu_seconds() {
  timespec now = {};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}
#endif

// Measures the work of this process between its construction and `stop`.
class Stopwatch {
 public:
  Stopwatch() : cpu_(own_cpu_seconds()), wall_(Clock::now()) {}
  Times stop() const {
    return {own_cpu_seconds() - cpu_, std::chrono::duration<double>(Clock::now() - wall_).count()};
  }

 private:
  double cpu_;
  Clock::time_point wall_;
};

// Runs `args` (the program first) in `directory`, its output discarded, and
// waits; negative times when it could not start or did not exit with 0.
Times run_child(const std::vector<std::string>& args, const std::string& directory) {
  const Clock::time_point start = Clock::now();
  Times times = {-1, -1};
#ifdef _WIN32
  std::string line;
  for (const std::string& arg : args) line += (line.empty() ? "\"" : " \"") + arg + "\"";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = nul;
  startup.hStdError = nul;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, directory.c_str(), &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    if (code == 0) times = {process_cpu_seconds(process.hProcess), 0};
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(nul);
#else
  std::vector<std::string> storage = args;
  std::vector<char*> argv;
  for (std::string& arg : storage) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // The programs write beside their input or into the current directory.
  const fs::path here = fs::current_path();
  fs::current_path(directory);
  pid_t child = -1;
  const bool started = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  fs::current_path(here);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage = {};
  if (started && wait4(child, &status, 0, &usage) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    times = {seconds(usage.ru_utime) + seconds(usage.ru_stime), 0};
  }
#endif
  if (times.cpu >= 0) {
    times.wall = std::chrono::duration<double>(Clock::now() - start).count();
    // One thread cannot use more CPU than the time it ran.
    times.cpu_known = times.cpu <= 1.2 * times.wall + 0.05;
  }
  return times;
}

// A path that the bench's own platform opens: under Wine the build's Unix
// paths go through the Z: drive.
std::string native_path(const std::string& path) {
#ifdef _WIN32
  if (!path.empty() && path[0] == '/') {
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
  }
#endif
  return path;
}

struct RenderResult {
  bool ok = false;
  std::string format;
  int64_t frames = 0;
  bool play_past_end = false;
  Times times;
};

// amiga's path from the source file to a complete WAV file.
RenderResult render_like_amiga(const fs::path& source, const fs::path& wav) {
  RenderResult result;
  const Stopwatch watch;
  const tools_test::Bytes data = tools_test::read_file(source.string());
  std::string error;
  std::unique_ptr<tools::Tune> tune = tools::open_tune(data, source.string(), &error);
  if (!tune) return result;
  tools::PendingFile output(wav.string());
  if (!output.open(&error)) return result;
  const tools::RenderLimits limits;
  const tools::RenderPlan plan = tools::plan_render(tune->length(), limits);
  tools::RenderOutcome outcome;
  tools::WavWriter writer;
  if (writer.open(output.stream(), tune->tags(), "bench", &error)) {
    outcome = tools::render_tune(*tune, plan, limits, writer);
    result.ok = !outcome.sink_failed && writer.close(&error) && output.commit(&error);
  }
  result.times = watch.stop();
  result.format = tune->format_name();
  result.frames = outcome.rendered_frames;
  result.play_past_end = plan.play_past_end;
  return result;
}

// libopenmpt and libsndfile alone: load, then `frames` frames read 1024 at
// a time, as libopenmpt's own player reads them, into a plain WAV file.
// False when libopenmpt does not open the file.
bool render_with_libraries_alone(const fs::path& source, const fs::path& wav, int64_t frames, bool play_past_end,
                                 Times* times) {
  const Stopwatch watch;
  const tools_test::Bytes data = tools_test::read_file(source.string());
  openmpt_module* module = openmpt_module_create_from_memory2(data.data(), data.size(), openmpt_log_func_silent,
                                                              nullptr, openmpt_error_func_ignore, nullptr, nullptr,
                                                              nullptr, nullptr);
  if (!module) return false;
  openmpt_module_select_subsong(module, 0);
  openmpt_module_ctl_set_text(module, "play.at_end", play_past_end ? "continue" : "stop");
  openmpt_module_ctl_set_integer(module, "dither", 0);
  SF_INFO info = {};
  info.samplerate = tools::kSampleRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* out = sf_open(wav.string().c_str(), SFM_WRITE, &info);
  std::vector<int16_t> buffer(2 * 1024);
  int64_t done = 0;
  while (out && done < frames) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(1024, frames - done));
    size_t n = openmpt_module_read_interleaved_stereo(module, tools::kSampleRate, want, buffer.data());
    if (n == 0 && play_past_end) n = openmpt_module_read_interleaved_stereo(module, tools::kSampleRate, want, buffer.data());
    if (n == 0) break;
    sf_writef_short(out, buffer.data(), static_cast<sf_count_t>(n));
    done += static_cast<int64_t>(n);
  }
  if (out) sf_close(out);
  openmpt_module_destroy(module);
  *times = watch.stop();
  std::error_code ignored;
  fs::remove(wav, ignored);
  return true;
}

std::vector<fs::path> tunes_in(const fs::path& folder) {
  std::vector<fs::path> tunes;
  std::error_code ignored;
  for (fs::recursive_directory_iterator it(folder, ignored), end; it != end; it.increment(ignored)) {
    if (it->is_regular_file() && it->path().filename().string()[0] != '.') tunes.push_back(it->path());
  }
  std::sort(tunes.begin(), tunes.end());
  return tunes;
}

// AdLib tunes: no package ships them, so made captures of a held tone.
std::vector<fs::path> made_adlib_tunes(const fs::path& work) {
  std::vector<fs::path> made;
  for (int seconds : {60, 180}) {
    const fs::path path = work / ("made tone " + std::to_string(seconds) + " s.dro");
    if (tools_test::write_file(path.string(), tools_test::make_dro(seconds * 1000, 500, "made", "bench"))) {
      made.push_back(path);
    }
  }
  return made;
}

double times_real_time(double audio_seconds, double seconds) { return seconds > 0 ? audio_seconds / seconds : 0; }

struct RenderFigures {
  int tunes = 0;
  double audio_seconds = 0;
  Times ours;
  // Modules only: the same frames through the libraries alone.
  int alone_tunes = 0;
  double alone_audio_seconds = 0;
  Times ours_where_alone;
  Times alone;

  void add(const RenderFigures& other) {
    tunes += other.tunes;
    audio_seconds += other.audio_seconds;
    ours += other.ours;
    alone_tunes += other.alone_tunes;
    alone_audio_seconds += other.alone_audio_seconds;
    ours_where_alone += other.ours_where_alone;
    alone += other.alone;
  }
};

void print_render_row(const std::string& name, const RenderFigures& f) {
  char alone[32] = "-", overhead[32] = "-";
  if (f.alone_tunes > 0) {
    std::snprintf(alone, sizeof alone, "%.0f", times_real_time(f.alone_audio_seconds, f.alone.cpu));
    std::snprintf(overhead, sizeof overhead, "%+.1f %%", 100 * (f.ours_where_alone.cpu / f.alone.cpu - 1));
  }
  std::printf("%-30s %5d %8.0f %8.0f %8.0f %9s %9s\n", name.c_str(), f.tunes, f.audio_seconds,
              times_real_time(f.audio_seconds, f.ours.cpu), times_real_time(f.audio_seconds, f.ours.wall), alone,
              overhead);
}

// Keeps the better of two measurements: the one with less CPU time, and
// independently the shorter wall time.
void keep_best(Times* best, const Times& times) {
  if (best->cpu < 0 || times.cpu < best->cpu) best->cpu = times.cpu;
  if (best->wall < 0 || times.wall < best->wall) best->wall = times.wall;
  best->cpu_known &= times.cpu_known;
}

constexpr int kRounds = 3;

struct TuneRun {
  fs::path source;
  fs::path wav;
  bool ok = false;
  std::string format;
  int64_t frames = 0;
  bool play_past_end = false;
  Times ours = {-1, -1};
  bool alone_ok = false;
  Times alone = {-1, -1};
};

// The WAVs kept for the encoder: the first of each format, then more until
// about ten minutes of audio, so that the encoder's part stays short.
constexpr double kEncoderAudioSeconds = 600;

// The converter's own encoder command line.
Times encode(const std::string& program, const fs::path& wav, const fs::path& mp3) {
  const Times times = run_child({native_path(program), "--quiet", "-b", "128", "-m", "m", wav.string(), mp3.string()},
                                wav.parent_path().string());
  std::error_code ignored;
  fs::remove(mp3, ignored);
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  std::string lame;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--lame" && i + 1 < argc) {
      lame = argv[++i];
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) {
    std::fprintf(stderr, "usage: bench_tools <tunes folder> <work folder> [--lame PROGRAM]\n");
    return 2;
  }
  const fs::path tunes_folder = native_path(positional[0]), work = native_path(positional[1]);
  std::error_code ignored;
  fs::create_directories(work, ignored);
  std::vector<fs::path> tunes = tunes_in(tunes_folder);
  const std::vector<fs::path> made = made_adlib_tunes(work);
  tunes.insert(tunes.end(), made.begin(), made.end());

  std::vector<TuneRun> runs(tunes.size());
  const fs::path alone_wav = work / "alone.wav";
  const Stopwatch whole_render;
  for (int round = 0; round < kRounds; ++round) {
    for (size_t index = 0; index < tunes.size(); ++index) {
      TuneRun& run = runs[index];
      if (round == 0) {
        run.source = tunes[index];
        run.wav = work / (std::to_string(index) + ".wav");
      } else if (!run.ok) {
        continue;
      }
      auto render_alone = [&] {
        Times times;
        run.alone_ok = render_with_libraries_alone(run.source, alone_wav, run.frames, run.play_past_end, &times);
        if (run.alone_ok) keep_best(&run.alone, times);
      };
      // The first round learns the frame count from ours; after it the two
      // sides take turns at going first.
      if (round % 2 == 1) render_alone();
      const RenderResult ours = render_like_amiga(run.source, run.wav);
      if (!ours.ok) {
        // Not every file a game ships is music every engine plays.
        fs::remove(run.wav, ignored);
        continue;
      }
      run.ok = true;
      run.format = ours.format;
      run.frames = ours.frames;
      run.play_past_end = ours.play_past_end;
      keep_best(&run.ours, ours.times);
      if (round % 2 == 0) render_alone();
    }
  }
  const Times render_run = whole_render.stop();

  std::map<std::string, RenderFigures> formats;
  std::vector<std::pair<fs::path, double>> kept_wavs;  // path, audio seconds
  std::map<std::string, bool> format_kept;
  double kept_audio = 0;
  int failed = 0;
  for (const TuneRun& run : runs) {
    if (!run.ok) {
      ++failed;
      continue;
    }
    const double audio = static_cast<double>(run.frames) / tools::kSampleRate;
    RenderFigures& figures = formats[run.format];
    figures.tunes++;
    figures.audio_seconds += audio;
    figures.ours += run.ours;
    if (run.alone_ok) {
      figures.alone_tunes++;
      figures.alone_audio_seconds += audio;
      figures.ours_where_alone += run.ours;
      figures.alone += run.alone;
    }
    const bool keep = !format_kept[run.format] || kept_audio < kEncoderAudioSeconds;
    if (keep && kept_audio < 2 * kEncoderAudioSeconds) {
      format_kept[run.format] = true;
      kept_audio += audio;
      kept_wavs.emplace_back(run.wav, audio);
    } else {
      fs::remove(run.wav, ignored);
    }
  }

  std::printf("renderer, in multiples of real time (CPU; \"wall\" on wall time): amiga's path (load, length probe,\n"
              "render, fade, trimming, WAV with tags) against libopenmpt and libsndfile alone (load, then the same\n"
              "frames read 1024 at a time into a plain WAV); overhead is ours' CPU time over theirs; best of %d\n",
              kRounds);
  std::printf("%-30s %5s %8s %8s %8s %9s %9s\n", "format", "tunes", "audio s", "ours", "wall", "alone", "overhead");
  RenderFigures all;
  for (const auto& [format, f] : formats) {
    print_render_row(format, f);
    all.add(f);
  }
  print_render_row("all", all);
  if (failed > 0) std::printf("(%d files in the folder are no tune the renderer plays)\n", failed);
  std::printf("(render part: %.0f s CPU, %.0f s wall)\n", render_run.cpu, render_run.wall);

  // The encoder: each WAV through both programs, in alternating order.
  const fs::path mp3 = work / "bench.mp3";
  double encoded_audio = 0;
  Times suxx_total, lame_total;
  for (const auto& [wav, audio] : kept_wavs) {
    Times best_suxx = {-1, -1}, best_lame = {-1, -1};
    for (int round = 0; round < kRounds; ++round) {
      for (int turn = 0; turn < 2; ++turn) {
        const bool suxx_turn = (turn == 0) == (round % 2 == 0);
        if (!suxx_turn && lame.empty()) continue;
        const Times times = encode(suxx_turn ? BENCH_SUXX : lame, wav, mp3);
        if (times.cpu < 0) {
          std::fprintf(stderr, "bench_tools: %s failed on %s\n", suxx_turn ? "suxx" : lame.c_str(), wav.string().c_str());
          return 1;
        }
        keep_best(suxx_turn ? &best_suxx : &best_lame, times);
      }
    }
    fs::remove(wav, ignored);
    encoded_audio += audio;
    suxx_total += best_suxx;
    if (!lame.empty()) lame_total += best_lame;
  }
  for (const fs::path& path : made) fs::remove(path, ignored);
  std::printf("\nencoder: -b 128 -m m on %zu WAVs of %.0f s, best of %d runs per file, a process each\n",
              kept_wavs.size(), encoded_audio, kRounds);
  std::printf("%-30s %8s %8s %8s %8s\n", "program", "CPU s", "wall s", "x (CPU)", "x (wall)");
  auto print_encoder = [&](const std::string& name, const Times& t) {
    if (t.cpu_known) {
      std::printf("%-30s %8.2f %8.2f %8.1f %8.1f\n", name.c_str(), t.cpu, t.wall,
                  times_real_time(encoded_audio, t.cpu), times_real_time(encoded_audio, t.wall));
    } else {
      std::printf("%-30s %8s %8.2f %8s %8.1f\n", name.c_str(), "-", t.wall, "-", times_real_time(encoded_audio, t.wall));
    }
  };
  print_encoder("suxx", suxx_total);
  if (!lame.empty()) {
    print_encoder(fs::path(lame).filename().string(), lame_total);
    if (suxx_total.cpu_known && lame_total.cpu_known) {
      std::printf("%-30s %+7.1f %% CPU, %+.1f %% wall\n", "suxx against it",
                  100 * (suxx_total.cpu / lame_total.cpu - 1), 100 * (suxx_total.wall / lame_total.wall - 1));
    } else {
      std::printf("%-30s %+7.1f %% wall (no CPU figures for child processes here)\n", "suxx against it",
                  100 * (suxx_total.wall / lame_total.wall - 1));
    }
  }
  return 0;
}
