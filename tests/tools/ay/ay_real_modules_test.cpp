// Every real module of the shared collection in a format the AY engine
// plays, through the renderer as the converter runs it: a WAV that sounds,
// lasts as long as the length policy says, and carries the module's title
// and author as the engine reads them. Every file of the collection is in
// such a format now; one that is not would have to give exit code 1 and no
// WAV.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "tests/tools/made_files.h"
#include "tests/tools/tool_process.h"
#include "tools/renderer/ay_tune.h"
#include "tools/renderer/render_plan.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;

// The formats the collection's folders hold that the engine plays.
const std::set<std::string> kPlayed = {"Pro Tracker 3",    "Pro Tracker 2",     "Pro Tracker 1",
                                       "Sound Tracker",    "ASC Sound Master",  "Sound Tracker Pro",
                                       "SQ-Tracker",       "Pro Sound Creator", "Fuxoft AY Language",
                                       "Fast Tracker",     "Flash Tracker",     "Global Tracker",
                                       "Pro Sound Maker",  "Fuxoft AY Language (AY file)"};

std::vector<fs::path> collection() {
  std::vector<fs::path> files;
  std::error_code ignored;
  for (fs::recursive_directory_iterator it(TOOLS_AY_SAMPLES, ignored), end; it != end; it.increment(ignored)) {
    if (it->is_regular_file() && it->path().extension() != ".md") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

double rms(const std::vector<int16_t>& samples, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
  return to > from ? std::sqrt(sum / (to - from)) : 0;
}

class AyRealModules : public testing::Test {
 protected:
  void SetUp() override {
    work_ = fs::temp_directory_path() / ("tools_ay_real_" + std::to_string(::getpid()));
    fs::create_directories(work_);
  }
  void TearDown() override { fs::remove_all(work_); }
  fs::path work_;
};

TEST_F(AyRealModules, EachRendersAudiblyForItsPlannedLengthWithItsTags) {
  const std::vector<fs::path> files = collection();
  std::map<std::string, int> rendered, titled;
  int refused = 0;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    const tools_test::Bytes data = tools_test::read_file(file.string());
    std::string error;
    const std::unique_ptr<tools::Tune> tune = tools::open_tune(data, file.string(), &error);
    // Copied under a plain name: the folders' names hold blanks and commas.
    const fs::path source = work_ / ("module" + file.extension().string());
    fs::copy_file(file, source, fs::copy_options::overwrite_existing);
    const tools_test::ToolRun run = tools_test::run_tool(TOOLS_AMIGA, {"/adp", source.string()}, work_.string());
    const fs::path wav_path = work_ / "module.wav";
    if (!tune) {
      // Not a format of this engine: refused like any other unknown file.
      EXPECT_EQ(run.exit_code, 1);
      EXPECT_FALSE(fs::exists(wav_path));
      ++refused;
      continue;
    }
    const std::string format = tune->format_name();
    EXPECT_TRUE(kPlayed.count(format)) << format;
    ASSERT_EQ(run.exit_code, 0) << run.error_output;
    const tools_test::WavContents wav = tools_test::read_wav(wav_path.string());
    ASSERT_TRUE(wav.ok);
    fs::remove(wav_path);

    // No longer than the plan, and at least one pass through the song less
    // the silence trimmed at its ends: many modules end by looping a short
    // silent pattern, which leaves the song and a second of its silence.
    const tools::RenderLimits limits;
    const tools::RenderPlan plan = tools::plan_render(tune->length(), limits);
    const double planned = (plan.play_frames + plan.fade_frames) / double(tools::kSampleRate);
    const double song = tune->length().seconds;
    EXPECT_LE(wav.seconds(), std::min(planned, limits.max_audio_seconds) + 0.05);
    EXPECT_GE(wav.seconds(), std::min(song, limits.max_audio_seconds) - 10);
    EXPECT_GE(wav.seconds(), 5.0);
    EXPECT_LE(song, 20 * 60.0);

    // Sound through at least half of it, well above the silence level
    // (some modules leave long stretches to a quiet drum alone).
    const size_t second = 2 * tools::kSampleRate;
    size_t loud = 0, seconds = 0;
    for (size_t at = 0; at + second <= wav.samples.size(); at += second, ++seconds) {
      if (rms(wav.samples, at, at + second) > 300) ++loud;
    }
    EXPECT_GT(loud, seconds / 2) << loud << " of " << seconds << " seconds loud";
    EXPECT_GT(tools_test::peak(wav.samples), 4000);

    // The tags the engine reads, converted to UTF-8, are the WAV's.
    const tools::TuneTags tags = tune->tags();
    EXPECT_EQ(wav.title, tags.title);
    EXPECT_EQ(wav.artist, tags.artist);
    ++rendered[format];
    if (!tags.title.empty()) ++titled[format];
  }
  // Every tracker format the issue names is in the collection and plays.
  for (const std::string& format : kPlayed) EXPECT_GE(rendered[format], 1) << format;
  // Those whose modules carry names show them.
  for (const char* format : {"Pro Tracker 3", "Pro Tracker 2", "Pro Tracker 1", "ASC Sound Master", "Pro Sound Creator",
                             "Fuxoft AY Language (AY file)"}) {
    EXPECT_GE(titled[format], 1) << format;
  }
  EXPECT_EQ(refused, 0);
}

}  // namespace
