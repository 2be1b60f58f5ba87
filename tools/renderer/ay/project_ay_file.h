// The Project AY file ("ZXAYEMUL"): a game's or demo's own Z80 player code
// and data, ripped from a ZX Spectrum or an Amstrad CPC, with a header that
// says where each song's blocks go in the 64 KB of memory and where its
// player's init and interrupt routines start. Words are big-endian (the
// format began on the Amiga) and every pointer is a signed offset from the
// pointer's own place in the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tools::ay::project {

struct Block {
  uint16_t address = 0;  // where it goes in memory
  size_t offset = 0;     // where its bytes start in the file
  size_t length = 0;
};

struct Song {
  std::string name;                    // raw bytes, any code page
  std::array<uint8_t, 4> channels{};   // the DeliTracker channel of A, B, C and the noise
  uint16_t length_frames = 0;          // in 1/50 s; 0: not known
  uint16_t fade_frames = 0;
  uint8_t hi_reg = 0, lo_reg = 0;      // the registers' high and low bytes at the start
  uint16_t stack = 0, init = 0, interrupt = 0;
  std::vector<Block> blocks;           // in file order; the first one's address stands for a zero init
};

struct File {
  uint8_t file_version = 0;
  uint8_t player_version = 0;
  std::string author, misc;
  int first_song = 0;
  std::vector<Song> songs;
};

// The other kind of AY file, "ZXAYAMAD": a Fuxoft AY Language data block
// with the header's texts. Its song data record is as long as a Project AY
// one: the block's load address, the noise mask, the loop count and the
// song's length in frames, then eight bytes nothing here needs; the block
// follows it and runs to the file's end.
struct FxmTune {
  std::string name, author;  // raw bytes, any code page
  uint16_t address = 0;
  uint16_t length_frames = 0;
  size_t offset = 0;  // where the block starts in the file
};

// Reads the header, the first song's texts and its data record. False,
// with a one-line reason, when the signature is not there or a pointer or
// a text lies outside the file.
bool parse_fxm_file(const uint8_t* data, size_t size, FxmTune* tune, std::string* error);

// Whether the data starts with the signature.
bool is_project_ay(const uint8_t* data, size_t size);

// Reads the header, every song and its points and blocks. False, with a
// one-line reason, when a pointer, a text or a block's start lies outside
// the file; a block running past the file's end or past the top of memory
// is cut there.
bool parse_file(const uint8_t* data, size_t size, File* file, std::string* error);

// The memory a song starts in: RET over the first 256 bytes, RST 38h up
// to the first 16 KB's end, zero above, EI at the interrupt entry 0038h;
// at 0000h the loader that calls init once and then, after each HALT,
// the interrupt routine (IM 1), or only halts when there is none (IM 2);
// then the song's blocks.
void load_memory(const uint8_t* data, const Song& song, uint8_t* memory /* 65536 bytes */);

// The loader's first instruction after init returns: the HALT loop.
constexpr uint16_t kLoaderLoop = 4;

}  // namespace tools::ay::project
