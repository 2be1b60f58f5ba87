#include "tools/renderer/ay/song_player.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "tools/renderer/ay/frame_source.h"
#include "tools/renderer/tune.h"

namespace tools::ay {
namespace {

// Room above the loudest sum of levels for the filters' overshoot.
constexpr float kHeadroom = 0.9f;

float loudest_side(const Panning& panning) {
  float left = 0, right = 0;
  for (int c = 0; c < 3; ++c) {
    left += panning.left[c];
    right += panning.right[c];
  }
  return std::max(left, right);
}

}  // namespace

bool SongPlayer::playable(const AySong& song, std::string* error) {
  // Chips ran from 0.9 to 2.5 MHz in the machines that used them; a rate
  // far off those is a damaged header, and would make the filters huge or
  // the render endless.
  if (!(song.clock_hz >= kMinClockHz && song.clock_hz <= kMaxClockHz)) {
    *error = "the chip clock of " + std::to_string(song.clock_hz) + " Hz is not one a machine used";
    return false;
  }
  if (!(song.frame_hz >= 10 && song.frame_hz <= 1000)) {
    *error = "the player rate of " + std::to_string(song.frame_hz) + " Hz is not one a machine used";
    return false;
  }
  if (song.frames.empty()) {
    *error = "the song has no frames";
    return false;
  }
  if (song.chips < 1 || song.chips > kMaxChips) {
    *error = "the song asks for " + std::to_string(song.chips) + " chips";
    return false;
  }
  return true;
}

SongPlayer::SongPlayer(const AySong& song) : SongPlayer(std::make_unique<FrameSource>(song)) {}

SongPlayer::SongPlayer(ChipSource& source) : SongPlayer(nullptr, &source) {}

SongPlayer::SongPlayer(std::unique_ptr<ChipSource> owned) : SongPlayer(std::move(owned), nullptr) {}

SongPlayer::SongPlayer(std::unique_ptr<ChipSource> owned, ChipSource* source)
    : own_source_(std::move(owned)),
      source_(source ? *source : *own_source_),
      setup_(source_.setup()),
      chips_(static_cast<size_t>(setup_.chips), AyChip(setup_.chip)),
      panning_(panning_for(setup_.layout)),
      resampler_(setup_.clock_hz / 8),
      gain_(kHeadroom / (loudest_side(panning_) * static_cast<float>(setup_.chips) + setup_.beeper_level)) {}

size_t SongPlayer::render(int16_t* out, size_t frames) {
  size_t done = 0;
  float block[2 * 256];
  while (done < frames) {
    const size_t want = std::min<size_t>(256, frames - done);
    const size_t got = render_float(block, want);
    for (size_t i = 0; i < 2 * got; ++i) {
      const float sample = std::clamp(block[i] * 32767.0f, -32768.0f, 32767.0f);
      out[2 * done + i] = static_cast<int16_t>(std::lrint(sample));
    }
    done += got;
    if (got < want) break;
  }
  return done;
}

size_t SongPlayer::render_float(float* out, size_t frames) {
  size_t done = 0;
  while (done < frames) {
    if (output_read_ == output_.size()) {
      output_.clear();
      output_read_ = 0;
      if (!play_stretch()) break;
      continue;
    }
    size_t n = std::min(frames - done, (output_.size() - output_read_) / 2);
    if (ended_) n = static_cast<size_t>(std::min<uint64_t>(n, end_frame_ - frames_out_));
    if (n == 0) break;
    for (size_t i = 0; i < 2 * n; ++i) out[2 * done + i] = output_[output_read_ + i] * gain_;
    output_read_ += 2 * n;
    done += n;
    frames_out_ += n;
  }
  return done;
}

bool SongPlayer::play_stretch() {
  if (ended_) return false;
  if (!source_.next(&stretch_, &error_)) {
    // The filters hold back a few milliseconds: the last state plays on
    // through them, and the output stops where the song's time does.
    ended_ = true;
    end_frame_ = static_cast<uint64_t>(std::llround(static_cast<double>(ticks_played_) * kSampleRate / (setup_.clock_hz / 8)));
    source_.play_on(static_cast<uint32_t>(setup_.clock_hz / 8 / 50), &stretch_);
    run_stretch();
    return frames_out_ < end_frame_;
  }
  run_stretch();
  ticks_played_ += stretch_.ticks;
  return true;
}

void SongPlayer::run_stretch() {
  float *left, *right;
  resampler_.extend(stretch_.ticks, &left, &right);
  uint32_t at = 0;
  for (const ChipWrite& write : stretch_.writes) {
    const uint32_t until = std::min(write.tick, stretch_.ticks);
    if (until > at) {
      for (AyChip& chip : chips_) chip.run(until - at, panning_, left + at, right + at);
      at = until;
    }
    if (write.chip < chips_.size()) chips_[write.chip].write(write.reg, write.value);
  }
  if (stretch_.ticks > at) {
    for (AyChip& chip : chips_) chip.run(stretch_.ticks - at, panning_, left + at, right + at);
  }
  if (setup_.beeper_level > 0) add_beeper(left, right);
  resampler_.flush(&output_);
}

void SongPlayer::add_beeper(float* left, float* right) {
  // Level by level between edges; the tick an edge falls in takes each
  // level for its share of the tick, so an edge is placed finer than the
  // tick, and the resampler's filter band-limits it like the chip's steps.
  const float high = setup_.beeper_level;
  uint32_t at = 0;
  for (const BeeperEdge& edge : stretch_.beeper) {
    const uint32_t tick = std::min(edge.tick, stretch_.ticks);
    if (beeper_) {
      for (uint32_t i = at; i < tick; ++i) {
        left[i] += high;
        right[i] += high;
      }
    }
    if (tick < stretch_.ticks) {
      const float before = beeper_ ? high : 0.0f;
      const float after = edge.level ? high : 0.0f;
      const float mixed = before * edge.fraction + after * (1 - edge.fraction);
      if (tick >= at) {
        left[tick] += mixed;
        right[tick] += mixed;
      } else {
        // Two edges in one tick: the earlier share is already in.
        left[tick] += (after - before) * (1 - edge.fraction);
        right[tick] += (after - before) * (1 - edge.fraction);
      }
      at = tick + 1;
    } else {
      at = tick;
    }
    beeper_ = edge.level ? 1 : 0;
  }
  if (beeper_) {
    for (uint32_t i = at; i < stretch_.ticks; ++i) {
      left[i] += high;
      right[i] += high;
    }
  }
}

}  // namespace tools::ay
