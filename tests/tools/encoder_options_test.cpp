#include "tools/encoder/encoder_options.h"

#include <gtest/gtest.h>

namespace tools {
namespace {

EncoderOptions parse(std::vector<std::string> args, bool* ok, std::string* error = nullptr) {
  EncoderOptions options;
  std::string reason;
  *ok = parse_encoder_options(args, &options, &reason);
  if (error) *error = reason;
  return options;
}

TEST(EncoderCommandLine, TakesTheConvertersCallAsItIs) {
  bool ok;
  const EncoderOptions options = parse({"-b", "192", "-m", "m", "C:\\conv\\tune.wav", "D:\\music\\tune.mp3"}, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(options.bitrate_kbit, 192);
  EXPECT_EQ(options.mode, 'm');
  EXPECT_EQ(options.quality, -1);
  EXPECT_EQ(options.input, "C:\\conv\\tune.wav");
  EXPECT_EQ(options.output, "D:\\music\\tune.mp3");
}

TEST(EncoderCommandLine, AcceptsGluedValuesQualityAndQuiet) {
  bool ok;
  const EncoderOptions options = parse({"--quiet", "-b320", "-mj", "-q", "2", "a.wav", "b.mp3"}, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(options.bitrate_kbit, 320);
  EXPECT_EQ(options.mode, 'j');
  EXPECT_EQ(options.quality, 2);
  EXPECT_TRUE(options.quiet);
}

TEST(EncoderCommandLine, DefaultsTo128WithTheLibrarysMode) {
  bool ok;
  const EncoderOptions options = parse({"a.wav", "b.mp3"}, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(options.bitrate_kbit, 128);
  EXPECT_EQ(options.mode, 0);
}

TEST(EncoderCommandLine, HelpNeedsNoFiles) {
  bool ok;
  EXPECT_TRUE(parse({"--help"}, &ok).help);
  EXPECT_TRUE(ok);
  EXPECT_NE(encoder_usage().find("-b <kbit>"), std::string::npos);
}

TEST(EncoderCommandLine, RejectsWhatIsOutsideTheSubset) {
  const std::vector<std::vector<std::string>> bad = {
      {"-x", "a.wav", "b.mp3"},      {"--preset", "a.wav", "b.mp3"}, {"-b", "abc", "a.wav", "b.mp3"},
      {"-b", "500", "a.wav", "b.mp3"}, {"-b", "4", "a.wav", "b.mp3"},  {"-m", "q", "a.wav", "b.mp3"},
      {"-m", "ms", "a.wav", "b.mp3"}, {"-q", "10", "a.wav", "b.mp3"}, {"a.wav"},
      {"a.wav", "b.mp3", "c.mp3"},   {"a.wav", "b.mp3", "-b"},       {}};
  for (const auto& args : bad) {
    bool ok;
    std::string error;
    parse(args, &ok, &error);
    EXPECT_FALSE(ok) << testing::PrintToString(args);
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace tools
