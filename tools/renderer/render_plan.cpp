#include "tools/renderer/render_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tools {
namespace {

int64_t to_frames(double seconds) { return static_cast<int64_t>(std::llround(seconds * kSampleRate)); }

bool is_silent(const int16_t* frame) {
  // |sample| <= level for both, as one unsigned compare each.
  return static_cast<unsigned>(frame[0] + kSilenceLevel) <= 2 * kSilenceLevel &&
         static_cast<unsigned>(frame[1] + kSilenceLevel) <= 2 * kSilenceLevel;
}

// Holds back silent frames until it is known whether sound follows them;
// drops the silence before the first sound. Silence between sounds is kept
// as it is, so a block needs looking at only from its ends: up to its first
// sound while none was heard yet, and back from its end to its last sound.
// Music is rarely silent at a block's end, so that costs next to nothing,
// and what the block lets through goes to the sink in one write.
class SilenceTrimmer {
 public:
  SilenceTrimmer(PcmSink& sink, int64_t kept_tail) : sink_(sink), kept_tail_(kept_tail) {}

  bool push(const int16_t* frames, size_t count) {
    size_t first = 0;
    if (!heard_sound_) {
      while (first < count && is_silent(frames + 2 * first)) ++first;
      if (first == count) return true;
      heard_sound_ = true;
    }
    size_t end = count;  // one past the block's last sound
    while (end > first && is_silent(frames + 2 * (end - 1))) --end;
    if (end == first) {
      pending_.insert(pending_.end(), frames + 2 * first, frames + 2 * count);
      return true;
    }
    // The silence held back is followed by sound: it goes out before it.
    bool ok = true;
    if (pending_.empty()) {
      ok = write(frames + 2 * first, end - first);
    } else {
      pending_.insert(pending_.end(), frames + 2 * first, frames + 2 * end);
      ok = write(pending_.data(), pending_.size() / 2);
      pending_.clear();
    }
    pending_.insert(pending_.end(), frames + 2 * end, frames + 2 * count);
    return ok;
  }

  // The trailing silence, cut to what is kept of it.
  bool finish() { return flush(std::min<int64_t>(pending_.size() / 2, kept_tail_)); }

  int64_t pending_silence() const { return static_cast<int64_t>(pending_.size() / 2); }
  int64_t written() const { return written_; }

 private:
  bool flush(size_t count) {
    const bool ok = count == 0 || write(pending_.data(), count);
    pending_.clear();
    return ok;
  }

  bool write(const int16_t* frames, size_t count) {
    written_ += static_cast<int64_t>(count);
    return sink_.write(frames, count);
  }

  PcmSink& sink_;
  const int64_t kept_tail_;
  std::vector<int16_t> pending_;
  bool heard_sound_ = false;
  int64_t written_ = 0;
};

}  // namespace

RenderPlan plan_render(const TuneLength& length, const RenderLimits& limits) {
  RenderPlan plan;
  const int64_t max_frames = to_frames(limits.max_audio_seconds);
  const int64_t fade = to_frames(limits.fade_seconds);
  switch (length.kind) {
    case TuneLength::Kind::stated:
      plan.play_frames = to_frames(length.seconds);
      plan.play_past_end = true;
      break;
    case TuneLength::Kind::loops: {
      // The intro, the loop, the loop once more, then a fade into the third.
      const double loop = length.seconds - length.loop_start;
      plan.play_frames = to_frames(length.seconds + loop);
      plan.fade_frames = fade;
      plan.play_past_end = true;
      break;
    }
    case TuneLength::Kind::ends:
      // To its own end; the cap below only matters for very long ones.
      plan.play_frames = max_frames;
      break;
    case TuneLength::Kind::unknown:
      plan.play_frames = to_frames(limits.unknown_length_seconds);
      plan.fade_frames = fade;
      plan.play_past_end = true;
      plan.stop_on_silence = true;
      break;
  }
  if (plan.play_frames + plan.fade_frames > max_frames) {
    // Too long for the cap: still end in a fade, not in a cut.
    plan.fade_frames = std::min(fade, max_frames);
    plan.play_frames = max_frames - plan.fade_frames;
  }
  return plan;
}

RenderOutcome render_tune(Tune& tune, const RenderPlan& plan, const RenderLimits& limits, PcmSink& sink) {
  RenderOutcome outcome;
  tune.set_play_past_end(plan.play_past_end);
  SilenceTrimmer trimmer(sink, to_frames(limits.kept_trailing_silence_seconds));
  const int64_t total = plan.play_frames + plan.fade_frames;
  const int64_t silence_stop = to_frames(limits.silence_stop_seconds);
  // libopenmpt's mix depends slightly on how much is read at a time; its
  // own player reads 1024 frames, and so the same file renders the same.
  constexpr size_t kBlock = 1024;
  std::vector<int16_t> block(2 * kBlock);
  while (outcome.rendered_frames < total) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(kBlock, total - outcome.rendered_frames));
    const size_t got = tune.render(block.data(), want);
    if (got == 0) break;
    // Only the frames past the full-volume part are faded.
    const int64_t first_faded = std::max<int64_t>(0, plan.play_frames - outcome.rendered_frames);
    for (size_t i = static_cast<size_t>(std::min<int64_t>(first_faded, static_cast<int64_t>(got))); i < got; ++i) {
      const int64_t into_fade = outcome.rendered_frames + static_cast<int64_t>(i) - plan.play_frames;
      const double gain = 1.0 - static_cast<double>(into_fade) / static_cast<double>(plan.fade_frames);
      for (int c = 0; c < 2; ++c) {
        int16_t& sample = block[2 * i + c];
        sample = static_cast<int16_t>(std::lround(sample * gain));
      }
    }
    outcome.rendered_frames += static_cast<int64_t>(got);
    if (!trimmer.push(block.data(), got)) {
      outcome.sink_failed = true;
      return outcome;
    }
    if (plan.stop_on_silence && trimmer.written() > 0 && trimmer.pending_silence() >= silence_stop) break;
    if (got < want) break;
  }
  if (!trimmer.finish()) outcome.sink_failed = true;
  outcome.written_frames = trimmer.written();
  return outcome;
}

}  // namespace tools
