#include "tools/renderer/ay/sqt_player.h"

#include <algorithm>

#include "tools/renderer/ay/tracker_pass.h"
#include "tools/renderer/ay/tracker_steps.h"

namespace tools::ay {
namespace {

using tracker::Voice;

// The header: +0 the module's size, then the addresses the player was
// compiled for of +2 the sample table, +4 the ornament table, +6 the pattern
// table, +8 the position list and +10 the loop position. The sample table
// follows the header, so its address less 10 is where the module sits.
// Tables are indexed from 1 and packed: the unused slot 0 of each table is
// the last slot of the one before it (slot 0 of the sample table is the
// header's loop word), so a table ends where the next begins. A position
// is, for channels A, B and C, a pattern number (bit 7 aside) and an
// attenuation, then the delay; a zero pattern number ends the list.
constexpr size_t kHeaderSize = 10;
constexpr size_t kPositionSize = 7;
constexpr int kMaxPositions = 256;
constexpr int kFrames = 32;  // every sample and ornament
constexpr size_t kSampleSize = 2 + 3 * kFrames;
constexpr size_t kOrnamentSize = 2 + kFrames;

struct Layout {
  size_t base = 0;
  size_t samples = 0;  // offsets in the module
  size_t ornaments = 0;
  size_t patterns = 0;
  size_t positions = 0;
  int sample_count = 0;  // highest usable number
  int ornament_count = 0;
  int pattern_count = 0;
  int count = 0;
  int loop = 0;
};

using zx::word_at;

bool read_layout(const uint8_t* data, size_t size, Layout* layout) {
  if (size < kHeaderSize + 2) return false;
  size_t declared = word_at(data, 0);
  size_t samples = word_at(data, 2);
  if (declared < kHeaderSize + 2 || declared > size || samples < kHeaderSize) return false;
  size = declared;
  layout->base = samples - kHeaderSize;
  auto offset = [&](size_t at, size_t* out) {
    size_t address = word_at(data, at);
    if (address < layout->base) return false;
    *out = address - layout->base;
    return *out < size;
  };
  size_t loop = 0;
  if (!offset(2, &layout->samples) || !offset(4, &layout->ornaments) || !offset(6, &layout->patterns) ||
      !offset(8, &layout->positions) || !offset(10, &loop))
    return false;
  if (layout->ornaments < layout->samples + 2 || layout->patterns < layout->ornaments ||
      layout->positions < layout->patterns + 4 || loop < layout->positions ||
      (loop - layout->positions) % kPositionSize != 0)
    return false;
  // A note names its sample and ornament in four bits.
  layout->sample_count = std::min(15, static_cast<int>((layout->ornaments - layout->samples) / 2));
  layout->ornament_count = std::min(15, static_cast<int>((layout->patterns - layout->ornaments) / 2));
  // The pattern data follows the pattern table, so this only bounds the
  // numbers a position may name.
  layout->pattern_count = static_cast<int>((layout->positions - layout->patterns) / 2) - 1;
  auto block = [&](size_t table, int number, size_t bytes) {
    size_t address = word_at(data, table + 2 * number);
    return address >= layout->base && address - layout->base + bytes <= size;
  };
  int count = 0;
  for (size_t at = layout->positions; data[at] != 0; at += kPositionSize, ++count) {
    if (count >= kMaxPositions || at + kPositionSize > size) return false;
    for (int c = 0; c < 3; ++c) {
      int pattern = data[at + 2 * c] & 0x7F;
      if (pattern == 0 || pattern > layout->pattern_count || !block(layout->patterns, pattern, 2))
        return false;
    }
    if (data[at + 6] == 0) return false;
    if (at + kPositionSize >= size) return false;
  }
  if (count == 0) return false;
  layout->count = count;
  layout->loop = static_cast<int>((loop - layout->positions) / kPositionSize);
  if (layout->loop >= count) layout->loop = 0;
  // The compiler writes every slot of the tables; a slot whose block would
  // leave the module is no module of ours.
  for (int n = 1; n <= layout->sample_count; ++n)
    if (!block(layout->samples, n, kSampleSize)) return false;
  for (int n = 1; n <= layout->ornament_count; ++n)
    if (!block(layout->ornaments, n, kOrnamentSize)) return false;
  return true;
}

struct Channel : tracker::PatternReader {
  int attenuation = 0;

  bool sounding = false;
  int note = 0;
  int sample = 0;
  int ornament = 0;
  int volume = 15;  // the last volume a note named
  int level = 15;   // this note's own, moved by the volume effects
  bool envelope = false;
  tracker::BlockCursor sample_at;
  tracker::BlockCursor ornament_at;
};

class SqtPass : public tracker::Pass<Channel> {
 public:
  SqtPass(const uint8_t* data, size_t size, const Layout& layout)
      : Pass(data, size, layout.count, layout.loop, 1), layout_(layout) {
    enter(0);
  }

 private:
  size_t address(size_t table, int number) {
    size_t value = m_.word(table + 2 * static_cast<size_t>(number));
    if (value < layout_.base) m_.mark_broken();
    return value - layout_.base;
  }

  void start_position(int position) override {
    size_t at = layout_.positions + kPositionSize * position;
    for (int c = 0; c < 3; ++c) {
      size_t pattern = address(layout_.patterns, m_.byte(at + 2 * c) & 0x7F);
      if (c == 0) rows_ = std::max(1, static_cast<int>(m_.byte(pattern)));
      channels_[c].data = pattern + 1;
      channels_[c].rows_left = 0;
      channels_[c].attenuation = m_.byte(at + 2 * c + 1) & 0x0F;
    }
    delay_ = std::max(1, static_cast<int>(m_.byte(at + 6)));
  }

  bool pattern_ended() override { return row_ >= rows_; }

  struct Effect {
    int code = 0;
    int parameter = 0;
  };

  // Each row is one action: a note (with a sample, and an ornament or
  // volume and an effect), an effect alone, a retrigger, or a run of
  // empty rows.
  bool read_row(Channel& ch) override {
    int b = m_.byte(ch.data++);
    ch.rows_left = 1;
    Effect effect;
    if (b < 0x60) {
      ch.note = b;
      int next = m_.byte(ch.data);
      if ((next >= 0x80 && next < 0xA0) || next >= 0xC0) {
        ++ch.data;
        effect = instrument(ch, next);
      } else {
        ch.envelope = false;
      }
      restart(ch);
    } else if (b < 0x6F) {
      effect = Effect{b & 0x0F, m_.byte(ch.data++)};
    } else if (b == 0x6F) {
      ch.sounding = false;
    } else if (b < 0x80) {
      // an empty row
    } else if (b < 0xA0 || b >= 0xC0) {
      effect = instrument(ch, b);
      restart(ch);
    } else if (b < 0xB0) {
      ch.rows_left = (b & 0x0F) + 1;
    } else {
      restart(ch);
    }
    apply(ch, effect);
    return true;
  }

  // A sample byte: the sample in its low four bits; from 0xC0 a byte with
  // an ornament (bit 4 set) or a volume in its high half and an effect in
  // its low half follows, the effect with its parameter.
  Effect instrument(Channel& ch, int b) {
    if (b & 0x0F) ch.sample = b & 0x0F;
    ch.envelope = false;
    if (b < 0xC0) return Effect();
    int x = m_.byte(ch.data++);
    if (b & 0x10)
      ch.ornament = x >> 4;
    else if (x >> 4)
      ch.volume = x >> 4;
    if (!(x & 0x0F)) return Effect();
    return Effect{x & 0x0F, m_.byte(ch.data++)};
  }

  // The volume effects shape the note they belong to: every new start of
  // a sample begins again from the note's volume. Musicians fade a held
  // note out row by row and expect the next one at full strength; kept
  // from note to note, such a fade silenced a channel for the rest of the
  // song.
  void apply(Channel& ch, Effect effect) {
    int code = effect.code, parameter = effect.parameter;
    if (code == 1) {
      ch.level = std::min(15, ch.level + parameter);
    } else if (code == 2) {
      ch.level = std::max(0, ch.level - parameter);
    } else if (code == 3) {
      ch.level = std::clamp(15 - parameter, 0, 15);
    } else if (code >= 8) {
      state_.shape = code;
      state_.envelope_period = static_cast<uint16_t>(parameter);
      ch.envelope = true;
    }
  }

  void restart(Channel& ch) {
    ch.level = ch.volume;
    ch.sample_at.restart();
    ch.ornament_at.restart();
    ch.sounding = ch.sample > 0 && ch.sample <= layout_.sample_count;
  }

  // A 32-frame block leads with its loop line and loop length; past its
  // end it repeats that loop, or ends when the length is 0.
  bool advance(size_t block, tracker::BlockCursor* cursor) {
    int start = m_.byte(block), length = m_.byte(block + 1);
    return cursor->next(kFrames, start, std::min(start + length, kFrames));
  }

  Voice sound(Channel& ch) override {
    Voice voice;
    if (!ch.sounding) return voice;
    size_t sample = address(layout_.samples, ch.sample);
    size_t line = sample + 2 + 3 * static_cast<size_t>(ch.sample_at.line);
    int b0 = m_.byte(line), b1 = m_.byte(line + 1), b2 = m_.byte(line + 2);
    int offset = 0;
    if (ch.ornament > 0 && ch.ornament <= layout_.ornament_count) {
      size_t ornament = address(layout_.ornaments, ch.ornament);
      offset = static_cast<int8_t>(m_.byte(ornament + 2 + ch.ornament_at.line));
      if (!advance(ornament, &ch.ornament_at)) ch.ornament = 0;
    }
    int shift = (b1 & 0x0F) << 8 | b2;
    if (!(b1 & 0x10)) shift = -shift;
    int base = tracker::note_period(zx::sound_tracker_notes(), ch.note + offset);
    voice.tone = static_cast<uint16_t>(std::clamp(base + shift, 0, 0xFFF));
    voice.tone_on = b1 & 0x40;
    voice.noise_on = b1 & 0x20;
    voice.envelope = ch.envelope;
    int level = tracker::scaled_level(b0 & 0x0F, ch.level) - ch.attenuation;
    voice.level = static_cast<uint8_t>(std::max(0, level));
    if (voice.noise_on) state_.noise = static_cast<uint8_t>((b0 >> 4) | ((b1 & 0x80) ? 0x10 : 0));
    if (!advance(sample, &ch.sample_at)) ch.sounding = false;
    return voice;
  }

  Layout layout_;
  int rows_ = 1;
};

bool detect(const uint8_t* data, size_t size) {
  Layout layout;
  return read_layout(data, size, &layout);
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  Layout layout;
  if (!read_layout(data, size, &layout)) {
    *error = "not an SQ-Tracker module";
    return false;
  }
  *song = AySong();
  song->program = "SQ-Tracker";
  SqtPass pass(data, size, layout);
  return zx::record_pass(pass, layout.loop, song, error);
}

}  // namespace

const Format kSqtFormat = {"SQ-Tracker", detect, parse};

}  // namespace tools::ay
