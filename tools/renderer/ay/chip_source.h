// What the chip player plays: stretches of chip time, each with the
// register writes made during it at the chip tick they were made, and the
// beeper's level changes at a fraction of a tick. A register dump or a
// tracker song gives one stretch per player frame, with its writes at the
// frame's start; a machine running a player program gives one per
// interrupt, with its writes wherever the program made them. The player
// knows neither frames nor programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

struct ChipWrite {
  uint32_t tick;  // from the stretch's start, 0 .. ticks (at `ticks`: after its last tick)
  uint8_t chip;   // 0, or the second or third chip of a song for several
  uint8_t reg;    // 0..13
  uint8_t value;
};

// The beeper goes to `level` (0 or 1) at `tick` + `fraction` of a tick.
struct BeeperEdge {
  uint32_t tick;
  float fraction;  // 0 <= fraction < 1
  uint8_t level;
};

struct Stretch {
  uint32_t ticks = 0;               // of the chip's clock / 8
  std::vector<ChipWrite> writes;    // in the order they were made, ticks ascending
  std::vector<BeeperEdge> beeper;   // ascending
  bool loop_start = false;          // the song's loop begins with this stretch

  void clear() {
    ticks = 0;
    writes.clear();
    beeper.clear();
    loop_start = false;
  }
};

// The sound hardware a source drives.
struct ChipSetup {
  ChipType chip = ChipType::ay;
  StereoLayout layout = StereoLayout::abc;
  double clock_hz = 1773400;
  int chips = 1;
  // The beeper's loudness on each side at level 1, on the chip's full
  // scale (one channel at volume 15 is 1); 0 for a machine without one.
  float beeper_level = 0;
};

class ChipSource {
 public:
  virtual ~ChipSource() = default;

  virtual ChipSetup setup() const = 0;

  // Fills `stretch` with what comes next. False at the song's end, with
  // `error` left empty, or when the source failed, with the reason.
  virtual bool next(Stretch* stretch, std::string* error) = 0;

  // After the end: `ticks` more of the chips left as they are, with what
  // still writes to them by itself (the Atari's timer effects); the player
  // plays them so that its filters give out the song's last moments.
  virtual void play_on(uint32_t ticks, Stretch* stretch) {
    stretch->clear();
    stretch->ticks = ticks;
  }

  // With true a song that ends goes on from its loop (or its start).
  virtual void set_play_past_end(bool) {}
};

}  // namespace tools::ay
