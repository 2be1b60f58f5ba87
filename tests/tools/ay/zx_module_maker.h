// Tiny ZX Spectrum tracker modules made by the tests: Pro Tracker 3 (and
// its TurboSound layouts), Pro Tracker 2 and Sound Tracker, laid out as
// their compilers lay them out, from tracks the tests spell in the
// formats' own command bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"

namespace zx_test {

using Bytes = std::vector<uint8_t>;
using Tracks = std::array<Bytes, 3>;  // channels A, B, C, each with its end marker

// One line of a Pro Tracker 3 sample.
struct Pt3Line {
  int amplitude = 15;
  bool tone = true, noise = false, envelope = false;
  int tone_offset = 0;
  int offset = 0;  // noise period offset, or (with noise off) envelope offset, -16..15
  bool accumulate_tone = false, accumulate_offset = false;
  int amplitude_slide = 0;  // -1 down, +1 up, 0 none
};
struct Pt3Sample {
  int loop = 0;
  std::vector<Pt3Line> lines = {Pt3Line{}};
};
struct Pt3Ornament {
  int loop = 0;
  std::vector<int8_t> offsets = {0};
};

struct Pt3Module {
  std::string header = "ProTracker 3.5";  // "ProTracker 3." and the version digit, or "Vortex Tracker II"
  std::string title = "made title", author = "made author";
  uint8_t second_chip_patterns = ' ';  // Pro Tracker 3.7 TurboSound: the pattern count
  int note_table = 0;
  int delay = 3;
  int loop = 0;
  std::vector<int> positions = {0};  // pattern numbers
  std::vector<Tracks> patterns;
  std::vector<Pt3Sample> samples;      // numbers 1.. ; sample 0 is a silent line
  std::vector<Pt3Ornament> ornaments;  // numbers 0.. ; ornament 0 defaults to no offset
};
Bytes make_pt3(const Pt3Module& module);
// Vortex Tracker's TurboSound file: both modules and the footer naming their sizes.
Bytes make_turbo_sound(const Bytes& first, const Bytes& second);

// Pro Tracker 2: sample lines as its compiler stores them.
struct Pt2Line {
  int volume = 15;
  bool tone = true, noise = false;
  int noise_period = 0;
  int tone_offset = 0;
};
struct Pt2Sample {
  int loop = 0;
  std::vector<Pt2Line> lines = {Pt2Line{}};
};
struct Pt2Module {
  std::string name = "made pt2 name";
  int delay = 3;
  int loop = 0;
  std::vector<int> positions = {0};
  std::vector<Tracks> patterns;
  std::vector<Pt2Sample> samples;  // numbers 1..
  std::vector<Pt3Ornament> ornaments;
};
Bytes make_pt2(const Pt2Module& module);

// Sound Tracker: 32 lines a sample, and a repeat.
struct StcLine {
  int volume = 15;
  bool tone = true, noise = false;
  int noise_period = 0;
  int tone_offset = 0;  // -4095..4095
};
struct StcSample {
  int number = 1;
  std::array<StcLine, 32> lines{};
  int repeat = 0;  // the line (from 1) the repeat starts at; 0: none
  int repeat_length = 0;
};
struct StcOrnament {
  int number = 0;
  std::array<int8_t, 32> offsets{};
};
struct StcPattern {
  int number = 1;
  Tracks tracks;
};
struct StcModule {
  std::string identifier = "SONG BY ST COMPILE";
  int delay = 3;
  std::vector<std::pair<int, int>> positions = {{1, 0}};  // pattern number, transposition
  std::vector<StcSample> samples = {StcSample{}};
  std::vector<StcOrnament> ornaments = {StcOrnament{}};
  std::vector<StcPattern> patterns;
};
Bytes make_stc(const StcModule& module);

// Pro Tracker 1: Sound Tracker's lines, a sample's length and loop, and
// ornaments as long as the longest sample.
struct Pt1Sample {
  int loop = 0;
  std::vector<StcLine> lines = {StcLine{}};
};
struct Pt1Module {
  std::string name = "made pt1 name";
  int delay = 3;
  int loop = 0;
  std::vector<int> positions = {0};
  std::vector<Tracks> patterns;
  std::vector<Pt1Sample> samples;              // numbers 1..
  std::vector<std::vector<int8_t>> ornaments;  // numbers 0.. ; ornament 0 defaults to no offset
};
Bytes make_pt1(const Pt1Module& module);

// What the tests read from a parsed song.
uint16_t tone(const tools::ay::ChipFrame& chip, int channel);
uint16_t envelope_period(const tools::ay::ChipFrame& chip);
// Channel A's tone period in every frame of the first chip.
std::vector<uint16_t> tones(const tools::ay::AySong& song, int channel = 0);
// Channel A's R8..R10 level in every frame of the first chip.
std::vector<int> levels(const tools::ay::AySong& song, int channel = 0);

}  // namespace zx_test
