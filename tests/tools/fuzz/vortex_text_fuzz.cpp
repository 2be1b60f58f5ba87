// libFuzzer target: the Vortex Tracker text reader, its Pro Tracker 3
// compiler and the player behind them, on arbitrary bytes. Detection and
// parse must return and stay inside the input (the sanitizers watch that);
// a parse may refuse what detection took, never take what it refused; a
// song it gives has one to three chips, frames within the cap of its rate
// and registers in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/renderer/ay/vortex_text_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const tools::ay::Format& format = tools::ay::kVortexTextFormat;
  const bool detected = format.detect(data, size);
  tools::ay::AySong song;
  std::string error;
  if (!format.parse(data, size, &song, &error)) return 0;
  if (!detected) std::abort();
  if (song.chips < 1 || song.chips > tools::ay::kMaxChips) std::abort();
  if (song.frames.empty() || song.frames.size() > tools::ay::max_frames(song.frame_hz)) std::abort();
  if (song.loop_frame >= static_cast<long>(song.frames.size())) std::abort();
  for (const tools::ay::Frame& frame : song.frames) {
    for (const tools::ay::ChipFrame& chip : frame) {
      const auto& regs = chip.regs;
      if (regs[1] > 15 || regs[3] > 15 || regs[5] > 15 || regs[6] > 31) std::abort();
      if (regs[8] > 31 || regs[9] > 31 || regs[10] > 31 || regs[13] > 15) std::abort();
    }
  }
  return 0;
}
