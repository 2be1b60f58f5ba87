// The renderer as the converter runs it, on made register dumps: a WAV with
// the dump's texts, or exit code 1 and nothing for damaged files and files
// that only have the extension.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/tools/ay/made_ay_files.h"
#include "tests/tools/made_files.h"
#include "tests/tools/tool_process.h"

namespace {

namespace fs = std::filesystem;
using tools_test::Bytes;

class AyPrograms : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(testing::TempDir()) / "tools_ay_programs";
    fs::remove_all(root_);
    fs::create_directories(root_ / "cwd");
    fs::create_directories(root_ / "music");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  tools_test::ToolRun amiga(const std::string& name, const Bytes& file) {
    const std::string path = (root_ / "music" / name).string();
    EXPECT_TRUE(tools_test::write_file(path, file));
    return tools_test::run_tool(tools_test::native_path(TOOLS_AMIGA), {"/adp", path}, (root_ / "cwd").string());
  }

  std::vector<std::string> cwd_files() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_ / "cwd")) {
      const std::string name = entry.path().filename().string();
      if (name != "tool-stderr.txt") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string in_cwd(const std::string& name) { return (root_ / "cwd" / name).string(); }

  fs::path root_;
};

TEST_F(AyPrograms, DumpsRenderWithTheirTextsInUtf8) {
  tools_test::VtxFile vtx;
  vtx.title = "\xCC\xEE\xFF \xEF\xE5\xF1\xED\xFF";  // code page 1251
  vtx.author = "Composer";
  vtx.program = "Game";
  vtx.year = 1996;
  vtx.comment = "Made by the test";
  tools_test::YmFile ym;
  ym.title = "YM title";
  ym.author = "YM author";
  const std::vector<tools_test::RegisterFrame> frames = tools_test::scale_frames(250, 10);
  struct Case {
    const char* name;
    Bytes file;
    const char* title;
    const char* artist;
    double seconds;
  };
  const Case cases[] = {
      {"song.vtx", tools_test::make_vtx(vtx, frames), "\xD0\x9C\xD0\xBE\xD1\x8F \xD0\xBF\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F",
       "Composer", 5 + 5 + 8},
      {"song.ym", tools_test::lha_archive(tools_test::make_ym(ym, frames), "song.bin"), "YM title", "YM author", 5 + 5 + 8},
      {"song.psg", tools_test::make_psg(frames), "", "", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const tools_test::ToolRun run = amiga(c.name, c.file);
    ASSERT_EQ(run.exit_code, 0) << run.error_output;
    const std::string wav_name = std::string(c.name).substr(0, 4) + ".wav";
    EXPECT_EQ(cwd_files(), std::vector<std::string>{wav_name});
    const tools_test::WavContents wav = tools_test::read_wav(in_cwd(wav_name));
    ASSERT_TRUE(wav.ok);
    EXPECT_EQ(wav.title, c.title);
    EXPECT_EQ(wav.artist, c.artist);
    EXPECT_NEAR(wav.seconds(), c.seconds, 0.05);
    EXPECT_GT(tools_test::peak(wav.samples), 5000);
    fs::remove(in_cwd(wav_name));
  }
}

TEST_F(AyPrograms, DamagedDumpsAndBorrowedExtensionsGiveExitOneAndNoWav) {
  const std::vector<tools_test::RegisterFrame> frames = tools_test::scale_frames(100, 10);
  const Bytes ym = tools_test::lha_archive(tools_test::make_ym(tools_test::YmFile(), frames), "x.bin");
  Bytes ym_bad_crc = ym;
  ym_bad_crc[ym.size() / 2] ^= 0x55;
  const Bytes vtx = tools_test::make_vtx(tools_test::VtxFile(), frames);
  Bytes psg_empty = {'P', 'S', 'G', 0x1A};
  psg_empty.resize(16, 0);
  const std::string text = "This is not music, whatever its name says.\n";
  const std::vector<std::pair<std::string, Bytes>> files = {
      {"cut.ym", Bytes(ym.begin(), ym.begin() + ym.size() / 2)},
      {"crc.ym", ym_bad_crc},
      {"cut.vtx", Bytes(vtx.begin(), vtx.begin() + vtx.size() - 10)},
      {"empty.psg", psg_empty},
      {"text.pt3", Bytes(text.begin(), text.end())},
      {"text.vtx", Bytes(text.begin(), text.end())},
  };
  for (const auto& [name, file] : files) {
    SCOPED_TRACE(name);
    const tools_test::ToolRun run = amiga(name, file);
    EXPECT_EQ(run.exit_code, 1) << run.error_output;
    EXPECT_EQ(run.error_output.rfind("amiga: ", 0), 0u) << run.error_output;
    EXPECT_TRUE(cwd_files().empty());
  }
}

}  // namespace
