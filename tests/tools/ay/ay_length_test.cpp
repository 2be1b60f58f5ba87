// How long AY songs play: a dump without a loop frame plays its frames
// once; a dump that states one, and a tracker module whose position list
// loops, play the intro, the loop twice and the 8-second fade.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/tools/ay/made_ay_files.h"
#include "tools/renderer/ay/psg_dump.h"
#include "tools/renderer/ay/ym_dump.h"
#include "tools/renderer/ay_tune.h"
#include "tools/renderer/render_plan.h"

namespace {

using tools::TuneLength;

class Collect : public tools::PcmSink {
 public:
  bool write(const int16_t* frames, size_t count) override {
    samples.insert(samples.end(), frames, frames + 2 * count);
    return true;
  }
  std::vector<int16_t> samples;
};

std::unique_ptr<tools::Tune> open(const tools_test::Bytes& file) {
  std::string error;
  std::unique_ptr<tools::Tune> tune = tools::open_tune(file, "made", &error);
  EXPECT_TRUE(tune) << error;
  return tune;
}

struct Rendered {
  tools::RenderOutcome outcome;
  std::vector<int16_t> samples;
};

Rendered render(tools::Tune& tune) {
  const tools::RenderLimits limits;
  Collect sink;
  Rendered rendered;
  rendered.outcome = tools::render_tune(tune, tools::plan_render(tune.length(), limits), limits, sink);
  rendered.samples = std::move(sink.samples);
  return rendered;
}

// The frequency of the left side over the 80 ms from `at` seconds, from its
// zero crossings.
double frequency_at(const std::vector<int16_t>& samples, double at) {
  const size_t from = static_cast<size_t>(at * 44100), to = from + 3528;
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = from + 1; i < to && 2 * i < samples.size(); ++i) {
    const double a = samples[2 * (i - 1)], b = samples[2 * i];
    if (a < 0 && b >= 0) {
      const double t = (i - 1) + a / (a - b);
      if (first < 0) first = t;
      last = t;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * 44100.0 / (last - first) : 0;
}

double rms(const std::vector<int16_t>& samples, double from, double to) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = static_cast<size_t>(from * 44100); i < static_cast<size_t>(to * 44100) && 2 * i < samples.size(); ++i, ++n) {
    sum += double(samples[2 * i]) * samples[2 * i];
  }
  return n ? std::sqrt(sum / n) : 0;
}

TEST(AyLength, DumpWithoutALoopFramePlaysItsFramesOnce) {
  const std::unique_ptr<tools::Tune> tune = open(tools_test::make_psg(tools_test::scale_frames(150, 10), 50));
  ASSERT_TRUE(tune);
  const TuneLength length = tune->length();
  EXPECT_EQ(length.kind, TuneLength::Kind::ends);
  EXPECT_DOUBLE_EQ(length.seconds, 3.0);
  const Rendered rendered = render(*tune);
  EXPECT_EQ(rendered.outcome.rendered_frames, 3 * 44100);
}

TEST(AyLength, DumpWithALoopFramePlaysIntroTwoLoopsAndTheFade) {
  // Two seconds: a low tone for the first half second, then the scale;
  // the song loops back to frame 25, half a second in.
  std::vector<tools_test::RegisterFrame> frames = tools_test::scale_frames(100, 5);
  for (size_t f = 0; f < 25; ++f) frames[f] = tools_test::tone_frame(1000, 15);
  tools_test::YmFile made;
  made.loop_frame = 25;
  const std::unique_ptr<tools::Tune> tune = open(tools_test::lha_archive(tools_test::make_ym(made, frames), "x"));
  ASSERT_TRUE(tune);
  const TuneLength length = tune->length();
  EXPECT_EQ(length.kind, TuneLength::Kind::loops);
  EXPECT_DOUBLE_EQ(length.seconds, 2.0);
  EXPECT_DOUBLE_EQ(length.loop_start, 0.5);
  const Rendered rendered = render(*tune);
  // 0.5 s intro, 1.5 s loop, the loop again, 8 s of fade into a third pass.
  EXPECT_EQ(rendered.outcome.rendered_frames, static_cast<int64_t>((0.5 + 1.5 + 1.5 + 8) * 44100));
  // The second pass starts at the loop frame, not at the intro.
  // The scale's notes last 0.1 s; the loop starts on its sixth (period 252).
  EXPECT_NEAR(frequency_at(rendered.samples, 0.3), 2000000 / (16.0 * 1000), 1);
  for (double at : {0.51, 2.01, 3.51}) EXPECT_NEAR(frequency_at(rendered.samples, at), 2000000 / (16.0 * 252), 1) << at;
  // The fade: full level until 3.5 seconds, then falling to nothing.
  EXPECT_NEAR(rms(rendered.samples, 2.5, 3.5), rms(rendered.samples, 0.5, 1.5), 0.1 * rms(rendered.samples, 0.5, 1.5));
  EXPECT_LT(rms(rendered.samples, 11, 11.5), 0.1 * rms(rendered.samples, 2.5, 3.5));
}

TEST(AyLength, TrackerSongsLoopAndEndAlikeAndALoopPastTheEndIsNone) {
  tools::ay::AySong song;
  song.frames.resize(500);
  song.loop_frame = 0;  // a position list that loops to its start
  TuneLength length = tools::ay_song_length(song);
  EXPECT_EQ(length.kind, TuneLength::Kind::loops);
  EXPECT_DOUBLE_EQ(length.seconds, 10.0);
  EXPECT_DOUBLE_EQ(length.loop_start, 0.0);
  song.loop_frame = 500;
  EXPECT_EQ(tools::ay_song_length(song).kind, TuneLength::Kind::ends);
  song.loop_frame = -1;
  song.frame_hz = 25;
  length = tools::ay_song_length(song);
  EXPECT_EQ(length.kind, TuneLength::Kind::ends);
  EXPECT_DOUBLE_EQ(length.seconds, 20.0);
}

}  // namespace
