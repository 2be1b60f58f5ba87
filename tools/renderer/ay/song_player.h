// Plays a ChipSource: runs its one to three chips through each stretch,
// writing each register at the tick the source made it, adds the beeper's
// level, and resamples to 44,100 Hz. An AySong plays through a FrameSource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_chip.h"
#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/chip_source.h"
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
  // `source` must outlive the player; its clock must lie between
  // kMinClockHz and kMaxClockHz.
  explicit SongPlayer(ChipSource& source);

  // Whether the song's clock and frame rate are ones a player can run.
  static bool playable(const AySong& song, std::string* error);

  // With true the song goes on from its loop frame after its last frame
  // (from the start when it states none) instead of ending there.
  void set_play_past_end(bool play_on) { source_.set_play_past_end(play_on); }

  // Renders up to `frames` interleaved stereo frames; fewer only at the end.
  size_t render(int16_t* out, size_t frames);

  // Floating-point output at full scale 1 before the conversion, for tests.
  size_t render_float(float* out, size_t frames);

  // Why the source stopped, when it failed; empty when it ended or plays on.
  const std::string& error() const { return error_; }

 private:
  explicit SongPlayer(std::unique_ptr<ChipSource> owned);
  SongPlayer(std::unique_ptr<ChipSource> owned, ChipSource* source);
  bool play_stretch();
  void run_stretch();
  void add_beeper(float* left, float* right);

  std::unique_ptr<ChipSource> own_source_;  // the AySong's, when made from one
  ChipSource& source_;
  const ChipSetup setup_;
  std::vector<AyChip> chips_;
  Panning panning_;
  Resampler resampler_;
  float gain_;
  Stretch stretch_;
  uint8_t beeper_ = 0;
  bool ended_ = false;
  std::string error_;
  uint64_t ticks_played_ = 0;
  uint64_t frames_out_ = 0;
  uint64_t end_frame_ = 0;  // once ended: the song's length in output frames
  std::vector<float> output_;  // resampled frames not yet handed out
  size_t output_read_ = 0;
};

}  // namespace tools::ay
