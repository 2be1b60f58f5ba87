#include "tools/renderer/ay/song_player.h"

#include <algorithm>
#include <cmath>
#include <string>

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

SongPlayer::SongPlayer(const AySong& song)
    : song_(song),
      chips_(static_cast<size_t>(song.chips), AyChip(song.chip)),
      panning_(panning_for(song.layout)),
      resampler_(song.clock_hz / 8),
      gain_(kHeadroom / (loudest_side(panning_for(song.layout)) * static_cast<float>(song.chips))),
      ticks_per_frame_(song.clock_hz / 8 / song.frame_hz) {}

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
      if (!play_frame()) break;
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

bool SongPlayer::play_frame() {
  if (ended_) return false;
  if (frame_ >= song_.frames.size()) {
    if (!play_past_end_) {
      // The filters hold back a few milliseconds: the last state plays on
      // through them, and the output stops where the song's time does.
      ended_ = true;
      end_frame_ = static_cast<uint64_t>(std::llround(static_cast<double>(ticks_played_) * kSampleRate / (song_.clock_hz / 8)));
      run_ticks(static_cast<size_t>(song_.clock_hz / 8 / 50));
      return frames_out_ < end_frame_;
    }
    frame_ = song_.loop_frame >= 0 && static_cast<size_t>(song_.loop_frame) < song_.frames.size()
                 ? static_cast<size_t>(song_.loop_frame)
                 : 0;
  }
  start_effects(frame_);
  write_frame(frame_);
  tick_debt_ += ticks_per_frame_;
  const auto ticks = static_cast<size_t>(tick_debt_);
  tick_debt_ -= static_cast<double>(ticks);
  run_ticks(ticks);
  ticks_played_ += ticks;
  ++frame_;
  return true;
}

void SongPlayer::write_frame(size_t index) {
  const Frame& frame = song_.frames[index];
  // A playing drum or SID owns its voice's volume: the register holds the
  // drum's number or the SID's top level, which the timer plays.
  bool owned[3] = {false, false, false};
  if (drum_.playing) owned[drum_.voice] = true;
  for (const EffectTimer& timer : timers_) {
    if (timer.effect.kind == TimerEffect::Kind::sid) owned[timer.effect.voice] = true;
  }
  for (size_t chip = 0; chip < chips_.size(); ++chip) {
    const ChipFrame& regs = frame[chip];
    for (int reg = 0; reg < 13; ++reg) {
      if (chip == 0 && reg >= 8 && reg <= 10 && owned[reg - 8]) continue;
      chips_[chip].write(reg, regs.regs[reg]);
    }
    if (regs.shape_written) chips_[chip].write(13, regs.regs[13]);
  }
  for (const EffectTimer& timer : timers_) {
    if (timer.effect.kind == TimerEffect::Kind::sid) {
      chips_[0].write(8 + timer.effect.voice, timer.high ? timer.effect.value : 0);
    }
  }
}

void SongPlayer::start_effects(size_t index) {
  const double tick_rate = song_.clock_hz / 8;
  for (int slot = 0; slot < 2; ++slot) {
    EffectTimer& timer = timers_[slot];
    const TimerEffect none;
    const TimerEffect& effect = index < song_.effects.size() ? song_.effects[index][slot] : none;
    if (effect.kind == TimerEffect::Kind::none || !(effect.hz > 0)) {
      timer.effect = none;
      continue;
    }
    const double period = std::max(1.0, tick_rate / effect.hz);
    if (effect.kind == TimerEffect::Kind::digidrum) {
      timer.effect = none;
      if (effect.value < song_.digidrums.size() && !song_.digidrums[effect.value].empty()) {
        drum_ = {true, effect.voice, &song_.digidrums[effect.value], 0, period, 0};
      }
      continue;
    }
    // A timer that goes on unchanged keeps its phase across the frame.
    const bool same = timer.effect.kind == effect.kind && timer.effect.voice == effect.voice &&
                      timer.effect.hz == effect.hz;
    if (!same) {
      timer.next = period;
      timer.high = true;
    }
    timer.effect = effect;
    timer.period = period;
  }
}

void SongPlayer::run_ticks(size_t ticks) {
  float *left, *right;
  resampler_.extend(ticks, &left, &right);
  size_t at = 0;
  while (at < ticks) {
    // Up to the next timer event, then the event.
    double until = static_cast<double>(ticks - at);
    for (const EffectTimer& timer : timers_) {
      if (timer.effect.kind != TimerEffect::Kind::none) until = std::min(until, timer.next);
    }
    if (drum_.playing) until = std::min(until, drum_.next);
    const size_t span = std::min(ticks - at, static_cast<size_t>(std::max(0.0, std::ceil(until))));
    if (span > 0) {
      for (size_t chip = 0; chip < chips_.size(); ++chip) {
        chips_[chip].run(span, panning_, left + at, right + at);
      }
      at += span;
    }
    const auto elapsed = static_cast<double>(span);
    for (EffectTimer& timer : timers_) {
      if (timer.effect.kind == TimerEffect::Kind::none) continue;
      timer.next -= elapsed;
      if (timer.next > 0) continue;
      timer.next += timer.period;
      AyChip& chip = chips_[0];
      const int volume_reg = 8 + timer.effect.voice;
      if (timer.effect.kind == TimerEffect::Kind::sid) {
        timer.high = !timer.high;
        chip.write(volume_reg, timer.high ? timer.effect.value & 15 : 0);
      } else if (timer.effect.kind == TimerEffect::Kind::sync_buzzer) {
        chip.write(13, timer.effect.value & 15);
      }
    }
    if (drum_.playing) {
      drum_.next -= elapsed;
      if (drum_.next <= 0) {
        drum_.next += drum_.period;
        if (drum_.position < drum_.samples->size()) {
          chips_[0].write(8 + drum_.voice, (*drum_.samples)[drum_.position++] & 15);
        } else {
          drum_.playing = false;
        }
      }
    }
  }
  resampler_.flush(&output_);
}

}  // namespace tools::ay
