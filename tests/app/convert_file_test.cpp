#include <gtest/gtest.h>

#include <string>

#include "app/convert_file.h"
#include "app/converter_state.h"
#include "runtime/base/program_runner.h"
#include "runtime/base/string_workspace.h"
#include "tests/runtime/base/base_test_support.h"

namespace {

// A current directory holding the stand-in programs, and a music folder
// elsewhere: the programs are found through the search from the current
// directory, as the converter finds the real ones.
class ConvertFileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool initialised = false;
    if (!initialised) program_runner_init();
    initialised = true;
  }

  void SetUp() override {
    workspace_init();
    converter_state.bitrate_kbit = 192;
    SetEnvironmentVariableA("QUARVO_STANDIN", nullptr);
    for (const char* program : {"amiga.exe", "suxx.exe"})
      CopyFileA((program_folder() + "standins\\" + program).c_str(), (work / program).c_str(), FALSE);
    music.make_folder("music");
    music.make_folder("other");
    music.make_folder("dotted.folder");
    music.write_file("music\\tune.ay", "tune data");
    here = new CurrentDirectory(work.path());
  }

  void TearDown() override {
    delete here;
    SetEnvironmentVariableA("QUARVO_STANDIN", nullptr);
  }

  std::string calls() const { return read_file(work / "calls.log"); }

  TemporaryFolder work;
  TemporaryFolder music;
  CurrentDirectory* here = nullptr;
};

TEST_F(ConvertFileTest, RendersIntoTheCurrentFolderAndEncodesBesideTheSource) {
  std::string source = music / "music\\tune.ay";
  EXPECT_EQ(convert_file(source.c_str()), 0);
  std::string wav = work / "tune.wav";
  std::string expected_calls = "\"amiga.exe\" /adp \"" + source + "\"|" + work.path() + "\n" +
                               "\"suxx.exe\" -b 192 -m m \"" + wav + "\" \"" + (music / "music\\tune.mp3") +
                               "\"|" + work.path() + "\n";
  EXPECT_EQ(calls(), expected_calls);
  EXPECT_EQ(read_file(music / "music\\tune.mp3"), "MP3 at 192 from WAV of " + source);
  EXPECT_FALSE(exists(wav));
  EXPECT_FALSE(exists(work / "Ay_Emul.ayl"));
  EXPECT_EQ(workspace_position(), 0);
}

TEST_F(ConvertFileTest, PathMayLieInTheCallersWorkspace) {
  int32_t s = workspace_position();
  workspace_append((music / "music\\tune.ay").c_str());
  workspace_reserve(1, workspace_position());
  convert_file(workspace_pointer(s));
  workspace_truncate(s);
  EXPECT_TRUE(exists(music / "music\\tune.mp3"));
}

TEST_F(ConvertFileTest, NoWavMeansNoEncoderAndNothingDeleted) {
  SetEnvironmentVariableA("QUARVO_STANDIN", "no-wav");
  work.write_file("Ay_Emul.ayl", "left by an earlier run");
  convert_file((music / "music\\tune.ay").c_str());
  EXPECT_EQ(calls().find("suxx.exe"), std::string::npos) << calls();
  EXPECT_FALSE(exists(music / "music\\tune.mp3"));
  EXPECT_TRUE(exists(work / "Ay_Emul.ayl"));
}

TEST_F(ConvertFileTest, StaleWavIsNotEncodedWhenTheRendererFails) {
  work.write_file("tune.wav", "an older tune's audio");
  SetEnvironmentVariableA("QUARVO_STANDIN", "no-wav");
  convert_file((music / "music\\tune.ay").c_str());
  EXPECT_FALSE(exists(music / "music\\tune.mp3"));
  EXPECT_FALSE(exists(work / "tune.wav"));
}

TEST_F(ConvertFileTest, FailingEncoderStillHasTheWavAndLeftoverDeleted) {
  SetEnvironmentVariableA("QUARVO_STANDIN", "encoder-fails");
  convert_file((music / "music\\tune.ay").c_str());
  EXPECT_NE(calls().find("suxx.exe"), std::string::npos);
  EXPECT_FALSE(exists(music / "music\\tune.mp3"));
  EXPECT_FALSE(exists(work / "tune.wav"));
  EXPECT_FALSE(exists(work / "Ay_Emul.ayl"));
}

TEST_F(ConvertFileTest, MissingSourceRunsNothingButAnEmptyOneIsRendered) {
  convert_file((music / "music\\gone.ay").c_str());
  EXPECT_FALSE(exists(work / "calls.log"));
  music.write_file("music\\empty.pt3", "");
  convert_file((music / "music\\empty.pt3").c_str());
  EXPECT_NE(calls().find("empty.pt3"), std::string::npos);
  EXPECT_TRUE(exists(music / "music\\empty.mp3"));
}

TEST_F(ConvertFileTest, BitRateIsReadWhenTheEncoderStarts) {
  convert_file((music / "music\\tune.ay").c_str());
  converter_state.bitrate_kbit = 320;
  music.write_file("other\\second.ay", "x");
  convert_file((music / "other\\second.ay").c_str());
  EXPECT_NE(calls().find("-b 192 -m m"), std::string::npos);
  EXPECT_NE(calls().find("-b 320 -m m \"" + (work / "second.wav")), std::string::npos) << calls();
}

TEST_F(ConvertFileTest, SameNameInTwoFoldersUsesOneWavNameInTurn) {
  music.write_file("other\\tune.ay", "other tune");
  convert_file((music / "music\\tune.ay").c_str());
  convert_file((music / "other\\tune.ay").c_str());
  EXPECT_EQ(read_file(music / "music\\tune.mp3"), "MP3 at 192 from WAV of " + (music / "music\\tune.ay"));
  EXPECT_EQ(read_file(music / "other\\tune.mp3"), "MP3 at 192 from WAV of " + (music / "other\\tune.ay"));
}

TEST_F(ConvertFileTest, NameWithoutExtensionKeepsItsWholeNameInADottedFolder) {
  music.write_file("dotted.folder\\noextension", "x");
  convert_file((music / "dotted.folder\\noextension").c_str());
  EXPECT_NE(calls().find("\"" + (work / "noextension.wav") + "\""), std::string::npos) << calls();
  EXPECT_TRUE(exists(music / "dotted.folder\\noextension.mp3"));
}

TEST_F(ConvertFileTest, WavSourceInTheCurrentFolderIsLeftAlone) {
  work.write_file("song.wav", "the user's own recording");
  convert_file((work / "song.wav").c_str());
  EXPECT_EQ(read_file(work / "song.wav"), "the user's own recording");
  EXPECT_FALSE(exists(work / "calls.log"));
}

TEST_F(ConvertFileTest, MissingRendererPassesTheFileOver) {
  DeleteFileA((work / "amiga.exe").c_str());
  convert_file((music / "music\\tune.ay").c_str());
  EXPECT_FALSE(exists(music / "music\\tune.mp3"));
}

}  // namespace
