#include "tools/encoder/wav_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/tools/made_files.h"

namespace tools {
namespace {

using tools_test::Bytes;
using tools_test::make_wav;
using tools_test::WavLayout;

class WavInput : public testing::Test {
 protected:
  // Opens `bytes`, reads every frame; the frame count, or -1 when it does
  // not open.
  int64_t read_all(const Bytes& bytes) {
    bytes_ = bytes;
    reader_ = std::make_unique<WavReader>();
    error_.clear();
    if (!reader_->open_memory(bytes_.data(), bytes_.size(), &error_)) return -1;
    int64_t frames = 0;
    std::vector<int32_t> buffer(2 * 1000);
    size_t got;
    while ((got = reader_->read(buffer.data(), 1000)) > 0) {
      if (frames == 1000) second_block_first_sample_ = buffer[0];
      frames += static_cast<int64_t>(got);
    }
    return frames;
  }

  Bytes bytes_;
  std::unique_ptr<WavReader> reader_;
  std::string error_;
  int32_t second_block_first_sample_ = 0;
};

struct FormatCase {
  const char* name;
  uint16_t format_tag;
  uint16_t bits;
  uint16_t channels;
};

class WavFormats : public WavInput, public testing::WithParamInterface<FormatCase> {};

TEST_P(WavFormats, ReadsEverySampleAtFullScale) {
  WavLayout layout;
  layout.format_tag = GetParam().format_tag;
  layout.bits = GetParam().bits;
  layout.channels = GetParam().channels;
  layout.frames = 4410;
  ASSERT_EQ(read_all(make_wav(layout)), 4410) << error_;
  EXPECT_EQ(reader_->channels(), GetParam().channels);
  EXPECT_EQ(reader_->sample_rate(), 44100);
  // Frame 1000 of a 440 Hz sine at half scale, whatever the depth.
  const double expected = 0.5 * std::sin(2 * 3.14159265358979323846 * 440.0 * 1000 / 44100) * 2147483647.0;
  EXPECT_NEAR(second_block_first_sample_, expected, 2147483647.0 / 100);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, WavFormats,
    testing::Values(FormatCase{"Pcm8", 1, 8, 2}, FormatCase{"Pcm16", 1, 16, 2}, FormatCase{"Pcm24", 1, 24, 2},
                    FormatCase{"Pcm32", 1, 32, 2}, FormatCase{"Float32", 3, 32, 2},
                    FormatCase{"Float64", 3, 64, 2}, FormatCase{"Extensible16", 0xFFFE, 16, 2},
                    FormatCase{"Mono16", 1, 16, 1}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

// Float files can hold values no PCM sample has: beyond full scale they
// clip, and a NaN (a broken writer's output) plays as silence.
TEST_F(WavInput, FloatSamplesBeyondFullScaleClipAndNotANumberIsSilence) {
  const double values[] = {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                           3.0, -3.0, 0.25};
  const int32_t expected[] = {0, 0, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, 1 << 29};
  constexpr size_t kCount = sizeof values / sizeof values[0];
  for (uint16_t bits : {32, 64}) {
    SCOPED_TRACE(bits);
    WavLayout layout;
    layout.format_tag = 3;
    layout.bits = bits;
    layout.channels = 1;
    layout.frames = kCount;
    Bytes wav = make_wav(layout);
    for (size_t i = 0; i < kCount; ++i) {
      // The samples follow the 44-byte canonical header.
      uint8_t* at = wav.data() + 44 + i * bits / 8;
      if (bits == 32) {
        const float value = static_cast<float>(values[i]);
        std::memcpy(at, &value, 4);
      } else {
        std::memcpy(at, &values[i], 8);
      }
    }
    bytes_ = wav;
    WavReader reader;
    ASSERT_TRUE(reader.open_memory(bytes_.data(), bytes_.size(), &error_)) << error_;
    int32_t samples[kCount] = {};
    ASSERT_EQ(reader.read(samples, kCount), kCount);
    for (size_t i = 0; i < kCount; ++i) EXPECT_EQ(samples[i], expected[i]) << "value " << values[i];
  }
}

TEST_F(WavInput, ReadsInfoTextsWhereverTheChunkIs) {
  WavLayout layout;
  layout.title = "\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F";
  layout.artist = "Composer";
  layout.info_after_data = true;
  layout.odd_chunk_before_data = true;
  ASSERT_EQ(read_all(make_wav(layout)), 44100) << error_;
  EXPECT_EQ(reader_->tags().title, layout.title);
  EXPECT_EQ(reader_->tags().artist, "Composer");
  EXPECT_TRUE(reader_->tags().any_title_field());
}

// A LIST chunk whose items claim more than it holds: read as it says, the
// last item's size of nearly 4 GiB would send libsndfile's parser back to
// the first for ever. The audio is still encoded, without the list's texts.
TEST_F(WavInput, DamagedListChunkIsSkippedWithAWarning) {
  auto with_list = [](const Bytes& list_body) {
    WavLayout layout;
    layout.frames = 2000;
    Bytes wav = make_wav(layout);
    Bytes list = {'L', 'I', 'S', 'T'};
    for (int i = 0; i < 4; ++i) list.push_back(static_cast<uint8_t>(list_body.size() >> (8 * i)));
    list.insert(list.end(), list_body.begin(), list_body.end());
    // Before the data chunk, which starts after the 36 bytes of RIFF and fmt.
    wav.insert(wav.begin() + 36, list.begin(), list.end());
    const uint32_t riff_size = static_cast<uint32_t>(wav.size() - 8);
    for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<uint8_t>(riff_size >> (8 * i));
    return wav;
  };
  const Bytes looping = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2,    0,    0,    0,    'a',  0,
                         'z', 'z', 'z', 'z', 8,   0,   0,   0,   1,    2,    3,    4,    5,    6,
                         7,   8,   'y', 'y', 'y', 'y', 0xE8, 0xFF, 0xFF, 0xFF};
  const Bytes too_short = {'I', 'N'};
  // An id at the list's very end: its size is read from what follows.
  const Bytes id_at_end = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2, 0, 0, 0, 'a', 0, 'z', 'z', 'z', 'z'};
  for (const Bytes& body : {looping, too_short, id_at_end}) {
    SCOPED_TRACE(body.size());
    EXPECT_EQ(read_all(with_list(body)), 2000) << error_;
    ASSERT_EQ(reader_->warnings().size(), 1u);
    EXPECT_NE(reader_->warnings()[0].find("LIST chunk at byte 36 is damaged"), std::string::npos);
    EXPECT_EQ(reader_->tags().title, "");
  }
  // The same list with sizes that fit still gives its title.
  Bytes fitting = looping;
  fitting.resize(fitting.size() - 8);
  EXPECT_EQ(read_all(with_list(fitting)), 2000) << error_;
  EXPECT_TRUE(reader_->warnings().empty());
  EXPECT_EQ(reader_->tags().title, "a");
}

TEST_F(WavInput, NoInfoChunkMeansNoTitleFields) {
  ASSERT_EQ(read_all(make_wav(WavLayout())), 44100) << error_;
  EXPECT_FALSE(reader_->tags().any_title_field());
}

TEST_F(WavInput, DataSizeOfZeroOrAllOnesReadsToTheEndWithoutWarning) {
  for (uint32_t size : {0u, 0xFFFFFFFFu}) {
    WavLayout layout;
    layout.override_data_size = true;
    layout.data_size = size;
    layout.frames = 22050;
    EXPECT_EQ(read_all(make_wav(layout)), 22050) << size << ": " << error_;
    EXPECT_TRUE(reader_->warnings().empty()) << size;
  }
}

TEST_F(WavInput, DataChunkClaimingMoreThanTheFileEncodesWhatIsThereWithAWarning) {
  WavLayout layout;
  layout.frames = 1000;
  layout.override_data_size = true;
  layout.data_size = 400000;
  EXPECT_EQ(read_all(make_wav(layout)), 1000) << error_;
  ASSERT_EQ(reader_->warnings().size(), 1u);
  EXPECT_NE(reader_->warnings()[0].find("400000"), std::string::npos);
}

TEST_F(WavInput, RejectsBadWavsWithAReason) {
  std::vector<Bytes> bad;
  WavLayout three_channels;
  three_channels.channels = 3;
  bad.push_back(make_wav(three_channels));
  WavLayout adpcm;
  adpcm.format_tag = 2;
  adpcm.bits = 4;
  bad.push_back(make_wav(adpcm));
  WavLayout odd_depth;
  odd_depth.bits = 48;
  bad.push_back(make_wav(odd_depth));
  Bytes zero_channels = make_wav(WavLayout());
  zero_channels[22] = 0;
  bad.push_back(zero_channels);
  Bytes no_data = make_wav(WavLayout());
  no_data[36] = 'x';  // the data chunk renamed away
  bad.push_back(no_data);
  Bytes no_fmt = make_wav(WavLayout());
  no_fmt[12] = 'x';
  bad.push_back(no_fmt);
  Bytes not_riff = make_wav(WavLayout());
  not_riff[0] = 'X';
  bad.push_back(not_riff);
  Bytes noise(5000);
  uint32_t seed = 12345;
  for (auto& byte : noise) byte = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
  bad.push_back(noise);
  Bytes aiff = {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'A', 'I', 'F', 'F'};
  bad.push_back(aiff);
  bad.push_back(Bytes());
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(read_all(bad[i]), -1) << "case " << i;
    EXPECT_FALSE(error_.empty()) << "case " << i;
  }
}

TEST_F(WavInput, HeaderTruncatedAtAnyByteIsRejected) {
  const Bytes whole = make_wav(WavLayout());
  // 44 bytes of header: RIFF, fmt and the data chunk's own header.
  for (size_t cut = 0; cut <= 44; ++cut) {
    const Bytes truncated(whole.begin(), whole.begin() + static_cast<long>(cut));
    EXPECT_EQ(read_all(truncated), -1) << "cut at " << cut;
  }
}

}  // namespace
}  // namespace tools
