// libFuzzer target: the Project AY parser and the machine running what it
// accepts. Each song runs under tight limits (a tenth of a second of
// probing, a quarter second without sound before it counts as stuck) and
// plays 50 ms through the chip player, and only the first four songs of a
// file are run, so that an input costs a bounded number of T-states. The
// parser must stay inside the input, the machine inside its memory, and
// every write must land inside its stretch (the player checks).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/renderer/ay/project_ay_file.h"
#include "tools/renderer/ay/project_ay_format.h"
#include "tools/renderer/ay/song_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tools::ay::project::File file;
  std::string error;
  if (!tools::ay::project::parse_file(data, size, &file, &error)) return 0;
  if (file.songs.size() > 4) return 0;
  tools::ay::project::MachineLimits limits;
  limits.stuck_seconds = 0.25;
  std::unique_ptr<tools::ay::SongList> songs = tools::ay::open_project_ay(data, size, limits, 0.1, &error);
  if (!songs) return 0;
  for (size_t i = 0; i < songs->songs.size(); ++i) {
    std::unique_ptr<tools::ay::ChipSource> source = songs->open(i, &error);
    if (!source) continue;
    tools::ay::SongPlayer player(*source);
    std::vector<int16_t> out(2 * 2205);
    player.render(out.data(), 2205);
  }
  return 0;
}
