// The shared cross-sections of real collections, as users' folders hold
// them: 150 Atari ST YM files (LHA-packed, some with a cut end mark or a
// scribbled archive header) and 240 ZX Spectrum tracker modules. Each one
// that holds a song opens, lasts as long as the file says, carries its
// names and sounds over its first seconds; the few that are cut short are
// refused with the reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include "tools/renderer/ay/lha_unpack.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<fs::path> files_under(const fs::path& root, const std::string& extension) {
  std::vector<fs::path> files;
  std::error_code ignored;
  for (fs::recursive_directory_iterator it(root, ignored), end; it != end; it.increment(ignored)) {
    if (it->is_regular_file() && it->path().extension() == extension) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The loudness of the loudest tenth of a second among the first `seconds`
// (some songs open quietly), or among the whole track when shorter.
double loudest_opening(tools::Tune& tune, double seconds) {
  std::vector<int16_t> block(2 * 4410);
  double loudest = 0;
  for (double done = 0; done < seconds; done += 0.1) {
    const size_t got = tune.render(block.data(), 4410);
    double sum = 0;
    for (size_t i = 0; i < 2 * got; ++i) sum += double(block[i]) * block[i];
    if (got) loudest = std::max(loudest, std::sqrt(sum / (2 * got)));
    if (got < 4410) break;
  }
  return loudest;
}

uint32_t big_endian(const Bytes& data, size_t at, size_t size) {
  uint32_t value = 0;
  for (size_t i = 0; i < size; ++i) value = value << 8 | data[at + i];
  return value;
}

// The length the unpacked file states: YM5 and YM6 give their frames and
// rate in the header, the older kinds are their register block alone.
double stated_seconds(const Bytes& file) {
  Bytes unpacked;
  std::string error;
  if (!tools::ay::unpack_lha_archive(file.data(), file.size(), 0, &unpacked, &error)) return -1;
  const std::string kind(unpacked.begin(), unpacked.begin() + 4);
  if (kind == "YM5!" || kind == "YM6!") return double(big_endian(unpacked, 12, 4)) / big_endian(unpacked, 26, 2);
  const size_t tail = kind == "YM3b" ? 4 : 0;
  return double((unpacked.size() - 4 - tail) / 14) / 50;
}

bool has_texts(const Bytes& file) {
  Bytes head;
  std::string error;
  return tools::ay::unpack_lha_archive(file.data(), file.size(), 4, &head, &error) &&
         (std::equal(head.begin(), head.end(), "YM5!") || std::equal(head.begin(), head.end(), "YM6!"));
}

TEST(RealCollections, EveryYmFilePlaysItsStatedLengthWithItsTexts) {
  const std::vector<fs::path> files = files_under(TOOLS_SAMPLES "/ym", ".ym");
  ASSERT_FALSE(files.empty()) << "no YM files in " << TOOLS_SAMPLES "/ym";
  int played = 0, with_texts = 0;
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.string());
    const Bytes file = read(path);
    std::string error;
    const std::unique_ptr<tools::Tune> tune = tools::open_tune(file, path.string(), &error);
    ASSERT_TRUE(tune) << error;
    EXPECT_EQ(tune->format_name(), "YM register dump");
    const tools::TuneLength length = tune->length();
    EXPECT_NEAR(length.seconds, stated_seconds(file), 0.01);
    EXPECT_GT(length.seconds, 2.0);  // game jingles among them
    EXPECT_LE(length.seconds, 20 * 60.0);
    if (has_texts(file)) {
      const tools::TuneTags tags = tune->tags();
      EXPECT_FALSE(tags.title.empty() && tags.artist.empty() && tags.comment.empty());
      ++with_texts;
    }
    EXPECT_GT(loudest_opening(*tune, 20), 300.0);
    ++played;
  }
  EXPECT_EQ(played, 150);
  EXPECT_GE(with_texts, 140);
}

// Files of the ZX collection that are cut short: each lacks data its song
// plays (the checks that found them are in the players).
const std::map<std::string, std::string> kCutShort = {
    // 1792 bytes, seven whole sectors: the last sample's second line and
    // the three ornaments the patterns use lie past the end.
    {"A7B (9 PM & Till a Come)SmaLmIx.pt3", "Pro Tracker 3: the module's data points past its end"},
    // The compiler's header states 2188 bytes; the last track is cut.
    {"ICE_M_C.stc", "Sound Tracker: the module is cut short: the file holds 2160 of its 2188 bytes"},
};

struct ZxFolder {
  const char* name;
  const char* extension;
  const char* format;
  bool titled;  // whether most modules of the tracker name themselves
};

const ZxFolder kZxFolders[] = {
    {"Pro Tracker 3", ".pt3", "Pro Tracker 3", true},     {"Pro Tracker 2", ".pt2", "Pro Tracker 2", true},
    {"Sound Tracker", ".stc", "Sound Tracker", false},    {"Sound Tracker Pro", ".stp", "Sound Tracker Pro", false},
    {"ASC Sound Master", ".asc", "ASC Sound Master", false},
};

TEST(RealCollections, EveryZxModuleThatHoldsASongPlaysWithItsNames) {
  const fs::path root = TOOLS_SAMPLES "/zx-collection";
  ASSERT_TRUE(fs::is_directory(root)) << root;
  int played = 0, refused = 0;
  for (const ZxFolder& folder : kZxFolders) {
    int titled = 0, count = 0;
    for (const fs::path& path : files_under(root / folder.name, folder.extension)) {
      SCOPED_TRACE(path.string());
      ++count;
      std::string error;
      const std::unique_ptr<tools::Tune> tune = tools::open_tune(read(path), path.string(), &error);
      const auto cut = kCutShort.find(path.filename().string());
      if (cut != kCutShort.end()) {
        EXPECT_FALSE(tune);
        EXPECT_EQ(error, "the file cannot be played: " + cut->second);
        ++refused;
        continue;
      }
      ASSERT_TRUE(tune) << error;
      EXPECT_EQ(tune->format_name(), folder.format);
      // Jingles of a pattern or two are in every collection.
      EXPECT_GT(tune->length().seconds, 2.0);
      EXPECT_LE(tune->length().seconds, 20 * 60.0);
      const tools::TuneTags tags = tune->tags();
      if (!tags.title.empty() || !tags.artist.empty()) ++titled;
      EXPECT_GT(loudest_opening(*tune, 20), 300.0);
      ++played;
    }
    if (folder.titled) {
      EXPECT_GE(titled, count * 8 / 10) << folder.name;
    }
  }
  EXPECT_EQ(played, 238);
  EXPECT_EQ(refused, 2);
}

}  // namespace
