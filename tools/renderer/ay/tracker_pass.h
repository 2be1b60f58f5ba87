// The frame cycle the ZX Spectrum tracker players share: every `delay`
// frames a row, read for each channel whose last note or rest has run its
// rows; past the end of a pattern the next position, and past the last one
// the loop position; then each channel sounds for one frame and the chip
// takes what they left. A player derives from `Pass`, points the channels
// at a position's pattern, says when a pattern has ended, reads a row and
// sounds a channel; the rest is here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/tracker_frames.h"
#include "tools/renderer/ay/zx_tracker.h"

namespace tools::ay::tracker {

// Where a channel stands in its pattern. A player's own channel record
// derives from it.
struct PatternReader {
  size_t data = 0;      // the next pattern byte
  bool ended = false;   // at its end mark: the channel rests until the next position
  int row_length = 0;   // rows a note or a rest lasts, less one
  int rows_left = 0;    // rows until the channel is read again
};

template <class Channel>
class Pass : public zx::PositionPlayer {
 public:
  bool play_frame(Frame* frame, std::string* error) final {
    wrapped_ = false;
    state_.shape = -1;
    // A tempo command takes effect on the row it stands in.
    if (--tick_ <= 0) {
      if (!next_row(error)) return false;
      tick_ = delay_;
    }
    for (int c = 0; c < 3; ++c) state_.voices[c] = sound(channels_[c]);
    return finish_frame(m_, state_, &last_shape_, frame, error);
  }

  int position() const final { return position_; }
  bool wrapped() const final { return wrapped_; }

 protected:
  Pass(const uint8_t* data, size_t size, int count, int loop, int delay)
      : m_(data, size), count_(count), loop_(loop), delay_(delay) {}

  // Points the channels at the pattern of `position`; `position_` and
  // `row_` are already set.
  virtual void start_position(int position) = 0;
  // Whether the pattern has no row left, checked before each row.
  virtual bool pattern_ended() = 0;
  // Reads the channel's next row and sets its rows_left (end_row does);
  // false when the row never ends.
  virtual bool read_row(Channel& channel) = 0;
  // The channel's voice this frame, stepping its sample and ornament on.
  virtual Voice sound(Channel& channel) = 0;

  // Derived constructors call this once for position 0.
  void enter(int position) {
    position_ = position;
    row_ = 0;
    start_position(position);
  }

  void end_row(Channel& channel) { channel.rows_left = channel.row_length + 1; }

  // A pattern_ended for the trackers whose patterns end where their first
  // track does: that track at `end_mark` with its last row played.
  bool first_track_ended(uint8_t end_mark) {
    return m_.byte(channels_[0].data) == end_mark && channels_[0].rows_left <= 1;
  }

  zx::ModuleBytes m_;
  Channel channels_[3];
  int count_;
  int loop_;
  int delay_;             // frames a row
  int position_ = 0;
  int row_ = 0;           // rows of the pattern read so far
  int envelope_shape_ = 8;  // the shape an envelope note restarts
  ChipState state_;       // noise, envelope period and shape persist between frames

 private:
  bool next_row(std::string* error) {
    // Positions whose pattern has no rows are passed over, at most once round.
    for (int skipped = 0; pattern_ended(); ++skipped) {
      if (skipped > count_) {
        *error = "the module's patterns hold no rows";
        return false;
      }
      int next = position_ + 1;
      if (next >= count_) {
        next = loop_;
        wrapped_ = true;
      }
      enter(next);
      if (m_.broken()) return true;  // reported at the end of the frame
    }
    ++row_;
    for (Channel& channel : channels_) {
      if (--channel.rows_left > 0 || channel.ended) continue;
      if (!read_row(channel)) {
        *error = "a pattern runs on without a row";
        return false;
      }
    }
    return true;
  }

  bool wrapped_ = false;
  int tick_ = 1;
  uint8_t last_shape_ = 0;
};

}  // namespace tools::ay::tracker
