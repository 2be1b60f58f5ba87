// Every real tracker module of the shared samples plays exactly the frames
// it played when tracker_song_hashes.txt was written: the players share
// their channel stepping through one helper, and a change there must not
// move a single register of any real song. The list holds one line a
// module, "<hash> <path under the samples folder>"; the hash covers what a
// render is made of (rate, clock, chips, loop and every register write),
// so the same hash means the same WAV.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::AySong;

std::vector<uint8_t> read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// FNV-1a, 64 bits: a fault that moves one register changes it.
class Hash {
 public:
  void add(uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      state_ ^= (value >> (8 * i)) & 0xFF;
      state_ *= 0x100000001B3ull;
    }
  }
  uint64_t value() const { return state_; }

 private:
  uint64_t state_ = 0xCBF29CE484222325ull;
};

uint64_t song_hash(const AySong& song) {
  Hash hash;
  hash.add(static_cast<uint64_t>(song.frame_hz * 1000), 8);
  hash.add(static_cast<uint64_t>(song.clock_hz), 8);
  hash.add(static_cast<uint64_t>(song.chips), 1);
  hash.add(static_cast<uint64_t>(song.loop_frame), 8);
  hash.add(song.frames.size(), 8);
  for (const tools::ay::Frame& frame : song.frames) {
    for (int chip = 0; chip < song.chips; ++chip) {
      for (uint8_t reg : frame[chip].regs) hash.add(reg, 1);
      hash.add(frame[chip].shape_written, 1);
    }
  }
  return hash.value();
}

// The song of the first format that takes `bytes`, as the renderer picks.
bool play(const std::vector<uint8_t>& bytes, AySong* song, std::string* error) {
  for (const tools::ay::Format& format : tools::ay::formats()) {
    if (!format.detect(bytes.data(), bytes.size())) continue;
    return format.parse(bytes.data(), bytes.size(), song, error);
  }
  *error = "no format takes it";
  return false;
}

TEST(TrackerSongHashes, RealModulesPlayTheFramesTheyPlayedBefore) {
  const fs::path root = TOOLS_SAMPLES;
  if (!fs::is_directory(root / "ay")) GTEST_SKIP() << "no samples at " << root;
  std::ifstream list(TRACKER_SONG_HASHES);
  ASSERT_TRUE(list) << TRACKER_SONG_HASHES;
  int checked = 0;
  for (std::string line; std::getline(list, line);) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string expected, relative;
    fields >> expected;
    std::getline(fields >> std::ws, relative);
    SCOPED_TRACE(relative);
    const fs::path path = root / fs::u8path(relative);
    ASSERT_TRUE(fs::is_regular_file(path));
    AySong song;
    std::string error;
    ASSERT_TRUE(play(read(path), &song, &error)) << error;
    std::ostringstream actual;
    actual << std::hex << song_hash(song);
    EXPECT_EQ(actual.str(), expected);
    ++checked;
  }
  EXPECT_GT(checked, 200);
}

}  // namespace
