#include "tools/renderer/ay/tracker_frames.h"

#include <algorithm>

namespace tools::ay::tracker {

ChipFrame chip_frame(const ChipState& state, uint8_t* last_shape) {
  ChipFrame frame;
  uint8_t mixer = 0;
  for (int c = 0; c < 3; ++c) {
    const Voice& voice = state.voices[c];
    frame.regs[2 * c] = static_cast<uint8_t>(voice.tone & 0xFF);
    frame.regs[2 * c + 1] = static_cast<uint8_t>(voice.tone >> 8 & 0x0F);
    if (!voice.tone_on) mixer |= static_cast<uint8_t>(1 << c);
    if (!voice.noise_on) mixer |= static_cast<uint8_t>(8 << c);
    const uint8_t level = voice.level & 0x0F;
    if (!voice.envelope)
      frame.regs[8 + c] = level;
    else
      frame.regs[8 + c] = static_cast<uint8_t>(0x10 | (state.level_beside_envelope ? level : 0));
  }
  frame.regs[6] = state.noise & 0x1F;
  frame.regs[7] = mixer;
  frame.regs[11] = static_cast<uint8_t>(state.envelope_period & 0xFF);
  frame.regs[12] = static_cast<uint8_t>(state.envelope_period >> 8);
  if (state.shape >= 0) {
    *last_shape = static_cast<uint8_t>(state.shape & 0x0F);
    frame.shape_written = true;
  }
  frame.regs[13] = *last_shape;
  return frame;
}

bool finish_frame(const zx::ModuleBytes& module, const ChipState& state, uint8_t* last_shape, Frame* frame,
                  std::string* error) {
  if (module.broken()) {
    *error = "the module points outside its data";
    return false;
  }
  (*frame)[0] = chip_frame(state, last_shape);
  return true;
}

const zx::NoteTable& asm_notes() {
  static const zx::NoteTable table = [] {
    const zx::NoteTable& rest = zx::pro_tracker3_notes(2, 3);
    zx::NoteTable notes{};
    notes[0] = 0xEDC;
    notes[1] = 0xE07;
    for (size_t n = 2; n < notes.size(); ++n) notes[n] = rest[n - 2];
    return notes;
  }();
  return table;
}

uint16_t note_period(const zx::NoteTable& table, int note) {
  return table[static_cast<size_t>(std::clamp(note, 0, static_cast<int>(table.size()) - 1))];
}

uint8_t scaled_level(int level, int volume) {
  level = std::clamp(level, 0, 15);
  volume = std::clamp(volume, 0, 15);
  return static_cast<uint8_t>((level * volume + 7) / 15);
}

}  // namespace tools::ay::tracker
