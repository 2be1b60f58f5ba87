#include "tools/renderer/ay/psc_player.h"

#include <algorithm>
#include <cstring>

#include "tools/renderer/ay/tracker_pass.h"
#include "tools/renderer/ay/tracker_steps.h"

namespace tools::ay {
namespace {

using tracker::Voice;

// The header: +0 "PSC V1.0x COMPILATION OF ", +25 title (20), +45 " BY ",
// +49 author (20), +69 the sample area, +71 the position list, +73 the
// delay, +74 the ornament table, +76 the sample table up to the ornament
// table. A position is eight bytes: its number, its length in rows and the
// three channels' pattern data; the list ends with the loop position's
// number, 0xFF and a pointer to that position.
constexpr char kMagic[] = "PSC V1.0";
constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr size_t kTitle = 25;
constexpr size_t kAuthor = 49;
constexpr size_t kTextSize = 20;
constexpr size_t kSampleTable = 76;
constexpr size_t kPositionSize = 8;
constexpr int kMaxPositions = 256;
constexpr int kMaxRowBytes = 64;
// Sample and ornament lines: a set bit 5 of the flags means another line
// follows; a clear bit 7 marks where the sample loops back to.
constexpr int kMoreLines = 0x20;
constexpr int kNotLoop = 0x80;

struct Layout {
  int version = 0;  // the x of 1.0x
  int delay = 0;
  size_t positions = 0;
  int count = 0;
  int loop = 0;
  size_t ornaments = 0;
  int samples = 0;  // entries of the sample table
};

using zx::word_at;

bool read_layout(const uint8_t* data, size_t size, Layout* layout) {
  if (size < kSampleTable + 2 || std::memcmp(data, kMagic, kMagicSize) != 0) return false;
  if (data[8] < '0' || data[8] > '9') return false;
  layout->version = data[8] - '0';
  layout->delay = data[73];
  layout->positions = word_at(data, 71);
  layout->ornaments = word_at(data, 74);
  if (layout->delay == 0 || layout->ornaments < kSampleTable + 2 || layout->ornaments + 2 > size ||
      (layout->ornaments - kSampleTable) % 2 != 0)
    return false;
  layout->samples = static_cast<int>((layout->ornaments - kSampleTable) / 2);
  for (int i = 0; i < layout->samples; ++i) {
    size_t sample = word_at(data, kSampleTable + 2 * i) + (layout->version >= 4 ? kSampleTable : 0);
    if (sample + 6 > size) return false;
  }
  size_t at = layout->positions;
  int count = 0;
  for (;; ++count, at += kPositionSize) {
    if (count > kMaxPositions || at + 4 > size) return false;
    if (data[at + 1] == 0xFF) break;
    if (at + kPositionSize > size || data[at + 1] == 0) return false;
    for (int c = 0; c < 3; ++c)
      if (word_at(data, at + 2 + 2 * c) >= size) return false;
  }
  if (count == 0) return false;
  layout->count = count;
  size_t loop = word_at(data, at + 2);
  if (loop >= layout->positions && (loop - layout->positions) % kPositionSize == 0 &&
      (loop - layout->positions) / kPositionSize < static_cast<size_t>(count))
    layout->loop = static_cast<int>((loop - layout->positions) / kPositionSize);
  else
    layout->loop = data[at] < count ? data[at] : 0;
  return true;
}

struct Channel : tracker::PatternReader {
  bool sounding = false;
  int note = 0;
  int sample = 0;
  int ornament = 0;
  int volume = 15;
  tracker::SampleSums sample_at;
  tracker::OrnamentSums ornament_at;
};

class PscPass : public tracker::Pass<Channel> {
 public:
  PscPass(const uint8_t* data, size_t size, const Layout& layout)
      : Pass(data, size, layout.count, layout.loop, layout.delay), layout_(layout) {
    enter(0);
  }

 private:
  size_t entry(int position) const { return layout_.positions + kPositionSize * position; }

  void start_position(int position) override {
    rows_ = m_.byte(entry(position) + 1);
    for (int c = 0; c < 3; ++c) {
      channels_[c].data = m_.word(entry(position) + 2 + 2 * c);
      channels_[c].ended = false;
      channels_[c].rows_left = 0;
    }
  }

  bool pattern_ended() override { return row_ >= rows_; }

  // A row of a channel: commands, at most one note, and a closing byte that
  // says how many rows pass before the channel is read again.
  bool read_row(Channel& ch) override {
    for (int n = 0; n < kMaxRowBytes; ++n) {
      int b = m_.byte(ch.data++);
      if (m_.broken()) return true;
      if (b < 0x57) {
        start_note(ch, b);
      } else if (b < 0x67) {
        ch.volume = b - 0x57;
      } else if (b == 0x7A) {
        state_.shape = m_.byte(ch.data) & 0x0F;
        state_.envelope_period = m_.word(ch.data + 1);
        ch.data += 3;
      } else if (b == 0x7C) {
        ch.sounding = false;
      } else if (b < 0x7C) {
        ++ch.data;  // commands this player leaves alone, each with its byte
      } else if (b < 0x80) {
        // no byte follows
      } else if (b < 0xA0) {
        ch.sample = b - 0x80;
      } else if (b < 0xC0) {
        ch.ornament = b - 0xA0;
      } else if (b < 0xFE) {
        ch.row_length = b - 0xC0;
        end_row(ch);
        return true;
      } else {
        --ch.data;
        ch.ended = true;
        return true;
      }
    }
    return false;
  }

  void start_note(Channel& ch, int note) {
    ch.note = note;
    ch.sample_at.restart();
    ch.ornament_at.restart();
    ch.sounding = true;
  }

  size_t sample_start(int sample) {
    if (sample >= layout_.samples) {
      m_.mark_broken();
      return 0;
    }
    return m_.word(kSampleTable + 2 * sample) + (layout_.version >= 4 ? kSampleTable : 0);
  }

  size_t ornament_start(int ornament) {
    size_t entry = layout_.ornaments + 2 * static_cast<size_t>(ornament);
    return m_.word(entry) + (layout_.version >= 4 ? layout_.ornaments : 0);
  }

  Voice sound(Channel& ch) override {
    Voice voice;
    if (!ch.sounding) return voice;
    tracker::SampleSums& sample = ch.sample_at;
    size_t line = sample_start(ch.sample) + 6 * static_cast<size_t>(sample.line);
    int tone = static_cast<int16_t>(m_.word(line));
    int noise = static_cast<int8_t>(m_.byte(line + 2));
    int level = m_.byte(line + 3) & 0x0F;
    int flags = m_.byte(line + 4);
    if (!(flags & kNotLoop)) sample.mark_loop();
    sample.add_tone(tone);
    sample.add_noise(noise);
    sample.slide_volume(flags >> 1 & 3);  // 2 volume down, 3 volume up
    voice.tone_on = !(flags & 0x01);
    voice.noise_on = !(flags & 0x08);
    voice.envelope = !(flags & 0x10);
    if (flags & kMoreLines)
      sample.next();
    else
      sample.repeat();

    tracker::OrnamentSums& ornament = ch.ornament_at;
    size_t step = ornament_start(ch.ornament) + 2 * static_cast<size_t>(ornament.line);
    int o0 = m_.byte(step), o1 = m_.byte(step + 1);
    if (!(o0 & kNotLoop)) ornament.mark_loop();
    ornament.add_note(static_cast<int8_t>(o1));
    ornament.add_noise(tracker::signed5(o0));
    if (o0 & kMoreLines)
      ornament.next();
    else
      ornament.repeat();

    int base = tracker::note_period(tracker::asm_notes(), ch.note + ornament.note);
    voice.tone = static_cast<uint16_t>(std::clamp(base + sample.tone, 0, 0xFFF));
    voice.level = tracker::scaled_level(level + sample.volume, ch.volume);
    if (voice.noise_on) state_.noise = static_cast<uint8_t>((sample.noise + ornament.noise) & 0x1F);
    return voice;
  }

  Layout layout_;
  int rows_ = 0;
};

bool detect(const uint8_t* data, size_t size) {
  Layout layout;
  return read_layout(data, size, &layout);
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  Layout layout;
  if (!read_layout(data, size, &layout)) {
    *error = "not a Pro Sound Creator module";
    return false;
  }
  *song = AySong();
  song->program = "Pro Sound Creator 1.0" + std::to_string(layout.version);
  song->title = zx::field_text(data + kTitle, kTextSize);
  song->author = zx::field_text(data + kAuthor, kTextSize);
  PscPass pass(data, size, layout);
  return zx::record_pass(pass, layout.loop, song, error);
}

}  // namespace

const Format kPscFormat = {"Pro Sound Creator", detect, parse};

}  // namespace tools::ay
