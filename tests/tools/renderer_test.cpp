#include <gtest/gtest.h>

#include <cstdio>

#include "tests/tools/made_files.h"
#include "tools/renderer/render_job.h"
#include "tools/renderer/tune.h"

namespace tools {
namespace {

using tools_test::Bytes;

class MadeTunes : public testing::Test {
 protected:
  std::string path(const std::string& name) { return testing::TempDir() + "renderer_" + name; }

  std::unique_ptr<Tune> open(const Bytes& data, const std::string& name) {
    error_.clear();
    return open_tune(data, path(name), &error_);
  }

  // Renders through the whole job; the WAV's contents, or !ok.
  tools_test::WavContents render(const Bytes& data, const std::string& name) {
    const std::string source = path(name);
    const std::string wav = path(name + ".out.wav");
    std::remove(wav.c_str());
    EXPECT_TRUE(tools_test::write_file(source, data));
    error_.clear();
    if (!render_file(source, wav, RenderLimits(), &error_)) return {};
    tools_test::WavContents contents = tools_test::read_wav(wav);
    std::remove(wav.c_str());
    return contents;
  }

  std::string error_;
};

TEST_F(MadeTunes, ModuleThatRunsOffItsEndPlaysOnce) {
  const std::unique_ptr<Tune> tune = open(tools_test::make_mod(false), "ends.mod");
  ASSERT_TRUE(tune) << error_;
  EXPECT_EQ(tune->length().kind, TuneLength::Kind::ends);
  // Two patterns of 64 rows at speed 6, 125 BPM: 2 * 7.68 s.
  EXPECT_NEAR(tune->length().seconds, 15.36, 0.05);
  const tools_test::WavContents wav = render(tools_test::make_mod(false), "ends.mod");
  ASSERT_TRUE(wav.ok) << error_;
  EXPECT_NEAR(wav.seconds(), 15.36, 0.1);
}

TEST_F(MadeTunes, ModuleThatJumpsBackPlaysIntroTwoLoopsAndAFade) {
  const std::unique_ptr<Tune> tune = open(tools_test::make_mod(true), "loops.mod");
  ASSERT_TRUE(tune) << error_;
  EXPECT_EQ(tune->length().kind, TuneLength::Kind::loops);
  EXPECT_NEAR(tune->length().loop_start, 7.68, 0.05);
  const tools_test::WavContents wav = render(tools_test::make_mod(true), "loops.mod");
  ASSERT_TRUE(wav.ok) << error_;
  // 7.68 intro + 2 * 7.68 loop + 8 s fade, its quietest end trimmed.
  EXPECT_GT(wav.seconds(), 30.0);
  EXPECT_LE(wav.seconds(), 31.05);
}

TEST_F(MadeTunes, WavIsStereo16BitAt44100WithTheTitleAndSoftware) {
  const tools_test::WavContents wav = render(tools_test::make_mod(false, "Tune Title"), "tagged.mod");
  ASSERT_TRUE(wav.ok) << error_;
  EXPECT_EQ(wav.channels, 2);
  EXPECT_EQ(wav.sample_rate, 44100);
  EXPECT_EQ(wav.title, "Tune Title");
  EXPECT_EQ(wav.software.rfind("amiga ", 0), 0u) << wav.software;
  EXPECT_GT(tools_test::peak(wav.samples), 1000);
}

TEST_F(MadeTunes, AdlibCaptureIsFoundByContentUnderAnyNameAndItsTagsDecoded) {
  // A Cyrillic title in code page 1251, as an author in Russia would write it.
  const Bytes dro = tools_test::make_dro(3000, 500, "\xCF\xE5\xF1\xED\xFF", "Author");
  const std::unique_ptr<Tune> tune = open(dro, "capture.bin");
  ASSERT_TRUE(tune) << error_;
  EXPECT_EQ(tune->length().kind, TuneLength::Kind::ends);
  EXPECT_EQ(tune->tags().title, "\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F");
  const tools_test::WavContents wav = render(dro, "capture.bin");
  ASSERT_TRUE(wav.ok) << error_;
  EXPECT_EQ(wav.title, "\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F");
  EXPECT_EQ(wav.artist, "Author");
  EXPECT_GT(tools_test::peak(wav.samples), 500);
  // The tone, then at most a second of the silence after it.
  EXPECT_GT(wav.seconds(), 2.9);
  EXPECT_LT(wav.seconds(), 3.6);
}

TEST_F(MadeTunes, WavNameReplacesTheExtensionOrAddsOne) {
  EXPECT_EQ(wav_name_for("D:\\music\\tune.ay"), "tune.wav");
  EXPECT_EQ(wav_name_for("/music/a.b/tune"), "tune.wav");
  EXPECT_EQ(wav_name_for("D:\\music.d\\tune"), "tune.wav");
  EXPECT_EQ(wav_name_for("x/song.final.mod"), "song.final.wav");
}

// Broken files: each is refused with a reason and leaves no WAV behind.
class BrokenTunes : public MadeTunes {
 protected:
  void expect_refused(const Bytes& data, const std::string& name, const std::string& what) {
    const std::string source = path(name);
    const std::string wav = path(name + ".out.wav");
    ASSERT_TRUE(tools_test::write_file(source, data));
    error_.clear();
    EXPECT_FALSE(render_file(source, wav, RenderLimits(), &error_)) << what;
    EXPECT_FALSE(error_.empty()) << what;
    EXPECT_FALSE(tools_test::file_exists(wav)) << what;
    std::remove(wav.c_str());
  }
};

TEST_F(BrokenTunes, EmptyMissingAndRandomFilesAreRefused) {
  expect_refused(Bytes(), "empty.mod", "empty");
  uint32_t seed = 99;
  for (size_t size : {1u, 100u, 4000u, 70000u}) {
    Bytes noise(size);
    for (auto& byte : noise) byte = static_cast<uint8_t>((seed = seed * 1664525 + 1013904223) >> 24);
    expect_refused(noise, "noise.bin", "noise of " + std::to_string(size));
    expect_refused(noise, "noise.xm", "noise named .xm of " + std::to_string(size));
  }
  std::string error;
  EXPECT_FALSE(render_file(path("does-not-exist.mod"), path("none.wav"), RenderLimits(), &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST_F(BrokenTunes, ModuleTruncatedInsideItsHeaderIsRefused) {
  const Bytes mod = tools_test::make_mod(false);
  // Title, each sample header, song length, order list, signature.
  std::vector<size_t> cuts = {1, 10, 20, 41, 50, 300, 949, 950, 951, 1000, 1079, 1083};
  for (size_t cut : cuts) {
    expect_refused(Bytes(mod.begin(), mod.begin() + static_cast<long>(cut)), "cut.mod",
                   "MOD cut at " + std::to_string(cut));
  }
}

TEST_F(BrokenTunes, AdlibCaptureTruncatedOrWithHugeSizesIsRefused) {
  const Bytes dro = tools_test::make_dro(1000, 0, "t", "a");
  for (size_t cut = 1; cut < 26; ++cut) {
    expect_refused(Bytes(dro.begin(), dro.begin() + static_cast<long>(cut)), "cut.dro",
                   "DRO cut at " + std::to_string(cut));
  }
  Bytes huge = dro;
  huge[12] = huge[13] = huge[14] = 0xFF;
  huge[15] = 0x7F;
  expect_refused(huge, "huge.dro", "DRO claiming 2^31 pairs");
}

}  // namespace
}  // namespace tools
