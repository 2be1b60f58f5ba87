// How fast Project AY files render, in multiples of real time, per kind of
// song: Spectrum AY players, beeper tunes (the CPU busy all the time),
// songs that use both, and CPC players. Every file of the collection in
// ../shared/samples/projectay, each song for up to 60 s through the
// machine and the chip player (probing included), into nothing.
//   bench_project_ay_render [<samples folder>]
// Prints figures only.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/tools/made_files.h"
#include "tools/renderer/ay/project_ay_format.h"
#include "tools/renderer/ay/song_player.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;

double cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

struct Figures {
  int songs = 0;
  double audio = 0, cpu = 0;
};

const char* kind_of(const tools::ay::ChipSetup& setup) {
  if (setup.clock_hz == 1000000) return "CPC AY players";
  if (setup.beeper_level >= 2) return "Spectrum beeper tunes";
  if (setup.beeper_level > 0) return "Spectrum AY and beeper";
  return "Spectrum AY players";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : BENCH_PROJECTAY_SAMPLES;
  std::vector<fs::path> files;
  std::error_code ignored;
  for (fs::recursive_directory_iterator it(folder, ignored), end; it != end; it.increment(ignored)) {
    if (it->is_regular_file() && it->path().extension() != ".md") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::map<std::string, Figures> table;
  std::vector<int16_t> block(2 * 4096);
  for (const fs::path& file : files) {
    const tools_test::Bytes data = tools_test::read_file(file.string());
    const double opened = cpu_seconds();
    std::string error;
    std::unique_ptr<tools::ay::SongList> list = tools::ay::open_project_ay(data.data(), data.size(), {}, 2, &error);
    if (!list) {
      std::printf("  %s: %s\n", file.filename().string().c_str(), error.c_str());
      continue;
    }
    // The probing is shared out over the file's songs.
    const double probing = (cpu_seconds() - opened) / static_cast<double>(list->songs.size());
    for (size_t i = 0; i < list->songs.size(); ++i) {
      const double start = cpu_seconds();
      std::unique_ptr<tools::ay::ChipSource> source = list->open(i, &error);
      if (!source) continue;
      tools::ay::SongPlayer player(*source);
      const double seconds = list->songs[i].seconds > 0 ? std::min(60.0, list->songs[i].seconds) : 60.0;
      size_t left = static_cast<size_t>(seconds * tools::kSampleRate), frames = 0;
      while (left > 0) {
        const size_t got = player.render(block.data(), std::min<size_t>(4096, left));
        if (got == 0) break;
        frames += got;
        left -= got;
      }
      Figures& row = table[kind_of(source->setup())];
      row.songs += 1;
      row.audio += static_cast<double>(frames) / tools::kSampleRate;
      row.cpu += cpu_seconds() - start + probing;
    }
  }
  std::printf("%-26s %6s %10s %9s %10s\n", "kind", "songs", "audio s", "CPU s", "x realtime");
  for (const auto& [kind, row] : table) {
    std::printf("%-26s %6d %10.0f %9.2f %10.0f\n", kind.c_str(), row.songs, row.audio, row.cpu,
                row.cpu > 0 ? row.audio / row.cpu : 0);
  }
  return 0;
}
