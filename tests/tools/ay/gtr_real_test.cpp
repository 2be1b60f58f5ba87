// The real Global Tracker modules of the shared samples: each is taken as
// this format first, repeats within a plausible length, keeps all three
// channels heard and its notes moving, renders audibly through the renderer
// with the tracker named in its tags, and a cut copy is refused by the
// renderer program; no other sample file is taken for one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/tools/ay/real_module_checks.h"
#include "tests/tools/tool_process.h"
#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/gtr_player.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::AySong;
using tools::ay::kGtrFormat;
using real_test::read;

const fs::path kRoot = TOOLS_SAMPLES;

std::vector<fs::path> modules() { return real_test::modules_in(kRoot, "Global Tracker"); }

TEST(GtrRealModules, EachRepeatsWithinAPlausibleLengthAndMoves) {
  int played = 0;
  for (const fs::path& path : modules()) {
    SCOPED_TRACE(path.filename().string());
    const std::vector<uint8_t> bytes = read(path);
    const tools::ay::Format* first = real_test::first_format(bytes);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->name, kGtrFormat.name);
    AySong song;
    std::string error;
    ASSERT_TRUE(kGtrFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
    const double seconds = song.frames.size() / song.frame_hz;
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 10 * 60.0);
    EXPECT_EQ(song.loop_frame, 0);  // both loop to their first position
    EXPECT_EQ(song.program.rfind("Global Tracker 1.", 0), 0u) << song.program;
    size_t heard_in[3] = {0, 0, 0};
    std::set<int> tones;
    for (const tools::ay::Frame& frame : song.frames) {
      const auto& regs = frame[0].regs;
      for (int c = 0; c < 3; ++c) {
        const bool mixed = (regs[7] >> c & 1) == 0 || (regs[7] >> (c + 3) & 1) == 0 || (regs[8 + c] & 0x10);
        if ((regs[8 + c] & 0x1F) != 0 && mixed) {
          ++heard_in[c];
          tones.insert(regs[2 * c] | regs[2 * c + 1] << 8);
        }
      }
    }
    for (int c = 0; c < 3; ++c) EXPECT_GT(heard_in[c], song.frames.size() / 4) << "channel " << c;
    EXPECT_GT(tones.size(), 20u);
    ++played;
  }
  EXPECT_EQ(played, 2);
}

TEST(GtrRealModules, RenderAudiblyThroughTheRenderer) {
  constexpr size_t kSeconds = 20;
  for (const fs::path& path : modules()) {
    SCOPED_TRACE(path.filename().string());
    std::string error;
    std::unique_ptr<tools::Tune> tune = tools::open_tune(read(path), path.string(), &error);
    ASSERT_NE(tune, nullptr) << error;
    EXPECT_EQ(tune->format_name(), kGtrFormat.name);
    EXPECT_EQ(tune->length().kind, tools::TuneLength::Kind::loops);
    EXPECT_EQ(tune->tags().album.rfind("Global Tracker 1.", 0), 0u) << tune->tags().album;
    EXPECT_GE(real_test::loud_seconds(*tune, kSeconds), kSeconds * 3 / 4);
  }
}

TEST(GtrRealModules, CutCopiesGiveExitOneAndNoWav) {
  const fs::path work = fs::temp_directory_path() / ("tools_gtr_real_" + std::to_string(::getpid()));
  fs::create_directories(work);
  for (const fs::path& path : modules()) {
    SCOPED_TRACE(path.filename().string());
    const std::vector<uint8_t> bytes = read(path);
    for (size_t size : {size_t{4}, size_t{294}, bytes.size() / 2, bytes.size() - 1}) {
      SCOPED_TRACE(size);
      const fs::path source = work / "cut.gtr";
      std::ofstream(source, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
      const tools_test::ToolRun run = tools_test::run_tool(TOOLS_AMIGA, {"/adp", source.string()}, work.string());
      EXPECT_EQ(run.exit_code, 1);
      EXPECT_FALSE(fs::exists(work / "cut.wav"));
    }
  }
  fs::remove_all(work);
}

TEST(GtrRealModules, NoOtherSampleIsTaken) {
  const std::vector<fs::path> others = real_test::files_outside(kRoot, "Global Tracker");
  for (const fs::path& path : others) {
    const std::vector<uint8_t> bytes = real_test::read(path);
    EXPECT_FALSE(kGtrFormat.detect(bytes.data(), bytes.size())) << path;
  }
  EXPECT_GT(others.size(), 100u);
}

}  // namespace
