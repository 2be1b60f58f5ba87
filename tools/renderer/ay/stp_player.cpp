#include "tools/renderer/ay/stp_player.h"

#include <algorithm>
#include <cstring>

#include "tools/renderer/ay/tracker_frames.h"

namespace tools::ay {
namespace {

using tracker::ChipState;
using tracker::Voice;
using zx::ModuleBytes;

// The header: +0 delay, +1 the position list, +3 the pattern table, +5 the
// ornament table (16 entries), +7 the sample table (15 entries), +9 a byte
// the player's initialisation changes. The position list is a count, the
// loop position, then per position the pattern's offset in the pattern
// table (six bytes a pattern) and a transposition. Pointers count from the
// start of the module.
constexpr size_t kHeaderSize = 10;
constexpr int kOrnaments = 16;
constexpr int kSamples = 15;
constexpr char kTitleTag[] = "KSA SOFTWARE COMPILATION OF ";
constexpr size_t kTitleTagSize = sizeof kTitleTag - 1;
constexpr size_t kTitleSize = 27;
constexpr int kMaxRowBytes = 64;
constexpr int kNoLoop = 0xFF;

struct Layout {
  int delay = 0;
  size_t positions = 0;
  size_t patterns = 0;
  size_t ornaments = 0;
  size_t samples = 0;
  int count = 0;
  int loop = 0;
  int pattern_count = 0;
};

size_t word_at(const uint8_t* data, size_t at) { return data[at] | data[at + 1] << 8; }

// A sample or ornament: its loop line (0xFF: none) and length, then
// `length` entries of `entry_size` bytes. The compiler points the entries of
// unused ones at other data, often with a length of 0, so only that the
// block lies inside the module is checked here, its loop when played.
bool block_in_module(const uint8_t* data, size_t size, size_t at, size_t entry_size) {
  return at >= kHeaderSize && at + 2 <= size && at + 2 + entry_size * data[at + 1] <= size;
}

bool read_layout(const uint8_t* data, size_t size, Layout* layout) {
  if (size < kHeaderSize + 4) return false;
  layout->delay = data[0];
  layout->positions = word_at(data, 1);
  layout->patterns = word_at(data, 3);
  layout->ornaments = word_at(data, 5);
  layout->samples = word_at(data, 7);
  if (layout->delay == 0 || layout->positions < kHeaderSize || layout->positions + 2 > size ||
      layout->patterns < kHeaderSize || layout->ornaments <= layout->patterns ||
      (layout->ornaments - layout->patterns) % 6 != 0 || layout->ornaments + 2 * kOrnaments > size ||
      layout->samples + 2 * kSamples > size)
    return false;
  layout->pattern_count = static_cast<int>((layout->ornaments - layout->patterns) / 6);
  layout->count = data[layout->positions];
  layout->loop = data[layout->positions + 1];
  if (layout->count == 0 || layout->loop >= layout->count ||
      layout->positions + 2 + 2 * static_cast<size_t>(layout->count) > size)
    return false;
  for (int i = 0; i < layout->count; ++i) {
    int offset = data[layout->positions + 2 + 2 * i];
    if (offset % 6 != 0 || offset / 6 >= layout->pattern_count) return false;
  }
  for (int i = 0; i < 3 * layout->pattern_count; ++i) {
    size_t channel = word_at(data, layout->patterns + 2 * i);
    if (channel < kHeaderSize || channel >= size) return false;
  }
  for (int i = 0; i < kOrnaments; ++i)
    if (!block_in_module(data, size, word_at(data, layout->ornaments + 2 * i), 1)) return false;
  for (int i = 0; i < kSamples; ++i)
    if (!block_in_module(data, size, word_at(data, layout->samples + 2 * i), 4)) return false;
  return true;
}

struct Channel {
  size_t data = 0;
  bool ended = false;
  int row_length = 0;
  int rows_left = 0;

  bool sounding = false;
  int note = 0;
  size_t sample = 0;  // the sample's and the ornament's block
  size_t ornament = 0;
  int volume = 15;
  bool envelope = false;
  int sample_tick = 0;
  int ornament_tick = 0;
  int slide_step = 0;  // the glide goes on over later notes until an ornament is chosen
  int slide = 0;
};

class StpPass : public zx::PositionPlayer {
 public:
  StpPass(ModuleBytes& module, const Layout& layout) : m_(module), layout_(layout) {
    for (Channel& channel : channels_) {
      channel.sample = m_.word(layout_.samples);
      channel.ornament = m_.word(layout_.ornaments);
    }
    start_position(0);
  }

  bool play_frame(Frame* frame, std::string* error) override {
    ChipState state;
    wrapped_ = false;
    shape_ = -1;
    if (--tick_ <= 0) {
      tick_ = layout_.delay;
      if (!next_row(error)) return false;
    }
    for (int c = 0; c < 3; ++c) state.voices[c] = sound(channels_[c]);
    state.noise = static_cast<uint8_t>(noise_);
    state.envelope_period = static_cast<uint16_t>(envelope_period_);
    state.shape = shape_;
    return tracker::finish_frame(m_, state, &last_shape_, frame, error);
  }

  int position() const override { return position_; }
  bool wrapped() const override { return wrapped_; }

 private:
  void start_position(int position) {
    position_ = position;
    size_t at = layout_.positions + 2 + 2 * static_cast<size_t>(position);
    size_t pattern = layout_.patterns + m_.byte(at);
    transposition_ = static_cast<int8_t>(m_.byte(at + 1));
    for (int c = 0; c < 3; ++c) {
      channels_[c].data = m_.word(pattern + 2 * c);
      channels_[c].ended = false;
      channels_[c].rows_left = 0;
    }
  }

  // A pattern ends when its first channel reaches its end mark.
  bool next_row(std::string* error) {
    for (int skipped = 0; m_.byte(channels_[0].data) == 0 && channels_[0].rows_left <= 1; ++skipped) {
      if (skipped > layout_.count) {
        *error = "the module's patterns hold no rows";
        return false;
      }
      int next = position_ + 1;
      if (next >= layout_.count) {
        next = layout_.loop;
        wrapped_ = true;
      }
      start_position(next);
      if (m_.broken()) return true;
    }
    for (Channel& channel : channels_) {
      if (--channel.rows_left > 0 || channel.ended) continue;
      if (!read_row(channel)) {
        *error = "a pattern runs on without a row";
        return false;
      }
    }
    return true;
  }

  bool read_row(Channel& ch) {
    for (int n = 0; n < kMaxRowBytes; ++n) {
      int b = m_.byte(ch.data++);
      if (m_.broken()) return true;
      if (b == 0) {
        --ch.data;
        ch.ended = true;
        return true;
      }
      if (b <= 0x60) {
        start_note(ch, b - 1);
        return end_row(ch);
      }
      if (b < 0x70) {
        ch.sample = m_.word(layout_.samples + 2 * static_cast<size_t>(b - 0x61));
      } else if (b < 0x80) {
        ch.ornament = m_.word(layout_.ornaments + 2 * static_cast<size_t>(b - 0x70));
        ch.envelope = false;
        ch.slide_step = 0;
      } else if (b < 0xC0) {
        ch.row_length = b - 0x80;
      } else if (b < 0xD0) {
        // An envelope shape and the low byte of its period; the channel
        // plays without an ornament while it lasts.
        shape_ = envelope_shape_ = b & 0x0F;
        envelope_period_ = m_.byte(ch.data++);
        ch.envelope = true;
        ch.ornament = m_.word(layout_.ornaments);
      } else if (b == 0xD0) {  // rest
        ch.sounding = false;
        return end_row(ch);
      } else if (b < 0xE0) {
        ch.volume = b - 0xD0;
      } else if (b == 0xE0) {  // nothing new this row
        return end_row(ch);
      } else {
        // Glides: E1..EF lower the pitch by that many period units a frame,
        // F0..FF raise it.
        ch.slide_step = b < 0xF0 ? b - 0xE0 : -(b - 0xEF);
      }
    }
    return false;
  }

  bool end_row(Channel& ch) {
    ch.rows_left = ch.row_length + 1;
    return true;
  }

  void start_note(Channel& ch, int note) {
    ch.note = note + transposition_;
    ch.sample_tick = ch.ornament_tick = 0;
    ch.slide = 0;
    ch.sounding = true;
    if (ch.envelope) shape_ = envelope_shape_;
  }

  // Steps a sample or ornament on; false when one without a loop ran out.
  bool advance(size_t block, int* tick) {
    int loop = m_.byte(block), length = m_.byte(block + 1);
    if (++*tick < length) return true;
    if (loop == kNoLoop || loop >= length) return false;
    *tick = loop;
    return true;
  }

  Voice sound(Channel& ch) {
    Voice voice;
    if (!ch.sounding || m_.byte(ch.sample + 1) == 0) return voice;
    size_t line = ch.sample + 2 + 4 * static_cast<size_t>(ch.sample_tick);
    int b0 = m_.byte(line), b1 = m_.byte(line + 1);
    int shift = static_cast<int16_t>(m_.word(line + 2));
    int offset =
        m_.byte(ch.ornament + 1) == 0 ? 0 : static_cast<int8_t>(m_.byte(ch.ornament + 2 + ch.ornament_tick));
    int base = tracker::note_period(zx::sound_tracker_notes(), ch.note + offset);
    voice.tone = static_cast<uint16_t>(std::clamp(base + shift + ch.slide, 0, 0xFFF));
    voice.tone_on = !(b0 & 0x10);
    voice.noise_on = !(b0 & 0x80);
    voice.level = tracker::scaled_level(b0 & 0x0F, ch.volume);
    voice.envelope = ch.envelope && !(b1 & 0x01);
    if (voice.noise_on) noise_ = b1 >> 1 & 0x1F;
    ch.slide = std::clamp(ch.slide + ch.slide_step, -0xFFF, 0xFFF);
    if (!advance(ch.ornament, &ch.ornament_tick)) {
      ch.ornament = m_.word(layout_.ornaments);
      ch.ornament_tick = 0;
    }
    if (!advance(ch.sample, &ch.sample_tick)) ch.sounding = false;
    return voice;
  }

  ModuleBytes& m_;
  Layout layout_;
  Channel channels_[3];
  int position_ = 0;
  int transposition_ = 0;
  bool wrapped_ = false;
  int tick_ = 1;
  int noise_ = 0;
  int envelope_period_ = 0;
  int envelope_shape_ = 8;
  int shape_ = -1;
  uint8_t last_shape_ = 0;
};

bool detect(const uint8_t* data, size_t size) {
  Layout layout;
  return read_layout(data, size, &layout);
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  Layout layout;
  if (!read_layout(data, size, &layout)) {
    *error = "not a Sound Tracker Pro module";
    return false;
  }
  *song = AySong();
  song->program = "Sound Tracker Pro";
  if (size >= kHeaderSize + kTitleTagSize + kTitleSize &&
      std::memcmp(data + kHeaderSize, kTitleTag, kTitleTagSize) == 0)
    song->title = zx::field_text(data + kHeaderSize + kTitleTagSize, kTitleSize);
  ModuleBytes module(data, size);
  StpPass pass(module, layout);
  return zx::record_pass(pass, layout.loop, song, error);
}

}  // namespace

const Format kStpFormat = {"Sound Tracker Pro", detect, parse};

}  // namespace tools::ay
