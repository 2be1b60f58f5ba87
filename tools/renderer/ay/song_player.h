// Plays an AySong: writes each frame's registers into its one to three chips,
// runs them for the frame's share of clock / 8 ticks (with the Atari timer
// effects at their own rate inside the frame) and resamples to 44,100 Hz.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_chip.h"
#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/resampler.h"

namespace tools::ay {

// The chip clocks a song may state.
constexpr double kMinClockHz = 800000;
constexpr double kMaxClockHz = 4000000;

class SongPlayer {
 public:
  // `song` must outlive the player and hold at least one frame; its clock
  // and frame rate must have passed `playable`.
  explicit SongPlayer(const AySong& song);

  // Whether the song's clock and frame rate are ones a player can run.
  static bool playable(const AySong& song, std::string* error);

  // With true the song goes on from its loop frame after its last frame
  // (from the start when it states none) instead of ending there.
  void set_play_past_end(bool play_on) { play_past_end_ = play_on; }

  // Renders up to `frames` interleaved stereo frames; fewer only at the end.
  size_t render(int16_t* out, size_t frames);

  // Floating-point output at full scale 1 before the conversion, for tests.
  size_t render_float(float* out, size_t frames);

 private:
  struct EffectTimer {
    TimerEffect effect;
    double period = 0;     // in ticks
    double next = 0;       // ticks until its next event
    bool high = true;      // a SID's level: at its top or at 0
  };
  struct Drum {
    bool playing = false;
    int voice = 0;
    const std::vector<uint8_t>* samples = nullptr;
    size_t position = 0;
    double period = 0;
    double next = 0;
  };

  bool play_frame();
  void write_frame(size_t index);
  void start_effects(size_t index);
  void run_ticks(size_t ticks);

  const AySong& song_;
  std::vector<AyChip> chips_;
  Panning panning_;
  Resampler resampler_;
  float gain_;
  double ticks_per_frame_;
  double tick_debt_ = 0;
  size_t frame_ = 0;
  bool play_past_end_ = false;
  bool ended_ = false;
  uint64_t ticks_played_ = 0;
  uint64_t frames_out_ = 0;
  uint64_t end_frame_ = 0;  // once ended: the song's length in output frames
  EffectTimer timers_[2];
  Drum drum_;
  std::vector<float> output_;        // resampled frames not yet handed out
  size_t output_read_ = 0;
};

}  // namespace tools::ay
