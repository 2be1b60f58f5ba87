// Real modules of the later-added ZX tracker formats from the shared
// samples: each is taken by its own format first, plays a plausible length
// with every channel heard and a moving melody, and renders audibly through
// the renderer as amiga opens it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/tools/ay/real_module_checks.h"
#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::AySong;

struct Folder {
  const char* path;  // under the samples folder
  const char* format;
};

const Folder kFolders[] = {
    {"ay/Pro Tracker 1.xx", "Pro Tracker 1"},
    {"zx-more/Pro Tracker 1", "Pro Tracker 1"},
    {"zx-more/Sound Tracker 1", "Sound Tracker song"},
    {"zx-more/Sound Tracker 3", "Sound Tracker (ST3)"},
};

std::vector<uint8_t> read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

const tools::ay::Format* first_taker(const std::vector<uint8_t>& bytes) {
  for (const tools::ay::Format& format : tools::ay::formats())
    if (format.detect(bytes.data(), bytes.size())) return &format;
  return nullptr;
}

// The share of frames in which channel `c` sounds.
double heard(const AySong& song, int c) {
  size_t frames = 0;
  for (const tools::ay::Frame& frame : song.frames) {
    const auto& regs = frame[0].regs;
    const bool on = !(regs[7] >> c & 1) || !(regs[7] >> (c + 3) & 1) || (regs[8 + c] & 0x10);
    if ((regs[8 + c] & 0x1F) != 0 && on) ++frames;
  }
  return static_cast<double>(frames) / song.frames.size();
}

TEST(ZxMoreRealModules, EachPlaysItsWholeSongAndRendersAudibly) {
  const fs::path root = TOOLS_SAMPLES;
  ASSERT_TRUE(fs::is_directory(root / "zx-more")) << root;
  int played = 0;
  for (const Folder& folder : kFolders) {
    for (const auto& entry : fs::directory_iterator(root / folder.path)) {
      SCOPED_TRACE(entry.path().string());
      const std::vector<uint8_t> bytes = read(entry.path());
      const tools::ay::Format* format = first_taker(bytes);
      ASSERT_NE(format, nullptr);
      EXPECT_STREQ(format->name, folder.format);
      AySong song;
      std::string error;
      ASSERT_TRUE(format->parse(bytes.data(), bytes.size(), &song, &error)) << error;
      const double seconds = song.frames.size() / song.frame_hz;
      EXPECT_GE(seconds, 20.0);
      EXPECT_LE(seconds, 20 * 60.0);
      EXPECT_LT(song.loop_frame, static_cast<long>(song.frames.size()));
      std::set<int> tones;
      for (const tools::ay::Frame& frame : song.frames)
        for (int c = 0; c < 3; ++c) tones.insert(frame[0].regs[2 * c] | frame[0].regs[2 * c + 1] << 8);
      EXPECT_GT(tones.size(), 20u);
      // A channel that falls silent for good is a player fault, not music.
      for (int c = 0; c < 3; ++c) EXPECT_GT(heard(song, c), 0.5) << "channel " << c;

      std::unique_ptr<tools::Tune> tune = tools::open_tune(bytes, entry.path().string(), &error);
      ASSERT_NE(tune, nullptr) << error;
      EXPECT_GE(real_test::loud_seconds(*tune, 20), 15u);
      ++played;
    }
  }
  EXPECT_EQ(played, 12);
}

}  // namespace
