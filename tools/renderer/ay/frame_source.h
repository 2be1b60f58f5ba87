// An AySong as stretches for the chip player: one per frame, the frame's
// registers written at its start, and the Atari ST timer effects (SID
// voices, digidrums, sync buzzer) written at the ticks their timers fire.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/chip_source.h"

namespace tools::ay {

class FrameSource : public ChipSource {
 public:
  // `song` must outlive the source and hold at least one frame.
  explicit FrameSource(const AySong& song);

  ChipSetup setup() const override;
  bool next(Stretch* stretch, std::string* error) override;
  void play_on(uint32_t ticks, Stretch* stretch) override;
  void set_play_past_end(bool play_on) override { play_past_end_ = play_on; }

 private:
  struct EffectTimer {
    TimerEffect effect;
    double period = 0;  // in ticks
    double next = 0;    // ticks until its next event
    bool high = true;   // a SID's level: at its top or at 0
  };
  struct Drum {
    bool playing = false;
    int voice = 0;
    const std::vector<uint8_t>* samples = nullptr;
    size_t position = 0;
    double period = 0;
    double next = 0;
  };

  void write_frame(size_t index, Stretch* stretch);
  void start_effects(size_t index);
  // The timers' and the drum's writes over `ticks` ticks.
  void run_effects(uint32_t ticks, Stretch* stretch);

  const AySong& song_;
  double ticks_per_frame_;
  double tick_debt_ = 0;
  size_t frame_ = 0;
  bool play_past_end_ = false;
  EffectTimer timers_[2];
  Drum drum_;
};

}  // namespace tools::ay
