#include "tools/renderer/ay/stp_player.h"

#include <algorithm>
#include <cstring>

#include "tools/renderer/ay/tracker_pass.h"
#include "tools/renderer/ay/tracker_steps.h"

namespace tools::ay {
namespace {

using tracker::Voice;

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

using zx::word_at;

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

struct Channel : tracker::PatternReader {
  bool sounding = false;
  int note = 0;
  size_t sample = 0;  // the sample's and the ornament's block
  size_t ornament = 0;
  int volume = 15;
  bool envelope = false;
  tracker::BlockCursor sample_at;
  tracker::BlockCursor ornament_at;
  int slide_step = 0;  // the glide goes on over later notes until an ornament is chosen
  int slide = 0;
};

class StpPass : public tracker::Pass<Channel> {
 public:
  StpPass(const uint8_t* data, size_t size, const Layout& layout)
      : Pass(data, size, layout.count, layout.loop, layout.delay), layout_(layout) {
    for (Channel& channel : channels_) {
      channel.sample = m_.word(layout_.samples);
      channel.ornament = m_.word(layout_.ornaments);
    }
    enter(0);
  }

 private:
  void start_position(int position) override {
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
  bool pattern_ended() override { return first_track_ended(0); }

  bool read_row(Channel& ch) override {
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
        end_row(ch);
        return true;
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
        state_.shape = envelope_shape_ = b & 0x0F;
        state_.envelope_period = m_.byte(ch.data++);
        ch.envelope = true;
        ch.ornament = m_.word(layout_.ornaments);
      } else if (b == 0xD0) {  // rest
        ch.sounding = false;
        end_row(ch);
        return true;
      } else if (b < 0xE0) {
        ch.volume = b - 0xD0;
      } else if (b == 0xE0) {  // nothing new this row
        end_row(ch);
        return true;
      } else {
        // Glides: E1..EF lower the pitch by that many period units a frame,
        // F0..FF raise it.
        ch.slide_step = b < 0xF0 ? b - 0xE0 : -(b - 0xEF);
      }
    }
    return false;
  }

  void start_note(Channel& ch, int note) {
    ch.note = note + transposition_;
    ch.sample_at.restart();
    ch.ornament_at.restart();
    ch.slide = 0;
    ch.sounding = true;
    if (ch.envelope) state_.shape = envelope_shape_;
  }

  // A block leads with its loop line (0xFF, past any length, for none) and
  // its length; the loop runs to the end.
  bool advance(size_t block, tracker::BlockCursor* cursor) {
    int loop = m_.byte(block), length = m_.byte(block + 1);
    return cursor->next(length, loop, length);
  }

  Voice sound(Channel& ch) override {
    Voice voice;
    if (!ch.sounding || m_.byte(ch.sample + 1) == 0) return voice;
    size_t line = ch.sample + 2 + 4 * static_cast<size_t>(ch.sample_at.line);
    int b0 = m_.byte(line), b1 = m_.byte(line + 1);
    int shift = static_cast<int16_t>(m_.word(line + 2));
    int offset = m_.byte(ch.ornament + 1) == 0
                     ? 0
                     : static_cast<int8_t>(m_.byte(ch.ornament + 2 + ch.ornament_at.line));
    int base = tracker::note_period(zx::sound_tracker_notes(), ch.note + offset);
    voice.tone = static_cast<uint16_t>(std::clamp(base + shift + ch.slide, 0, 0xFFF));
    voice.tone_on = !(b0 & 0x10);
    voice.noise_on = !(b0 & 0x80);
    voice.level = tracker::scaled_level(b0 & 0x0F, ch.volume);
    voice.envelope = ch.envelope && !(b1 & 0x01);
    if (voice.noise_on) state_.noise = static_cast<uint8_t>(b1 >> 1 & 0x1F);
    ch.slide = std::clamp(ch.slide + ch.slide_step, -0xFFF, 0xFFF);
    if (!advance(ch.ornament, &ch.ornament_at)) {
      ch.ornament = m_.word(layout_.ornaments);
      ch.ornament_at.restart();
    }
    if (!advance(ch.sample, &ch.sample_at)) ch.sounding = false;
    return voice;
  }

  Layout layout_;
  int transposition_ = 0;
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
  StpPass pass(data, size, layout);
  return zx::record_pass(pass, layout.loop, song, error);
}

}  // namespace

const Format kStpFormat = {"Sound Tracker Pro", detect, parse};

}  // namespace tools::ay
