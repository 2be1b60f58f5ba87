#include "tools/renderer/ay/fxm_ay_file.h"

#include "tools/renderer/ay/fxm_player.h"
#include "tools/renderer/ay/project_ay_file.h"

namespace tools::ay {
namespace {

bool detect(const uint8_t* data, size_t size) {
  project::FxmTune tune;
  std::string error;
  return project::parse_fxm_file(data, size, &tune, &error) &&
         fxm::block_plausible(data + tune.offset, size - tune.offset, tune.address);
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  project::FxmTune tune;
  if (!project::parse_fxm_file(data, size, &tune, error)) return false;
  if (!fxm::block_plausible(data + tune.offset, size - tune.offset, tune.address)) {
    *error = "the AY file's Fuxoft AY Language block does not start with its three channels";
    return false;
  }
  if (!fxm::play_block(data + tune.offset, size - tune.offset, tune.address, song, error)) return false;
  song->title = tune.name;
  song->author = tune.author;
  return true;
}

}  // namespace

const Format kFxmAyFormat = {"Fuxoft AY Language (AY file)", detect, parse};

}  // namespace tools::ay
