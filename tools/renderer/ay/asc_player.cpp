#include "tools/renderer/ay/asc_player.h"

#include <algorithm>
#include <cstring>

#include "tools/renderer/ay/tracker_pass.h"
#include "tools/renderer/ay/tracker_steps.h"

namespace tools::ay {
namespace {

using tracker::Voice;

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

struct Channel : tracker::PatternReader {
  bool sounding = false;
  int note = 0;
  int sample = 0;
  int ornament = 0;
  int volume = 15;
  bool envelope = false;  // E0: the channel's notes carry envelope periods
  int envelope_base = 0;
  int noise_base = 0;

  tracker::SampleSums sample_at;
  tracker::OrnamentSums ornament_at;
  bool released = false;

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

class AscPass : public tracker::Pass<Channel> {
 public:
  AscPass(const uint8_t* data, size_t size, const Layout& layout)
      : Pass(data, size, layout.count, layout.loop, layout.delay), layout_(layout) {
    enter(0);
  }

 private:
  void start_position(int position) override {
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
  bool pattern_ended() override { return first_track_ended(0xFF); }

  bool read_row(Channel& ch) override {
    for (int n = 0; n < kMaxRowBytes; ++n) {
      int b = m_.byte(ch.data++);
      if (m_.broken()) return true;
      if (b <= 0x5C) {
        start_note(ch, b);
        end_row(ch);
        return true;
      }
      switch (b) {
        case 0x5D:  // pause
          ch.sounding = false;
          end_row(ch);
          return true;
        case 0x5E:  // release: the sample plays out past its loop
          ch.released = true;
          end_row(ch);
          return true;
        case 0x5F:  // nothing new this row
          end_row(ch);
          return true;
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
        state_.shape = b & 0x0F;
        envelope_shape_ = state_.shape;
      }
    }
    return false;
  }

  void start_note(Channel& ch, int note) {
    int from = ch.last_tone;
    ch.note = note;
    if (ch.envelope) {
      ch.envelope_base = m_.byte(ch.data++);
      state_.shape = envelope_shape_;
    }
    if (!ch.keep_sample) {
      ch.sample_at.restart();
      ch.released = false;
    }
    if (!ch.keep_ornament) ch.ornament_at.restart();
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

  Voice sound(Channel& ch) override {
    Voice voice;
    if (!ch.sounding) return voice;
    tracker::SampleSums& sample = ch.sample_at;
    size_t line = layout_.samples + m_.word(layout_.samples + 2 * ch.sample) + 3 * static_cast<size_t>(sample.line);
    int b0 = m_.byte(line), b1 = m_.byte(line + 1), b2 = m_.byte(line + 2);
    if (b0 & 0x80) sample.mark_loop();
    sample.add_tone(static_cast<int8_t>(b1));
    int flags = b2 & 0x0F;
    int mode = flags >> 1 & 3;  // 1 envelope, 2 volume down, 3 volume up
    sample.slide_volume(mode);
    voice.tone_on = !(flags & 1);
    voice.noise_on = !(flags & 8);
    // The sample's 5-bit adder steps the noise while noise sounds, and the
    // envelope period while it does not.
    if (voice.noise_on)
      sample.add_noise(tracker::signed5(b0));
    else
      sample.add_envelope(tracker::signed5(b0));
    bool finished = false;
    if ((b0 & 0x20) && !ch.released)
      sample.repeat();
    else if (b0 & 0x60)
      finished = true;
    else
      sample.next();

    tracker::OrnamentSums& ornament = ch.ornament_at;
    size_t step = layout_.ornaments + m_.word(layout_.ornaments + 2 * ch.ornament) +
                  2 * static_cast<size_t>(ornament.line);
    int o0 = m_.byte(step), o1 = m_.byte(step + 1);
    if (o0 & 0x80) ornament.mark_loop();
    ornament.add_note(static_cast<int8_t>(o1));
    ornament.add_noise(tracker::signed5(o0));
    if (o0 & 0x60)
      ornament.repeat();
    else
      ornament.next();

    int base = tracker::note_period(tracker::asm_notes(), ch.note + ornament.note);
    int tone = std::clamp(base + sample.tone + ch.slide, 0, 0xFFF);
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
    int level = std::clamp((b2 >> 4) + sample.volume + ch.fade_sum, 0, 15);
    voice.level = tracker::scaled_level(level, ch.volume);
    voice.envelope = ch.envelope && mode == 1;
    if (voice.envelope) state_.envelope_period = static_cast<uint16_t>((ch.envelope_base + sample.envelope) & 0xFFFF);
    if (voice.noise_on) state_.noise = static_cast<uint8_t>((ch.noise_base + sample.noise + ornament.noise) & 0x1F);
    if (finished) ch.sounding = false;
    return voice;
  }

  Layout layout_;
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
  AscPass pass(data, size, layout);
  return zx::record_pass(pass, layout.loop, song, error);
}

}  // namespace

const Format kAscFormat = {"ASC Sound Master", detect, parse};

}  // namespace tools::ay
