// What the ZX Spectrum tracker players share: reads of a module that can
// never leave it, and the recording of one pass through a position list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay::zx {

// The little-endian word at `at` of a module whose bounds the caller has
// checked (header checks, before a ModuleBytes view exists).
inline size_t word_at(const uint8_t* data, size_t at) { return data[at] | data[at + 1] << 8; }

// A module's bytes. A read outside them answers 0 and marks the view
// broken: module data steers every pointer a player follows, so the players
// read freely and the recorder checks the mark once a frame.
class ModuleBytes {
 public:
  ModuleBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t size() const { return size_; }
  bool broken() const { return broken_; }
  void mark_broken() { broken_ = true; }

  uint8_t byte(size_t at) {
    if (at < size_) return data_[at];
    broken_ = true;
    return 0;
  }
  // Little-endian, as the Z80 stores its words.
  uint16_t word(size_t at) { return static_cast<uint16_t>(byte(at) | byte(at + 1) << 8); }
  // Whether [at, at + count) lies inside the module, without marking it.
  bool holds(size_t at, size_t count) const { return at <= size_ && count <= size_ - at; }

 private:
  const uint8_t* data_;
  size_t size_;
  bool broken_ = false;
};

// A player that walks a position list once, a frame at a time.
class PositionPlayer {
 public:
  virtual ~PositionPlayer() = default;
  // Plays the next 50 Hz frame into `frame`. False when the module's data
  // turned out to be broken, with the reason in `error`.
  virtual bool play_frame(Frame* frame, std::string* error) = 0;
  // The entry of the position list the frame just played belongs to.
  virtual int position() const = 0;
  // Whether that frame went past the end of the list, back to its loop.
  virtual bool wrapped() const = 0;
};

// Plays `player` into song->frames until its position list wraps around or
// the song holds max_frames(song->frame_hz), so set the rate first. loop_frame becomes the first frame played at
// `loop_position`, or -1 when the cap cut the pass short.
bool record_pass(PositionPlayer& player, int loop_position, AySong* song, std::string* error);

// A fixed-size text field of a header without the spaces and NULs that pad it.
std::string field_text(const uint8_t* data, size_t size);

}  // namespace tools::ay::zx
