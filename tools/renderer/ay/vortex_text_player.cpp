#include "tools/renderer/ay/vortex_text_player.h"

#include <vector>

#include "tools/renderer/ay/pt3_player.h"
#include "tools/renderer/ay/vortex_pt3.h"
#include "tools/renderer/ay/vortex_text.h"

namespace tools::ay {
namespace {

bool detect(const uint8_t* data, size_t size) { return vortex::looks_like_text_module(data, size); }

// The first module's text, or a later one's when the first leaves it empty
// (a chip's module often carries the names alone).
std::string first_named(const std::vector<vortex::Module>& modules, std::string vortex::Module::*field) {
  for (const vortex::Module& module : modules) {
    if (!(module.*field).empty()) return module.*field;
  }
  return {};
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  if (!detect(data, size)) {
    *error = "not a Vortex Tracker text module";
    return false;
  }
  std::vector<vortex::Module> modules;
  if (!vortex::read_text_modules(data, size, &modules, error)) return false;
  std::vector<std::vector<uint8_t>> compiled(modules.size());
  for (size_t i = 0; i < modules.size(); ++i) {
    if (!vortex::compile_pt3(modules[i], &compiled[i], error)) return false;
  }
  // The chips share the first module's clock and rate, as the tracker
  // plays them.
  song->chip = ChipType::ay;
  song->clock_hz = modules[0].chip_hz;
  song->frame_hz = modules[0].frame_hz;
  song->title = first_named(modules, &vortex::Module::title);
  song->author = first_named(modules, &vortex::Module::author);
  song->program = "Vortex Tracker II";
  return play_pt3_side_by_side(compiled, song, error);
}

}  // namespace

const Format kVortexTextFormat = {"Vortex Tracker II text", detect, parse};

}  // namespace tools::ay
