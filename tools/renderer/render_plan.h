// How long a track plays and how its ends are trimmed. The plan is made
// from what the tune states before a note is rendered; the pipeline then
// renders by it, fades, skips the leading silence and cuts the trailing one.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/renderer/tune.h"

namespace tools {

struct RenderLimits {
  double max_audio_seconds = 20 * 60;        // no WAV is ever longer
  double unknown_length_seconds = 150;       // a track with no length stops here
  double silence_stop_seconds = 6;           // ... or after this much silence
  double fade_seconds = 8;
  double kept_trailing_silence_seconds = 1;
};

// A sample this close to zero counts as silence (about -66 dBFS): dither
// keeps a track's quiet parts from being exactly zero.
constexpr int kSilenceLevel = 16;

struct RenderPlan {
  int64_t play_frames = 0;  // rendered at full volume, unless the track ends first
  int64_t fade_frames = 0;  // then faded out to nothing over this many
  bool play_past_end = false;
  bool stop_on_silence = false;
};

RenderPlan plan_render(const TuneLength& length, const RenderLimits& limits);

// Receives the finished audio in blocks of interleaved stereo frames.
class PcmSink {
 public:
  virtual ~PcmSink() = default;
  virtual bool write(const int16_t* frames, size_t count) = 0;
};

struct RenderOutcome {
  int64_t rendered_frames = 0;  // what the engine produced
  int64_t written_frames = 0;   // what reached the sink
  bool sink_failed = false;
};

// Renders `tune` by `plan` into `sink`.
RenderOutcome render_tune(Tune& tune, const RenderPlan& plan, const RenderLimits& limits, PcmSink& sink);

}  // namespace tools
