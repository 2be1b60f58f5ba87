// Real music, written by other people and fetched from Debian packages by
// the setup, rendered by our renderer and by libopenmpt's own player; and
// our encoder against the reference encoder on the same library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "tests/tools/made_files.h"
#include "tools/renderer/render_job.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;

fs::path cache_dir() {
  if (const char* cache = std::getenv("QUARVO_CACHE")) return cache;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME")) return fs::path(xdg) / "quarvo";
  return fs::path(std::getenv("HOME")) / ".cache" / "quarvo";
}

bool is_module_name(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
  return ext == ".mod" || ext == ".xm" || ext == ".s3m" || ext == ".it" || ext == ".mptm";
}

// The game music that scripts/fetch-tunes unpacked.
std::vector<fs::path> real_tunes() {
  std::vector<fs::path> tunes;
  std::error_code ignored;
  for (fs::recursive_directory_iterator it(cache_dir() / "tunes", ignored), end; it != end; it.increment(ignored)) {
    if (it->is_regular_file() && is_module_name(it->path())) tunes.push_back(it->path());
  }
  std::sort(tunes.begin(), tunes.end());
  return tunes;
}

bool is_silent_frame(const std::vector<int16_t>& samples, size_t frame) {
  return std::abs(samples[2 * frame]) <= tools::kSilenceLevel && std::abs(samples[2 * frame + 1]) <= tools::kSilenceLevel;
}

int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

class RealTunes : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    work_ = fs::temp_directory_path() / ("tools_peer_" + std::to_string(::getpid()));
    fs::create_directories(work_);
  }
  static void TearDownTestSuite() { fs::remove_all(work_); }

  static fs::path work_;
};
fs::path RealTunes::work_;

TEST_F(RealTunes, RenderLikeLibopenmptsOwnPlayerWithTheLengthPolicyAndTags) {
  const std::vector<fs::path> tunes = real_tunes();
  ASSERT_GE(tunes.size(), 10u) << "scripts/fetch-tunes has not fetched the tunes into " << cache_dir();
  std::map<std::string, int> formats;
  int looping = 0;
  for (const fs::path& tune_path : tunes) {
    SCOPED_TRACE(tune_path.string());
    const fs::path copy = work_ / tune_path.filename();
    fs::copy_file(tune_path, copy, fs::copy_options::overwrite_existing);
    const tools_test::Bytes data = tools_test::read_file(copy.string());
    std::string error;
    const std::unique_ptr<tools::Tune> tune = tools::open_tune(data, copy.string(), &error);
    ASSERT_TRUE(tune) << error;
    const tools::TuneLength length = tune->length();

    const fs::path ours = work_ / "ours.wav";
    ASSERT_TRUE(tools::render_file(copy.string(), ours.string(), tools::RenderLimits(), &error)) << error;
    const tools_test::WavContents wav = tools_test::read_wav(ours.string());
    ASSERT_TRUE(wav.ok);
    EXPECT_EQ(wav.sample_rate, 44100);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.software.rfind("amiga ", 0), 0u);
    EXPECT_EQ(wav.title, tune->tags().title);
    EXPECT_GT(tools_test::peak(wav.samples), 500) << "silent";
    EXPECT_LE(wav.seconds(), 20 * 60);

    // libopenmpt's player, once through, with the same rate and settings.
    const fs::path reference = fs::path(copy.string() + ".wav");
    fs::remove(reference);
    ASSERT_EQ(run("cd " + quoted(work_) + " && openmpt123 --batch --render --force --samplerate 44100 "
                  "--no-float --subsong 0 --dither 0 --repeat 0 --ctl play.at_end=stop --output-type wav " + quoted(copy.filename())),
              0);
    const tools_test::WavContents peer = tools_test::read_wav(reference.string());
    ASSERT_TRUE(peer.ok);
    const size_t peer_frames = peer.samples.size() / 2;
    size_t lead = 0;
    while (lead < peer_frames && is_silent_frame(peer.samples, lead)) ++lead;
    size_t last_sound = peer_frames;
    while (last_sound > lead && is_silent_frame(peer.samples, last_sound - 1)) --last_sound;

    // Sample for sample over the part before any fade, within rounding.
    const size_t compared = std::min(wav.samples.size() / 2, last_sound - lead);
    size_t mismatches = 0;
    int worst = 0;
    for (size_t i = 0; i < 2 * compared; ++i) {
      const int difference = std::abs(wav.samples[i] - peer.samples[2 * lead + i]);
      mismatches += difference != 0;
      worst = std::max(worst, difference);
    }
    EXPECT_LE(worst, 1);
    EXPECT_LT(mismatches, compared / 100 + 1);

    const double played = static_cast<double>(last_sound - lead) / 44100;
    const double kept_tail = std::min(1.0, static_cast<double>(peer_frames - last_sound) / 44100);
    if (length.kind == tools::TuneLength::Kind::loops) {
      ++looping;
      // Intro, two loops, eight seconds of fade whose quietest end is cut.
      const double expected = 2 * length.seconds - length.loop_start + 8 - static_cast<double>(lead) / 44100;
      EXPECT_LE(wav.seconds(), std::min(expected, 1200.0) + 0.1);
      EXPECT_GE(wav.seconds(), std::min(expected, 1200.0) - 1.5);
    } else {
      EXPECT_EQ(length.kind, tools::TuneLength::Kind::ends);
      // Once to its end: the peer's audio less its silences, plus the kept
      // second of trailing silence.
      EXPECT_NEAR(wav.seconds(), played + kept_tail, 0.05);
    }
    formats[copy.extension().string()]++;
    fs::remove(reference);
    fs::remove(copy);
  }
  std::string summary;
  for (const auto& [format, count] : formats) summary += format + " " + std::to_string(count) + "  ";
  std::printf("rendered %zu real tunes (%s), %d of them loop\n", tunes.size(), summary.c_str(), looping);
}

// The MPEG data, tags aside: what follows the ID3v2 tag up to the ID3v1 one.
std::string mpeg_data(const fs::path& path) {
  const tools_test::Bytes bytes = tools_test::read_file(path.string());
  std::string data(bytes.begin(), bytes.end());
  if (data.size() > 10 && data.compare(0, 3, "ID3") == 0) {
    const size_t size = (size_t(data[6] & 0x7F) << 21) | (size_t(data[7] & 0x7F) << 14) |
                        (size_t(data[8] & 0x7F) << 7) | size_t(data[9] & 0x7F);
    data.erase(0, 10 + size);
  }
  if (data.size() > 128 && data.compare(data.size() - 128, 3, "TAG") == 0) data.resize(data.size() - 128);
  return data;
}

TEST_F(RealTunes, EncoderWritesTheSameMp3FramesAsTheReferenceEncoder) {
  const std::vector<fs::path> tunes = real_tunes();
  ASSERT_GE(tunes.size(), 3u);
  const std::vector<std::string> option_sets = {"-b 192 -m m", "-b 128 -m s", "-b 320 -m j"};
  for (size_t t = 0; t < 3; ++t) {
    const fs::path tune = tunes[t * tunes.size() / 3];
    const fs::path wav = work_ / "peer.wav";
    std::string error;
    ASSERT_TRUE(tools::render_file(tune.string(), wav.string(), tools::RenderLimits(), &error)) << error;
    const std::string& options = option_sets[t];
    SCOPED_TRACE(tune.string() + " " + options);
    ASSERT_EQ(run(std::string(TOOLS_SUXX) + " --quiet " + options + " " + quoted(wav) + " " + quoted(work_ / "ours.mp3")), 0);
    ASSERT_EQ(run("lame --quiet " + options + " " + quoted(wav) + " " + quoted(work_ / "lame.mp3")), 0);
    const std::string ours = mpeg_data(work_ / "ours.mp3");
    const std::string reference = mpeg_data(work_ / "lame.mp3");
    ASSERT_GT(reference.size(), 10000u);
    EXPECT_EQ(ours.size(), reference.size());
    EXPECT_TRUE(ours == reference) << "the MPEG frames differ";
  }
}

}  // namespace
