#include "tools/renderer/render_plan.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tools {
namespace {

constexpr int64_t kSecond = kSampleRate;

// A tune made of segments of constant level; it ends after the last one
// unless asked to play past its end, when it repeats from `repeat_from`.
class ScriptedTune : public Tune {
 public:
  struct Segment {
    int64_t frames;
    int16_t level;
  };
  ScriptedTune(std::vector<Segment> segments, TuneLength length, bool endless = false)
      : segments_(std::move(segments)), length_(length), endless_(endless) {}

  std::string format_name() const override { return "scripted"; }
  TuneTags tags() const override { return {}; }
  TuneLength length() const override { return length_; }
  void set_play_past_end(bool play_on) override { play_past_end_ = play_on; }

  size_t render(int16_t* out, size_t frames) override {
    size_t done = 0;
    while (done < frames) {
      int64_t position = position_;
      size_t segment = 0;
      while (segment < segments_.size() && position >= segments_[segment].frames) {
        position -= segments_[segment].frames;
        ++segment;
      }
      if (segment == segments_.size()) {
        if (!endless_ && !play_past_end_) break;
        position_ = 0;
        continue;
      }
      // Alternate signs so that a level reads as a tone, not as DC.
      out[2 * done] = out[2 * done + 1] = static_cast<int16_t>(position_ % 2 ? segments_[segment].level
                                                                             : -segments_[segment].level);
      ++position_;
      ++done;
    }
    return done;
  }

 private:
  std::vector<Segment> segments_;
  TuneLength length_;
  bool endless_;
  bool play_past_end_ = false;
  int64_t position_ = 0;
};

class CollectingSink : public PcmSink {
 public:
  bool write(const int16_t* frames, size_t count) override {
    samples.insert(samples.end(), frames, frames + 2 * count);
    return true;
  }
  int64_t frames() const { return static_cast<int64_t>(samples.size() / 2); }
  std::vector<int16_t> samples;
};

TuneLength length_of(TuneLength::Kind kind, double seconds = 0, double loop_start = 0) {
  TuneLength length;
  length.kind = kind;
  length.seconds = seconds;
  length.loop_start = loop_start;
  return length;
}

class RenderPolicy : public testing::Test {
 protected:
  CollectingSink render(ScriptedTune& tune) {
    CollectingSink sink;
    render_tune(tune, plan_render(tune.length(), limits_), limits_, sink);
    return sink;
  }
  RenderLimits limits_;
};

TEST_F(RenderPolicy, ModuleThatEndsPlaysOnceToItsEnd) {
  ScriptedTune tune({{30 * kSecond, 1000}}, length_of(TuneLength::Kind::ends, 30));
  EXPECT_EQ(render(tune).frames(), 30 * kSecond);
}

TEST_F(RenderPolicy, LoopingTrackPlaysIntroTwoLoopsAndAnEightSecondFade) {
  // 2 s intro, 10 s loop: 2 + 10 + 10, then 8 s of fade into the third pass.
  ScriptedTune tune({{12 * kSecond, 1000}}, length_of(TuneLength::Kind::loops, 12, 2));
  const CollectingSink sink = render(tune);
  // The end of the fade falls below the silence level and is trimmed, yet
  // no more than the last second of the fade.
  EXPECT_LE(sink.frames(), 30 * kSecond);
  EXPECT_GT(sink.frames(), 29 * kSecond);
  const size_t fade_middle = static_cast<size_t>(2 * (22 * kSecond + 4 * kSecond));
  EXPECT_NEAR(std::abs(sink.samples[fade_middle]), 500, 2);
  EXPECT_EQ(std::abs(sink.samples[static_cast<size_t>(2 * (21 * kSecond))]), 1000);
}

TEST_F(RenderPolicy, StatedLengthIsPlayedExactly) {
  ScriptedTune tune({{5 * kSecond, 1000}}, length_of(TuneLength::Kind::stated, 42.5), true);
  EXPECT_EQ(render(tune).frames(), 42 * kSecond + kSecond / 2);
}

TEST_F(RenderPolicy, UnknownLengthStopsAfterSixSecondsOfSilence) {
  ScriptedTune tune({{20 * kSecond, 1000}, {60 * kSecond, 0}}, length_of(TuneLength::Kind::unknown), true);
  // The sound, then one kept second of the silence.
  EXPECT_EQ(render(tune).frames(), 21 * kSecond);
}

TEST_F(RenderPolicy, UnknownLengthStopsAt150SecondsWithAFade) {
  ScriptedTune tune({{kSecond, 3000}}, length_of(TuneLength::Kind::unknown), true);
  const CollectingSink sink = render(tune);
  EXPECT_GT(sink.frames(), 157 * kSecond);
  EXPECT_LE(sink.frames(), 158 * kSecond);
  EXPECT_EQ(std::abs(sink.samples[static_cast<size_t>(2 * 149 * kSecond)]), 3000);
  EXPECT_LT(std::abs(sink.samples.back()), 3000 / 8 + 1);
}

TEST_F(RenderPolicy, LeadingSilenceIsSkippedAndTrailingSilenceCutToOneSecond) {
  ScriptedTune tune({{3 * kSecond, 0}, {4 * kSecond, 1000}, {5 * kSecond, 5}}, length_of(TuneLength::Kind::ends, 12));
  const CollectingSink sink = render(tune);
  EXPECT_EQ(sink.frames(), 5 * kSecond);
  EXPECT_EQ(std::abs(sink.samples[0]), 1000);
}

TEST_F(RenderPolicy, SilenceInsideATrackIsKept) {
  ScriptedTune tune({{kSecond, 1000}, {10 * kSecond, 0}, {kSecond, 1000}}, length_of(TuneLength::Kind::ends, 12));
  EXPECT_EQ(render(tune).frames(), 12 * kSecond);
}

TEST_F(RenderPolicy, NothingButSilenceWritesNothing) {
  ScriptedTune tune({{10 * kSecond, 3}}, length_of(TuneLength::Kind::ends, 10));
  EXPECT_EQ(render(tune).frames(), 0);
}

TEST_F(RenderPolicy, NoRenderExceedsTwentyMinutesAndItEndsInAFade) {
  ScriptedTune tune({{kSecond, 1000}}, length_of(TuneLength::Kind::loops, 1000, 10), true);
  const RenderPlan plan = plan_render(tune.length(), limits_);
  EXPECT_EQ(plan.play_frames + plan.fade_frames, 20 * 60 * kSecond);
  EXPECT_EQ(plan.fade_frames, 8 * kSecond);
  ScriptedTune endless({{kSecond, 1000}}, length_of(TuneLength::Kind::ends, 5000), true);
  const CollectingSink sink = render(endless);
  EXPECT_LE(sink.frames(), 20 * 60 * kSecond);
  EXPECT_GT(sink.frames(), 20 * 60 * kSecond - 2 * kSecond);
}

TEST_F(RenderPolicy, EngineStoppingEarlyEndsTheRender) {
  // The tune claims a loop but its engine stops after 3 s.
  ScriptedTune tune({{3 * kSecond, 1000}}, length_of(TuneLength::Kind::ends, 100));
  EXPECT_EQ(render(tune).frames(), 3 * kSecond);
}

}  // namespace
}  // namespace tools
