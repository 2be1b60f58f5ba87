// Tiny modules of ASC Sound Master, Pro Sound Creator, Sound Tracker Pro,
// SQ-Tracker, Fast Tracker, Global Tracker and Pro Sound Maker made by the
// tests, laid out as their compilers lay them out, from tracks the tests
// spell in the formats' own pattern bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"

namespace tracker_test {

using Bytes = std::vector<uint8_t>;
using Tracks = std::array<Bytes, 3>;  // channels A, B, C, each with its end mark

// ASC Sound Master. A sample or ornament loops from `loop` to its last line.
struct AscLine {
  int volume = 15;
  bool tone = true, noise = false, envelope = false;
  int tone_step = 0;  // added up line by line
  int adder = 0;      // -16..15, added to the noise (or with noise off the envelope period)
  int slide = 0;      // -1, 0 or +1 volume step this line
};
struct AscSample {
  int loop = 0;
  std::vector<AscLine> lines = std::vector<AscLine>(1);
};
struct AscStep {
  int note = 0;  // added up step by step
  int noise = 0;
};
struct AscOrnament {
  int loop = 0;
  std::vector<AscStep> steps = std::vector<AscStep>(1);
};
struct AscModule {
  int version = 1;  // 0: no loop position byte
  int delay = 3;
  int loop = 0;
  std::vector<int> positions = {0};
  std::vector<Tracks> patterns;
  std::vector<AscSample> samples;  // numbers 0..31; the rest silent
  std::vector<AscOrnament> ornaments;
  bool text = true;
  std::string title = "made asc title", author = "made asc author";
};
Bytes make_asc(const AscModule& module);

// Pro Sound Creator. Lines loop from `loop` to the last one.
struct PscLine {
  int volume = 15;
  bool tone = true, noise = false, envelope = false;
  int tone_step = 0;  // added up
  int noise_step = 0;
  int slide = 0;
};
struct PscSample {
  int loop = 0;
  std::vector<PscLine> lines = std::vector<PscLine>(1);
};
struct PscOrnament {
  int loop = 0;
  std::vector<int> steps = {0};  // note steps, added up
};
struct PscPosition {
  int pattern = 0;
  int rows = 64;
};
struct PscModule {
  int version = 7;  // 1.0x: 0..3 count offsets from the module, 4..7 from their tables
  int delay = 3;
  int loop = 0;
  std::vector<PscPosition> positions = std::vector<PscPosition>(1);
  std::vector<Tracks> patterns;  // each channel ends with 0xFE
  std::vector<PscSample> samples = std::vector<PscSample>(1);
  std::vector<PscOrnament> ornaments = std::vector<PscOrnament>(1);
  std::string title = "made psc title", author = "made psc author";
};
Bytes make_psc(const PscModule& module);

// Sound Tracker Pro. A sample without a loop (loop 0xFF) ends after its lines.
struct StpLine {
  int volume = 15;
  bool tone = true, noise = false, envelope = false;
  int noise_period = 0;
  int tone_offset = 0;
};
struct StpSample {
  int loop = 0xFF;
  std::vector<StpLine> lines = std::vector<StpLine>(1);
};
struct StpOrnament {
  int loop = 0;
  std::vector<int8_t> offsets = {0};
};
struct StpModule {
  int delay = 3;
  int loop = 0;
  std::vector<std::array<int, 2>> positions = {{0, 0}};  // pattern, transposition
  std::vector<Tracks> patterns;                          // each channel ends with 0x00
  std::vector<StpSample> samples;                        // numbers 1..15; the rest silent
  std::vector<StpOrnament> ornaments;                    // numbers 0..15; the rest none
  std::string ksa_title;                                 // kept with the compiler's text when not empty
};
Bytes make_stp(const StpModule& module);

// SQ-Tracker: 32 lines a sample and ornament, then a loop of `loop_length`
// lines from `loop` (none when 0).
struct SqtLine {
  int volume = 15;
  bool tone = true, noise = false;
  int noise_period = 0;
  int tone_offset = 0;  // -4095..4095
};
struct SqtSample {
  int loop = 32, loop_length = 0;
  std::vector<SqtLine> lines = std::vector<SqtLine>(1);  // the last one repeats to 32
};
struct SqtOrnament {
  int loop = 32, loop_length = 0;
  std::vector<int8_t> offsets = {0};  // zeros up to 32
};
struct SqtPosition {
  std::array<int, 3> patterns = {1, 1, 1};
  std::array<int, 3> attenuation = {0, 0, 0};
  int delay = 3;
};
struct SqtPattern {
  int rows = 64;
  Bytes data;
};
struct SqtModule {
  int address = 0xC510;  // where the compiler placed the module
  int loop = 0;
  std::vector<SqtPosition> positions = std::vector<SqtPosition>(1);
  std::vector<SqtPattern> patterns;  // numbers 1..
  std::vector<SqtSample> samples;    // numbers 1..
  std::vector<SqtOrnament> ornaments;
};
Bytes make_sqt(const SqtModule& module);

// Pro Sound Maker, laid out as its compiler does: header, text, positions,
// samples, ornaments, pattern table, tracks. A sample loops when `loops`,
// its level sliding with `slide` (bits 6 and 7 of its second byte) every
// `rounds` + 1 rounds of the loop.
struct PsmLine {
  int volume = 15;
  bool tone = true, noise = false;
  int noise_period = 0;
  int tone_step = 0;  // -1024..1023, added up
};
struct PsmSample {
  bool loops = true;
  int loop = 0;
  int slide = 0;   // 0, 0x80 down, 0xC0 up
  int rounds = 1;  // 0..7
  std::vector<PsmLine> lines = std::vector<PsmLine>(1);
};
struct PsmOrnament {
  bool loops = true;
  int loop = 0;
  std::vector<int8_t> offsets = {0};
};
struct PsmPattern {
  int delay = 3;
  Tracks tracks;  // each channel ends with 0xFF
};
struct PsmModule {
  std::string text = "psm1";
  int loop = 0;
  std::vector<std::array<int, 2>> positions = {{0, 0}};  // pattern, transposition
  std::vector<PsmPattern> patterns;
  std::vector<PsmSample> samples = std::vector<PsmSample>(1);
  std::vector<PsmOrnament> ornaments = std::vector<PsmOrnament>(1);
};
Bytes make_psm(const PsmModule& module);

// Global Tracker: samples and ornaments loop from `loop` (a line number)
// to their last line.
struct GtrLine {
  int volume = 15;
  bool tone = true, noise = false, envelope = false;  // envelope: lets the channel's through
  int noise_period = 0;
  int tone_offset = 0;  // signed, added to the period
};
struct GtrSample {
  int loop = 0;
  std::vector<GtrLine> lines = std::vector<GtrLine>(1);
};
struct GtrOrnament {
  int loop = 0;
  std::vector<int8_t> offsets = {0};
};
struct GtrModule {
  int version = 0x11;  // BCD: 0x10 for 1.0
  int delay = 3;
  int address = 0;  // where the module was compiled to; every pointer is an address there
  int loop = 0;
  std::vector<int> positions = {0};  // pattern numbers
  std::vector<Tracks> patterns;      // each channel ends with 0xFF
  std::vector<GtrSample> samples;    // numbers 0..14; the rest one silent line
  std::vector<GtrOrnament> ornaments;  // numbers 0..15; the rest no offset
  std::string name = "made gtr name";
};
Bytes make_gtr(const GtrModule& module);
// Fast Tracker: a sample line's parts; samples and ornaments loop from
// `loop` to their last line.
struct FtcLine {
  int volume = 15;
  bool tone = true, noise = false, envelope = false;
  int noise_period = 0;
  int tone_offset = 0;  // 13 bits, two's complement
  bool add_tone = false, add_noise = false, add_envelope = false;
  int slide = 0;  // -1 a step down, +1 up
  int envelope_offset = 0;
};
struct FtcSample {
  int loop = 0;
  std::vector<FtcLine> lines = {FtcLine{}};
};
struct FtcOrnament {
  int loop = 0;
  std::vector<int> notes = {0};
};

struct FtcModule {
  std::string name = "MADE TUNE BY MADE AUTHOR";
  uint8_t table = ';';  // 1.00's signature, or 1.07's table number
  int tempo = 3;
  int loop = 0;
  std::vector<std::pair<int, int>> positions = {{0, 0}};  // pattern, transposition
  std::vector<Tracks> patterns;                           // channel A ends with 0xFF
  std::vector<FtcSample> samples;                         // numbers 0..; the rest silent
  std::vector<FtcOrnament> ornaments;                     // numbers 0..; the rest none
};
Bytes make_ftc(const FtcModule& module);

// Reading what a player made: parses `module` with `format` (an empty song
// when it fails), and the registers of the first chip at `frame`.
tools::ay::AySong play(const tools::ay::Format& format, const Bytes& module);
inline int reg(const tools::ay::AySong& song, size_t frame, int r) {
  return song.frames.at(frame)[0].regs[r];
}
inline int tone(const tools::ay::AySong& song, size_t frame, int channel) {
  return reg(song, frame, 2 * channel) | reg(song, frame, 2 * channel + 1) << 8;
}
inline int level(const tools::ay::AySong& song, size_t frame, int channel) {
  return reg(song, frame, 8 + channel);
}

}  // namespace tracker_test
