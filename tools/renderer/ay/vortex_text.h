// Vortex Tracker II's own text form of a module, as the tracker saves it
// (.vt2, or .txt from its first versions): a [Module] section of keys,
// then [OrnamentN], [SampleN] and [PatternN] sections, each closed by an
// empty line; a file for two or three chips holds one such module per
// chip. The text is read into what it says, line by line; what a Pro
// Tracker 3 player makes of it is vortex_pt3's business.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tools::ay::vortex {

constexpr int kSamples = 32;      // 1..31 in patterns; 0 exists in the format
constexpr int kOrnaments = 16;    // 0..15; 0 is no ornament
constexpr int kPatterns = 85;     // a position stores the pattern number times 3 in a byte
constexpr int kMaxPositions = 256;
constexpr int kMaxRows = 256;
constexpr int kMaxLines = 255;    // of a sample or an ornament
constexpr int kMaxChips = 3;

// One line of a sample: what the channel does on one frame of a note.
struct SampleLine {
  bool tone = false, noise = false, envelope = false;
  int tone_shift = 0;         // added to the note's period, -0xFFF..0xFFF
  bool accumulate_tone = false;
  int noise_shift = 0;        // the noise period's offset, or the envelope's while noise is off
  bool accumulate_noise = false;
  int amplitude = 0;          // 0..15
  int amplitude_slide = 0;    // -1, 0 or +1 a frame
};

struct Sample {
  bool defined = false;
  std::vector<SampleLine> lines;
  int loop = 0;
};

struct Ornament {
  bool defined = false;
  std::vector<int> shifts;  // semitones, -128..127
  int loop = 0;
};

constexpr int kNoNote = -1;
constexpr int kRest = -2;

// One channel's part of a pattern row. 0 (or kNoNote) means the column is
// empty and leaves the channel as it was.
struct Cell {
  int note = kNoNote;  // 0..95 (C-1..B-8), kRest, or kNoNote
  int sample = 0;      // 1..31
  int envelope = 0;    // 1..14 a shape, 15 off
  int ornament = -1;   // 0..15, -1 none
  int volume = 0;      // 1..15
  int command = 0;     // 1..6, 9, 0xA, 0xB; 0 none
  int delay = 0;       // 0..15
  int parameter = 0;   // 0..255
};

struct Row {
  int envelope_period = 0;  // 0..0xFFFF, used by a cell that sets a shape
  int noise = 0;            // 0..31; 0 leaves the noise as it was
  std::array<Cell, 3> cells;
};

struct Pattern {
  bool defined = false;
  std::vector<Row> rows;
};

struct Module {
  std::string title, author;  // bytes as the file holds them
  int version = 6;            // the digit of "3.x" in Version=
  int note_table = 0;         // 0..3
  int speed = 3;              // frames per row at the start
  double chip_hz = 1773400;   // ChipFreq=; the ZX Spectrum's when absent
  double frame_hz = 50;       // IntFreq= in thousandths of a hertz
  std::vector<int> positions; // pattern numbers
  int loop_position = 0;
  std::array<Ornament, kOrnaments> ornaments;
  std::array<Sample, kSamples> samples;
  std::array<Pattern, kPatterns> patterns;
};

// Whether `data` opens as a Vortex Tracker text module: a [Module] section
// (after blank lines) whose keys include PlayOrder before any other section.
bool looks_like_text_module(const uint8_t* data, size_t size);

// Reads the whole text into one module per chip, or returns false with a
// one-line reason: a malformed line, a section not closed by its empty
// line (a cut file), a number out of range, a position naming a pattern the
// module lacks.
bool read_text_modules(const uint8_t* data, size_t size, std::vector<Module>* modules, std::string* error);

}  // namespace tools::ay::vortex
