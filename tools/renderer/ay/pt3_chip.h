// One AY chip as a Pro Tracker 3 module drives it: three channels reading
// their tracks of the current pattern a row at a time, and their samples,
// ornaments and effects turned into register values every frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/zx_tables.h"
#include "tools/renderer/ay/zx_tracker.h"

namespace tools::ay::pt3 {

// Offsets into a module's header.
constexpr size_t kVersionDigit = 13;
constexpr size_t kTitle = 30;        // 32 bytes
constexpr size_t kAuthor = 66;       // 32 bytes
constexpr size_t kSecondChipPatterns = 98;  // Pro Tracker 3.7 TurboSound; a space otherwise
constexpr size_t kNoteTable = 99;
constexpr size_t kDelay = 100;
constexpr size_t kLoopPosition = 102;
constexpr size_t kPatternTable = 103;
constexpr size_t kSamples = 105;     // 32 words
constexpr size_t kOrnaments = 169;   // 16 words
constexpr size_t kPositions = 201;   // pattern number × 3 each, 0xFF after the last
constexpr uint8_t kEndOfPositions = 0xFF;

// What the header of one module says. `bytes` are that module's own: its
// offsets count from its first byte.
struct Module {
  zx::ModuleBytes* bytes = nullptr;
  int version = 6;  // the digit of "3.x"; 6 when the header has none
  const zx::NoteTable* notes = nullptr;
  const zx::VolumeTable* volumes = nullptr;
};

class Chip {
 public:
  explicit Chip(const Module& module);

  // Points the three channels at the tracks of `pattern`.
  void start_pattern(int pattern);
  // Whether channel A's track has no rows left.
  bool track_ended();
  // Whether channel A's next row is due and its track has ended there: the
  // moment the player moves to the next position.
  bool track_ends_at_next_row();
  // Reads the row of each channel whose turn it is; a speed command sets
  // `delay`, the frames per row.
  void play_row(uint8_t* delay);
  // This frame's registers R0..R13, and the effects advanced by a frame.
  void play_frame(ChipFrame* frame);

 private:
  struct Channel {
    size_t track = 0;  // the next byte of the channel's track
    size_t sample = 0;
    uint8_t sample_loop = 0, sample_length = 0, sample_position = 0;
    size_t ornament = 0;
    uint8_t ornament_loop = 0, ornament_length = 0, ornament_position = 0;
    uint8_t volume = 15;
    uint8_t note = 0, slide_to_note = 0;
    uint8_t rows_per_note = 1, rows_left = 1;
    bool enabled = false, envelope_enabled = false;
    // Glissando (simple) or portamento towards slide_to_note.
    bool simple_glissando = false;
    uint8_t slide_delay = 0, slide_count = 0;
    int16_t slide_step = 0, tone_sliding = 0, tone_delta = 0;
    uint16_t tone_accumulator = 0;
    int8_t amplitude_sliding = 0, envelope_sliding = 0;
    uint8_t noise_sliding = 0;
    // Vibrato in Pro Tracker 3's sense: the channel switches off and on.
    uint8_t on_off_count = 0, on_delay = 0, off_delay = 0;
    uint16_t tone = 0;
    uint8_t amplitude = 0;
  };

  void set_sample(Channel& channel, int number);
  void set_ornament(Channel& channel, int number);
  void reset_note(Channel& channel);
  void read_row(Channel& channel, uint8_t* delay);
  void read_effects(Channel& channel, const uint8_t* effects, int count, uint8_t previous_note,
                    int16_t previous_sliding, uint8_t* delay);
  void advance(Channel& channel, uint8_t* mixer);

  Module module_;
  zx::ModuleBytes& bytes_;
  Channel channels_[3];
  // Shared by the channels: the pattern's noise and envelope, and the
  // offsets the samples add to them.
  uint8_t noise_base_ = 0, noise_add_ = 0;
  uint16_t envelope_base_ = 0;
  int16_t envelope_add_ = 0;
  int16_t envelope_slide_ = 0, envelope_slide_step_ = 0;
  uint8_t envelope_delay_ = 0, envelope_count_ = 0;
  uint8_t shape_ = 0;
  bool shape_written_ = false;
};

}  // namespace tools::ay::pt3
