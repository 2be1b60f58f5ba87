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

#include "tests/tools/tool_process.h"
#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/gtr_player.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::AySong;
using tools::ay::kGtrFormat;

const fs::path kRoot = TOOLS_SAMPLES;
const fs::path kFolders[] = {kRoot / "ay" / "Global Tracker", kRoot / "zx-more" / "Global Tracker"};

std::vector<uint8_t> read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<fs::path> modules() {
  std::vector<fs::path> paths;
  for (const fs::path& folder : kFolders)
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.is_regular_file() && entry.path().extension() != ".md") paths.push_back(entry.path());
  return paths;
}

TEST(GtrRealModules, EachRepeatsWithinAPlausibleLengthAndMoves) {
  int played = 0;
  for (const fs::path& path : modules()) {
    SCOPED_TRACE(path.filename().string());
    const std::vector<uint8_t> bytes = read(path);
    const tools::ay::Format* first = nullptr;
    for (const tools::ay::Format& format : tools::ay::formats())
      if (format.detect(bytes.data(), bytes.size())) {
        first = &format;
        break;
      }
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
    std::vector<int16_t> second(2 * tools::kSampleRate);
    size_t loud = 0;
    for (size_t s = 0; s < kSeconds; ++s) {
      ASSERT_EQ(tune->render(second.data(), tools::kSampleRate), static_cast<size_t>(tools::kSampleRate));
      double sum = 0;
      for (int16_t v : second) sum += static_cast<double>(v) * v;
      if (std::sqrt(sum / second.size()) > 300) ++loud;  // about -40 dBFS
    }
    EXPECT_GE(loud, kSeconds * 3 / 4);
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
  int checked = 0;
  for (const char* folder : {"ay", "zx-more", "zx-collection"}) {
    if (!fs::is_directory(kRoot / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(kRoot / folder)) {
      const fs::path parent = entry.path().parent_path();
      if (!entry.is_regular_file() || parent == kFolders[0] || parent == kFolders[1]) continue;
      const std::vector<uint8_t> bytes = read(entry.path());
      EXPECT_FALSE(kGtrFormat.detect(bytes.data(), bytes.size())) << entry.path();
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
