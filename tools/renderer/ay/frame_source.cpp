#include "tools/renderer/ay/frame_source.h"

#include <algorithm>
#include <cmath>

namespace tools::ay {

FrameSource::FrameSource(const AySong& song) : song_(song), ticks_per_frame_(song.clock_hz / 8 / song.frame_hz) {}

ChipSetup FrameSource::setup() const {
  ChipSetup setup;
  setup.chip = song_.chip;
  setup.layout = song_.layout;
  setup.clock_hz = song_.clock_hz;
  setup.chips = song_.chips;
  return setup;
}

bool FrameSource::next(Stretch* stretch, std::string*) {
  stretch->clear();
  if (frame_ >= song_.frames.size()) {
    if (!play_past_end_) return false;
    frame_ = song_.loop_frame >= 0 && static_cast<size_t>(song_.loop_frame) < song_.frames.size()
                 ? static_cast<size_t>(song_.loop_frame)
                 : 0;
  }
  stretch->loop_start = song_.loop_frame >= 0 && frame_ == static_cast<size_t>(song_.loop_frame);
  start_effects(frame_);
  write_frame(frame_, stretch);
  tick_debt_ += ticks_per_frame_;
  const auto ticks = static_cast<uint32_t>(tick_debt_);
  tick_debt_ -= static_cast<double>(ticks);
  stretch->ticks = ticks;
  run_effects(ticks, stretch);
  ++frame_;
  return true;
}

void FrameSource::play_on(uint32_t ticks, Stretch* stretch) {
  stretch->clear();
  stretch->ticks = ticks;
  run_effects(ticks, stretch);
}

void FrameSource::write_frame(size_t index, Stretch* stretch) {
  const Frame& frame = song_.frames[index];
  // A playing drum or SID owns its voice's volume: the register holds the
  // drum's number or the SID's top level, which the timer plays.
  bool owned[3] = {false, false, false};
  if (drum_.playing) owned[drum_.voice] = true;
  for (const EffectTimer& timer : timers_) {
    if (timer.effect.kind == TimerEffect::Kind::sid) owned[timer.effect.voice] = true;
  }
  for (int chip = 0; chip < song_.chips; ++chip) {
    const ChipFrame& regs = frame[chip];
    for (int reg = 0; reg < 13; ++reg) {
      if (chip == 0 && reg >= 8 && reg <= 10 && owned[reg - 8]) continue;
      stretch->writes.push_back({0, static_cast<uint8_t>(chip), static_cast<uint8_t>(reg), regs.regs[reg]});
    }
    if (regs.shape_written) stretch->writes.push_back({0, static_cast<uint8_t>(chip), 13, regs.regs[13]});
  }
  for (const EffectTimer& timer : timers_) {
    if (timer.effect.kind == TimerEffect::Kind::sid) {
      const uint8_t level = timer.high ? timer.effect.value : 0;
      stretch->writes.push_back({0, 0, static_cast<uint8_t>(8 + timer.effect.voice), level});
    }
  }
}

void FrameSource::start_effects(size_t index) {
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

void FrameSource::run_effects(uint32_t ticks, Stretch* stretch) {
  uint32_t at = 0;
  while (at < ticks) {
    // Up to the next timer event, then the event.
    double until = static_cast<double>(ticks - at);
    for (const EffectTimer& timer : timers_) {
      if (timer.effect.kind != TimerEffect::Kind::none) until = std::min(until, timer.next);
    }
    if (drum_.playing) until = std::min(until, drum_.next);
    const uint32_t span = std::min(ticks - at, static_cast<uint32_t>(std::max(0.0, std::ceil(until))));
    at += span;
    const auto elapsed = static_cast<double>(span);
    for (EffectTimer& timer : timers_) {
      if (timer.effect.kind == TimerEffect::Kind::none) continue;
      timer.next -= elapsed;
      if (timer.next > 0) continue;
      timer.next += timer.period;
      const auto volume_reg = static_cast<uint8_t>(8 + timer.effect.voice);
      if (timer.effect.kind == TimerEffect::Kind::sid) {
        timer.high = !timer.high;
        stretch->writes.push_back({at, 0, volume_reg, static_cast<uint8_t>(timer.high ? timer.effect.value & 15 : 0)});
      } else if (timer.effect.kind == TimerEffect::Kind::sync_buzzer) {
        stretch->writes.push_back({at, 0, 13, static_cast<uint8_t>(timer.effect.value & 15)});
      }
    }
    if (drum_.playing) {
      drum_.next -= elapsed;
      if (drum_.next <= 0) {
        drum_.next += drum_.period;
        if (drum_.position < drum_.samples->size()) {
          stretch->writes.push_back(
              {at, 0, static_cast<uint8_t>(8 + drum_.voice), static_cast<uint8_t>((*drum_.samples)[drum_.position++] & 15)});
        } else {
          drum_.playing = false;
        }
      }
    }
  }
}

}  // namespace tools::ay
