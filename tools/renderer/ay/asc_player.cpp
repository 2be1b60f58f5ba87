#include "tools/renderer/ay/asc_player.h"

#include <algorithm>
#include <cstring>

#include "tools/renderer/ay/tracker_frames.h"

namespace tools::ay {
namespace {

using tracker::ChipState;
using tracker::Voice;
using zx::ModuleBytes;

// The header, after which the position list follows:
//   version 1: +0 delay, +1 loop position, +2 patterns, +4 samples,
//              +6 ornaments, +8 number of positions
//   version 0: the same without the loop position (the song loops to 0).
// Tables hold words relative to their own start: 32 samples, 32 ornaments,
// three channel offsets per pattern.
struct Layout {
  int delay = 0;
  int loop = 0;
  int count = 0;
  size_t positions = 0;
  size_t patterns = 0;
  size_t samples = 0;
  size_t ornaments = 0;
};

constexpr int kTableEntries = 32;
constexpr size_t kTableBytes = 2 * kTableEntries;
constexpr char kTitleTag[] = "ASM COMPILATION OF ";
constexpr size_t kTitleTagSize = sizeof kTitleTag - 1;
constexpr size_t kTextSize = 20;
// Within a row of one channel no more bytes than this are commands; a
// channel that has more is not music but a loop in corrupt data.
constexpr int kMaxRowBytes = 64;

bool read_layout(const uint8_t* data, size_t size, int version, Layout* layout) {
  size_t at = version == 0 ? 0 : 1;
  if (size < at + 8) return false;
  auto word = [&](size_t offset) { return static_cast<size_t>(data[offset] | data[offset + 1] << 8); };
  layout->delay = data[0];
  layout->loop = version == 0 ? 0 : data[1];
  layout->patterns = word(at + 1);
  layout->samples = word(at + 3);
  layout->ornaments = word(at + 5);
  layout->count = data[at + 7];
  layout->positions = at + 8;
  if (layout->delay == 0 || layout->count == 0 || layout->loop >= layout->count) return false;
  if (layout->patterns < layout->positions + layout->count) return false;
  if (layout->samples < layout->patterns + 6 || layout->ornaments < layout->samples + kTableBytes)
    return false;
  if (layout->ornaments + kTableBytes > size) return false;
  int patterns = 0;
  for (int i = 0; i < layout->count; ++i) {
    int pattern = data[layout->positions + i];
    if (pattern >= 32) return false;
    patterns = std::max(patterns, pattern + 1);
  }
  if (layout->patterns + 6 * static_cast<size_t>(patterns) > layout->samples) return false;
  for (int i = 0; i < 3 * patterns; ++i) {
    size_t offset = word(layout->patterns + 2 * i);
    if (offset < 6 * static_cast<size_t>(patterns) || layout->patterns + offset >= size) return false;
  }
  for (int i = 0; i < kTableEntries; ++i) {
    size_t sample = word(layout->samples + 2 * i);
    size_t ornament = word(layout->ornaments + 2 * i);
    if (sample < kTableBytes || layout->samples + sample + 3 > size) return false;
    if (ornament < kTableBytes || layout->ornaments + ornament + 2 > size) return false;
  }
  return true;
}

// Version 1 is the common one; a version 0 module read as version 1 has its
// pointers one byte off and fails the table checks.
bool find_layout(const uint8_t* data, size_t size, Layout* layout) {
  return read_layout(data, size, 1, layout) || read_layout(data, size, 0, layout);
}

int signed5(int bits) { return (bits & 0x10) ? (bits & 0x1F) - 32 : bits & 0x1F; }

struct Channel {
  size_t data = 0;  // next pattern byte
  bool ended = false;
  int row_length = 0;
  int rows_left = 0;

  bool sounding = false;
  int note = 0;
  int sample = 0;
  int ornament = 0;
  int volume = 15;
  bool envelope = false;  // E0: the channel's notes carry envelope periods
  int envelope_base = 0;
  int noise_base = 0;

  int sample_line = 0;
  int sample_loop = 0;
  bool released = false;
  int ornament_line = 0;
  int ornament_loop = 0;
  int tone_sum = 0;
  int noise_sum = 0;
  int envelope_sum = 0;
  int volume_sum = 0;
  int ornament_note = 0;
  int ornament_noise = 0;

  bool keep_sample = false;  // F1/F3: the next note goes on with the sample
  bool keep_ornament = false;
  int slide = 0;  // tone period offset of a glide
  int slide_step = 0;
  int pending_step = 0;
  int glide_ticks = 0;  // F7: the next note glides from the current pitch
  bool gliding = false;
  int fade_period = 0;  // F9/FB: one volume step every so many frames
  int fade_count = 0;
  int fade_step = 0;
  int fade_sum = 0;
  int last_tone = 0;
};

class AscPass : public zx::PositionPlayer {
 public:
  AscPass(ModuleBytes& module, const Layout& layout) : m_(module), layout_(layout) {
    delay_ = layout.delay;
    start_position(0);
  }

  bool play_frame(Frame* frame, std::string* error) override {
    ChipState state;
    wrapped_ = false;
    shape_ = -1;
    // A tempo command takes effect on the row it stands in.
    if (--tick_ <= 0) {
      if (!next_row(error)) return false;
      tick_ = delay_;
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
    size_t pattern = m_.byte(layout_.positions + position);
    for (int c = 0; c < 3; ++c) {
      Channel& channel = channels_[c];
      channel.data = layout_.patterns + m_.word(layout_.patterns + 6 * pattern + 2 * c);
      channel.ended = false;
      channel.rows_left = 0;
    }
  }

  // A pattern ends when its first channel reaches its end mark; the other
  // channels were written to the same length.
  bool next_row(std::string* error) {
    for (int skipped = 0; m_.byte(channels_[0].data) == 0xFF && channels_[0].rows_left <= 1; ++skipped) {
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
      if (b <= 0x5C) {
        start_note(ch, b);
        return end_row(ch);
      }
      switch (b) {
        case 0x5D:  // pause
          ch.sounding = false;
          return end_row(ch);
        case 0x5E:  // release: the sample plays out past its loop
          ch.released = true;
          return end_row(ch);
        case 0x5F:  // nothing new this row
          return end_row(ch);
        case 0xE0:
          ch.envelope = true;
          continue;
        case 0xF0:
          ch.noise_base = m_.byte(ch.data++);
          continue;
        case 0xF1:
        case 0xF2:
        case 0xF3:
          ch.keep_sample = b & 1;
          ch.keep_ornament = b & 2;
          continue;
        case 0xF4:
          delay_ = std::max(1, static_cast<int>(m_.byte(ch.data++)));
          continue;
        case 0xF5:  // glide down: the period grows each frame
          ch.pending_step = m_.byte(ch.data++);
          continue;
        case 0xF6:
          ch.pending_step = -m_.byte(ch.data++);
          continue;
        case 0xF7:
          ch.glide_ticks = std::max(1, static_cast<int>(m_.byte(ch.data++)));
          continue;
        case 0xF9:
        case 0xFB: {
          int value = m_.byte(ch.data++);
          ch.fade_period = b == 0xF9 ? value : value & 0x1F;
          ch.fade_step = (b == 0xFB && (value & 0x20)) ? 1 : -1;
          ch.fade_count = ch.fade_period;
          continue;
        }
        case 0xFF:
          --ch.data;
          ch.ended = true;
          return true;
        default:
          break;
      }
      if (b < 0xA0) {
        ch.row_length = b - 0x60;
      } else if (b < 0xC0) {
        ch.sample = b - 0xA0;
      } else if (b < 0xE0) {
        ch.ornament = b - 0xC0;
      } else if (b < 0xF0) {
        ch.volume = b - 0xE0;
        ch.envelope = false;
      } else {
        // F8, FA, FC, FD, FE: the envelope shape.
        shape_ = b & 0x0F;
        envelope_shape_ = shape_;
      }
    }
    return false;
  }

  bool end_row(Channel& ch) {
    ch.rows_left = ch.row_length + 1;
    return true;
  }

  void start_note(Channel& ch, int note) {
    int from = ch.last_tone;
    ch.note = note;
    if (ch.envelope) {
      ch.envelope_base = m_.byte(ch.data++);
      shape_ = envelope_shape_;
    }
    if (!ch.keep_sample) {
      ch.sample_line = ch.sample_loop = 0;
      ch.released = false;
      ch.tone_sum = ch.noise_sum = ch.envelope_sum = ch.volume_sum = 0;
    }
    if (!ch.keep_ornament) {
      ch.ornament_line = ch.ornament_loop = 0;
      ch.ornament_note = ch.ornament_noise = 0;
    }
    ch.keep_sample = ch.keep_ornament = false;
    ch.slide = 0;
    ch.slide_step = ch.pending_step;
    ch.pending_step = 0;
    ch.gliding = false;
    if (ch.glide_ticks > 0 && ch.sounding) {
      int target = tracker::note_period(tracker::asm_notes(), note);
      ch.slide = from - target;
      int step = ch.slide / ch.glide_ticks;
      if (step == 0) step = ch.slide > 0 ? 1 : -1;
      ch.slide_step = -step;
      ch.gliding = ch.slide != 0;
    }
    ch.glide_ticks = 0;
    ch.fade_sum = 0;
    ch.sounding = true;
  }

  Voice sound(Channel& ch) {
    Voice voice;
    if (!ch.sounding) return voice;
    size_t sample = layout_.samples + m_.word(layout_.samples + 2 * ch.sample);
    size_t line = sample + 3 * static_cast<size_t>(ch.sample_line);
    int b0 = m_.byte(line), b1 = m_.byte(line + 1), b2 = m_.byte(line + 2);
    if (b0 & 0x80) ch.sample_loop = ch.sample_line;
    ch.tone_sum += static_cast<int8_t>(b1);
    int flags = b2 & 0x0F;
    int mode = flags >> 1 & 3;  // 1 envelope, 2 volume down, 3 volume up
    if (mode == 2) ch.volume_sum = std::max(ch.volume_sum - 1, -15);
    if (mode == 3) ch.volume_sum = std::min(ch.volume_sum + 1, 15);
    voice.tone_on = !(flags & 1);
    voice.noise_on = !(flags & 8);
    // The sample's 5-bit adder steps the noise while noise sounds, and the
    // envelope period while it does not.
    if (voice.noise_on)
      ch.noise_sum += signed5(b0);
    else
      ch.envelope_sum += signed5(b0);
    bool finished = false;
    if ((b0 & 0x20) && !ch.released)
      ch.sample_line = ch.sample_loop;
    else if (b0 & 0x60)
      finished = true;
    else
      ++ch.sample_line;

    size_t ornament = layout_.ornaments + m_.word(layout_.ornaments + 2 * ch.ornament);
    size_t step = ornament + 2 * static_cast<size_t>(ch.ornament_line);
    int o0 = m_.byte(step), o1 = m_.byte(step + 1);
    if (o0 & 0x80) ch.ornament_loop = ch.ornament_line;
    ch.ornament_note += static_cast<int8_t>(o1);
    ch.ornament_noise += signed5(o0);
    if (o0 & 0x60)
      ch.ornament_line = ch.ornament_loop;
    else
      ++ch.ornament_line;
    // Runaway lines (a sample without an end mark) read past the module and
    // stop the song as broken; these bounds only keep the sums in range.
    ch.sample_line = std::min(ch.sample_line, 0xFFFF);
    ch.ornament_line = std::min(ch.ornament_line, 0xFFFF);
    ch.ornament_note = std::clamp(ch.ornament_note, -96, 96);
    ch.tone_sum = std::clamp(ch.tone_sum, -0xFFF, 0xFFF);

    int base = tracker::note_period(tracker::asm_notes(), ch.note + ch.ornament_note);
    int tone = std::clamp(base + ch.tone_sum + ch.slide, 0, 0xFFF);
    voice.tone = static_cast<uint16_t>(tone);
    ch.last_tone = base + ch.slide;
    if (ch.slide_step != 0) {
      int before = ch.slide;
      ch.slide = std::clamp(ch.slide + ch.slide_step, -0xFFF, 0xFFF);
      if (ch.gliding && (before > 0) != (ch.slide > 0)) {
        ch.slide = ch.slide_step = 0;
        ch.gliding = false;
      }
    }
    if (ch.fade_period > 0 && --ch.fade_count <= 0) {
      ch.fade_count = ch.fade_period;
      ch.fade_sum = std::clamp(ch.fade_sum + ch.fade_step, -15, 15);
    }
    int level = std::clamp((b2 >> 4) + ch.volume_sum + ch.fade_sum, 0, 15);
    voice.level = tracker::scaled_level(level, ch.volume);
    voice.envelope = ch.envelope && mode == 1;
    if (voice.envelope) envelope_period_ = (ch.envelope_base + ch.envelope_sum) & 0xFFFF;
    if (voice.noise_on) noise_ = (ch.noise_base + ch.noise_sum + ch.ornament_noise) & 0x1F;
    if (finished) ch.sounding = false;
    return voice;
  }

  ModuleBytes& m_;
  Layout layout_;
  Channel channels_[3];
  int position_ = 0;
  bool wrapped_ = false;
  int delay_ = 1;
  int tick_ = 1;
  int noise_ = 0;
  int envelope_period_ = 0;
  int envelope_shape_ = 8;
  int shape_ = -1;
  uint8_t last_shape_ = 0;
};

bool detect(const uint8_t* data, size_t size) {
  Layout layout;
  return find_layout(data, size, &layout);
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  Layout layout;
  if (!find_layout(data, size, &layout)) {
    *error = "not an ASC Sound Master module";
    return false;
  }
  *song = AySong();
  song->program = "ASC Sound Master";
  size_t text = layout.positions + layout.count;
  if (text + kTitleTagSize + 2 * kTextSize + 4 <= layout.patterns &&
      std::memcmp(data + text, kTitleTag, kTitleTagSize) == 0) {
    song->title = zx::field_text(data + text + kTitleTagSize, kTextSize);
    song->author = zx::field_text(data + text + kTitleTagSize + kTextSize + 4, kTextSize);
  }
  ModuleBytes module(data, size);
  AscPass pass(module, layout);
  return zx::record_pass(pass, layout.loop, song, error);
}

}  // namespace

const Format kAscFormat = {"ASC Sound Master", detect, parse};

}  // namespace tools::ay
