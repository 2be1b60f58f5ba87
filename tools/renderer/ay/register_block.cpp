#include "tools/renderer/ay/register_block.h"

#include <algorithm>

namespace tools::ay {

void append_register_block(const uint8_t* block, size_t count, size_t width, bool interleaved, AySong* song) {
  const size_t room = kMaxFrames - std::min(kMaxFrames, song->frames.size());
  const size_t frames = std::min(count, room);
  for (size_t f = 0; f < frames; ++f) {
    Frame frame;
    ChipFrame& chip = frame[0];
    for (size_t r = 0; r < 14; ++r) chip.regs[r] = block_register(block, count, width, interleaved, f, r);
    chip.shape_written = chip.regs[13] != 0xFF;
    if (!chip.shape_written) chip.regs[13] = 0;
    song->frames.push_back(frame);
  }
}

}  // namespace tools::ay
