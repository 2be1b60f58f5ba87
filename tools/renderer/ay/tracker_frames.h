// What the ZX Spectrum tracker players share beyond the position-list
// recorder: the chip state a tracker frame leaves behind and how it becomes
// registers, the ASM note table, and the scaling of a sample's level by a
// channel volume.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/zx_tables.h"
#include "tools/renderer/ay/zx_tracker.h"

namespace tools::ay::tracker {

// One channel as a player leaves it after a frame.
struct Voice {
  uint16_t tone = 0;  // 12-bit period
  uint8_t level = 0;  // 0..15, unused while `envelope`
  bool envelope = false;
  bool tone_on = false;
  bool noise_on = false;
};

// The whole chip after a frame. `shape` is written to R13 (restarting the
// envelope) only when a command or note asked for it this frame.
struct ChipState {
  std::array<Voice, 3> voices{};
  uint8_t noise = 0;             // 5-bit period
  uint16_t envelope_period = 0;  // R11/R12
  int shape = -1;                // 0..15 to write, -1 to leave alone
  // Pro Tracker 2 and Sound Tracker leave a voice's level in its register
  // beside the envelope bit; the chip ignores it there.
  bool level_beside_envelope = false;
};

// The 14 registers of `state`, the mixer bits active low as the chip has
// them. R13 holds `*last_shape` when the frame writes no shape, so a frame
// read on its own shows what the envelope is doing.
ChipFrame chip_frame(const ChipState& state, uint8_t* last_shape);

// Ends a frame: false, with the reason, when the frame read outside the
// module; otherwise its registers go to the first chip of `frame`.
bool finish_frame(const zx::ModuleBytes& module, const ChipState& state, uint8_t* last_shape, Frame* frame,
                  std::string* error);

// ASC Sound Master's table, which Pro Sound Creator kept: its first note
// lies two semitones below the first of Pro Tracker 3's "ASM or PSC" table
// up to 3.3, which holds the rest of it.
const zx::NoteTable& asm_notes();
// The period of `note` in `table`, the note clamped into the table.
uint16_t note_period(const zx::NoteTable& table, int note);

// Level `level` heard through channel volume `volume` (both 0..15, clamped),
// rounded to nearest: these trackers scale rather than look up a table.
uint8_t scaled_level(int level, int volume);

}  // namespace tools::ay::tracker
