// The two programs as the converter runs them: separate processes, hidden,
// a working directory, exit codes and stderr.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/tools/made_files.h"
#include "tests/tools/tool_process.h"

namespace {

namespace fs = std::filesystem;
using tools_test::Bytes;
using tools_test::run_tool;
using tools_test::ToolRun;

// UTF-16LE bytes of a text, to look for in ID3v2 frames.
std::string utf16le(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

// One environment variable, set for a scope: the tools inherit it.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
  }
  ~ScopedVariable() {
#ifdef _WIN32
    _putenv_s(name_, "");
#else
    unsetenv(name_);
#endif
  }

 private:
  const char* name_;
};

class Programs : public testing::Test {
 protected:
  void SetUp() override {
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    root_ = fs::path(testing::TempDir()) / ("tools_programs_" + name);
    fs::remove_all(root_);
    fs::create_directories(root_ / "cwd");
    fs::create_directories(root_ / "music");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::string music(const std::string& name) { return (root_ / "music" / name).string(); }
  std::string cwd() { return (root_ / "cwd").string(); }
  std::string in_cwd(const std::string& name) { return (root_ / "cwd" / name).string(); }

  ToolRun amiga(const std::vector<std::string>& args) {
    return run_tool(tools_test::native_path(TOOLS_AMIGA), args, cwd());
  }
  ToolRun suxx(const std::vector<std::string>& args) {
    return run_tool(tools_test::native_path(TOOLS_SUXX), args, cwd());
  }

  // The files in the working directory, the captured stderr aside.
  std::vector<std::string> cwd_files() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_ / "cwd")) {
      const std::string name = entry.path().filename().string();
      if (name != "tool-stderr.txt") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string read_text(const std::string& path) {
    const Bytes bytes = tools_test::read_file(path);
    return std::string(bytes.begin(), bytes.end());
  }

  fs::path root_;
};

TEST_F(Programs, RendererWritesTheSourcesNameWithWavIntoTheCurrentDirectory) {
  ASSERT_TRUE(tools_test::write_file(music("tune.mod"), tools_test::make_mod(false, "Title")));
  const ToolRun run = amiga({"/adp", music("tune.mod")});
  EXPECT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_EQ(cwd_files(), std::vector<std::string>{"tune.wav"});
  const tools_test::WavContents wav = tools_test::read_wav(in_cwd("tune.wav"));
  EXPECT_TRUE(wav.ok);
  EXPECT_EQ(wav.title, "Title");
  EXPECT_NEAR(wav.seconds(), 15.36, 0.1);
}

TEST_F(Programs, RendererAddsWavToANameWithoutADot) {
  ASSERT_TRUE(tools_test::write_file(music("capture"), tools_test::make_dro(1500, 0, "x", "y")));
  const ToolRun run = amiga({"/adp", music("capture")});
  EXPECT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_EQ(cwd_files(), std::vector<std::string>{"capture.wav"});
}

TEST_F(Programs, RendererGivesUsageAndExitCodeTwoForAnyOtherUse) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"/x", "a.mod"}, {"/adp"}, {"/adp", "a", "b"}}) {
    const ToolRun run = amiga(args);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.error_output.find("usage"), std::string::npos) << run.error_output;
  }
}

TEST_F(Programs, RendererRefusesBadInputWithOneLineAndLeavesNothing) {
  ASSERT_TRUE(tools_test::write_file(music("empty.mod"), Bytes()));
  Bytes noise(3000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
  ASSERT_TRUE(tools_test::write_file(music("noise.xm"), noise));
  for (const char* name : {"empty.mod", "noise.xm", "missing.mod"}) {
    const ToolRun run = amiga({"/adp", music(name)});
    EXPECT_EQ(run.exit_code, 1) << name;
    EXPECT_EQ(std::count(run.error_output.begin(), run.error_output.end(), '\n'), 1) << run.error_output;
    EXPECT_EQ(run.error_output.rfind("amiga: ", 0), 0u) << run.error_output;
    EXPECT_TRUE(cwd_files().empty()) << name;
  }
}

TEST_F(Programs, RendererEndsARenderThatOutrunsItsWallClockLimitAndLeavesNothing) {
  // Ten hours of tone: the render would write 20 minutes of audio, which
  // takes seconds; the limit is set far below that.
  ASSERT_TRUE(tools_test::write_file(music("endless.psg"), tools_test::make_endless_psg(10)));
  ScopedVariable limit("AMIGA_TIME_LIMIT_MS", "250");
  const ToolRun run = amiga({"/adp", music("endless.psg")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.error_output.find("amiga: the render takes too long; stopped after 0.25 s"), std::string::npos)
      << run.error_output;
  EXPECT_TRUE(cwd_files().empty());
}

TEST_F(Programs, RendererKeepsItsDefaultLimitForAnUnusableSetting) {
  ASSERT_TRUE(tools_test::write_file(music("tune.mod"), tools_test::make_mod(false, "Title")));
  for (const char* setting : {"0", "-5", "fast", "10x"}) {
    ScopedVariable limit("AMIGA_TIME_LIMIT_MS", setting);
    const ToolRun run = amiga({"/adp", music("tune.mod")});
    EXPECT_EQ(run.exit_code, 0) << setting << ": " << run.error_output;
    EXPECT_EQ(cwd_files(), std::vector<std::string>{"tune.wav"}) << setting;
    fs::remove(in_cwd("tune.wav"));
  }
}

TEST_F(Programs, EncoderWritesAnMp3WithUtf16AndLatin1TagsFromTheInfoChunk) {
  tools_test::WavLayout layout;
  layout.title = "\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F";  // a Cyrillic title
  layout.artist = "Caf\xC3\xA9";
  ASSERT_TRUE(tools_test::write_file(in_cwd("tune.wav"), tools_test::make_wav(layout)));
  const ToolRun run = suxx({"-b", "192", "-m", "m", in_cwd("tune.wav"), music("tune.mp3")});
  ASSERT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_NE(run.error_output.find("192 kbit/s"), std::string::npos) << run.error_output;
  const std::string mp3 = read_text(music("tune.mp3"));
  ASSERT_GT(mp3.size(), 1000u);
  EXPECT_EQ(mp3.compare(0, 3, "ID3"), 0);
  EXPECT_NE(mp3.find("TIT2"), std::string::npos);
  EXPECT_NE(mp3.find(utf16le(u"\u041F\u0435\u0441\u043D\u044F")), std::string::npos);
  EXPECT_NE(mp3.find(utf16le(u"suxx")), std::string::npos);
  // ID3v1 at the very end, Latin-1: the artist survives, the title cannot.
  const std::string v1 = mp3.substr(mp3.size() - 128);
  EXPECT_EQ(v1.compare(0, 3, "TAG"), 0);
  EXPECT_EQ(v1.compare(33, 5, "Caf\xE9\0", 5), 0);
  EXPECT_EQ(fs::directory_iterator(root_ / "music")->path().filename(), "tune.mp3");
}

TEST_F(Programs, EncoderGivesAWavWithoutInfoNoTitleFrames) {
  ASSERT_TRUE(tools_test::write_file(in_cwd("plain.wav"), tools_test::make_wav(tools_test::WavLayout())));
  const ToolRun run = suxx({"--quiet", "-b", "200", in_cwd("plain.wav"), music("plain.mp3")});
  ASSERT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_TRUE(run.error_output.empty()) << run.error_output;
  const std::string mp3 = read_text(music("plain.mp3"));
  EXPECT_EQ(mp3.find("TIT2"), std::string::npos);
  EXPECT_NE(mp3.find("TSSE"), std::string::npos);
  EXPECT_NE(mp3.substr(mp3.size() - 128, 3), "TAG");
}

TEST_F(Programs, EncoderTakesTheNearestStandardBitRate) {
  ASSERT_TRUE(tools_test::write_file(in_cwd("a.wav"), tools_test::make_wav(tools_test::WavLayout())));
  const ToolRun run = suxx({"-b", "200", "-m", "s", in_cwd("a.wav"), music("a.mp3")});
  ASSERT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_NE(run.error_output.find("192 kbit/s"), std::string::npos) << run.error_output;
}

TEST_F(Programs, EncoderReplacesAnExistingMp3OnlyWithAFinishedOne) {
  ASSERT_TRUE(tools_test::write_file(music("out.mp3"), Bytes{'o', 'l', 'd'}));
  Bytes bad = tools_test::make_wav(tools_test::WavLayout());
  bad.resize(30);
  ASSERT_TRUE(tools_test::write_file(in_cwd("bad.wav"), bad));
  ToolRun run = suxx({"-b", "128", in_cwd("bad.wav"), music("out.mp3")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(read_text(music("out.mp3")), "old");
  ASSERT_TRUE(tools_test::write_file(in_cwd("good.wav"), tools_test::make_wav(tools_test::WavLayout())));
  run = suxx({"-b", "128", in_cwd("good.wav"), music("out.mp3")});
  EXPECT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_GT(read_text(music("out.mp3")).size(), 1000u);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(root_ / "music")) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST_F(Programs, EncoderRefusesBadWavsAndUnknownOptions) {
  tools_test::WavLayout surround;
  surround.channels = 6;
  ASSERT_TRUE(tools_test::write_file(in_cwd("six.wav"), tools_test::make_wav(surround)));
  ASSERT_TRUE(tools_test::write_file(in_cwd("text.wav"), Bytes{'h', 'e', 'l', 'l', 'o'}));
  for (const char* name : {"six.wav", "text.wav", "missing.wav"}) {
    const ToolRun run = suxx({"-b", "128", "-m", "m", in_cwd(name), music("x.mp3")});
    EXPECT_EQ(run.exit_code, 1) << name;
    EXPECT_EQ(std::count(run.error_output.begin(), run.error_output.end(), '\n'), 1) << run.error_output;
    EXPECT_FALSE(tools_test::file_exists(music("x.mp3"))) << name;
  }
  const ToolRun unknown = suxx({"--preset", "standard", in_cwd("six.wav"), music("x.mp3")});
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_NE(unknown.error_output.find("usage"), std::string::npos);
}

TEST_F(Programs, RendererAndEncoderConvertOneFileAsTheConverterDoes) {
  ASSERT_TRUE(tools_test::write_file(music("song.mod"), tools_test::make_mod(true, "Song")));
  ToolRun run = amiga({"/adp", music("song.mod")});
  ASSERT_EQ(run.exit_code, 0) << run.error_output;
  run = suxx({"-b", "128", "-m", "m", in_cwd("song.wav"), music("song.mp3")});
  ASSERT_EQ(run.exit_code, 0) << run.error_output;
  const std::string mp3 = read_text(music("song.mp3"));
  EXPECT_NE(mp3.find(utf16le(u"Song")), std::string::npos);
  // About 31 s at 128 kbit/s.
  EXPECT_GT(mp3.size(), 400000u);
  EXPECT_LT(mp3.size(), 560000u);
}

}  // namespace
