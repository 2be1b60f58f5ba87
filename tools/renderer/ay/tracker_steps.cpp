#include "tools/renderer/ay/tracker_steps.h"

#include <algorithm>

namespace tools::ay::tracker {

int signed5(int bits) { return (bits & 0x10) ? (bits & 0x1F) - 32 : bits & 0x1F; }

void LineCursor::next() { line = std::min(line + 1, 0xFFFF); }

void SampleSums::add_tone(int delta) { tone = std::clamp(tone + delta, -0xFFF, 0xFFF); }

void SampleSums::slide_volume(int mode) {
  if (mode == 2) volume = std::max(volume - 1, -15);
  if (mode == 3) volume = std::min(volume + 1, 15);
}

void OrnamentSums::add_note(int delta) { note = std::clamp(note + delta, -96, 96); }

bool BlockCursor::next(int length, int loop, int loop_end) {
  ++line;
  if (line < (looping ? loop_end : length)) return true;
  if (loop >= loop_end) return false;
  line = loop;
  looping = true;
  return true;
}

}  // namespace tools::ay::tracker
