#include "tools/renderer/ay/psm_player.h"

#include <algorithm>

#include "tools/renderer/ay/tracker_pass.h"
#include "tools/renderer/ay/tracker_steps.h"

namespace tools::ay {
namespace {

using tracker::Voice;

// The header: +0 the position list, +2 the sample table, +4 the ornament
// table, +6 the pattern table, +8 a text up to the position list. A
// position is a pattern number and a signed transposition; the list ends
// with 0xFF and the loop position, right before the sample table; a
// pattern is its delay and its three tracks. A table of words runs up to
// the first line it points at.
constexpr size_t kSampleTable = 2;
constexpr size_t kOrnamentTable = 4;
constexpr size_t kPatternTable = 6;
constexpr size_t kText = 8;
constexpr size_t kPatternSize = 7;
constexpr uint8_t kEndOfPositions = 0xFF;
constexpr uint8_t kEndOfTrack = 0xFF;
constexpr int kMaxRowBytes = 64;
// The notes are steps, counted round the 96 notes, from the note before;
// each track of a pattern starts from this one (C-3 of the table), with the
// position's transposition on top.
constexpr int kNotes = 96;
constexpr int kBaseNote = 24;
// Sample and ornament headers: the last line in the low five bits of the
// first byte, the loop line in those of the second. Any of bits 5 to 7 of
// a sample's second byte makes it loop; with bit 7 its level moves a step
// each time the loop has come round one more than bits 5 to 7 of its first
// byte say, up with bit 6, down without.
constexpr int kLineBits = 0x1F;
constexpr int kSampleLoops = 0xE0;
constexpr int kSampleSlides = 0x80;
constexpr int kSlideUp = 0x40;
constexpr int kOrnamentLoops = 0x80;
constexpr size_t kSampleLine = 3;
// The shape of the envelope a note's own period drives: a falling saw.
constexpr int kNoteEnvelopeShape = 8;

using zx::word_at;

struct Layout {
  size_t positions = 0, samples = 0, ornaments = 0, patterns = 0;
  int count = 0;  // positions
  int loop = 0;
  int sample_count = 0, ornament_count = 0;
};

// A table of words runs up to the first line it points at, and every line
// it points at lies inside the module, its loop line within its lines.
bool table_whole(const uint8_t* data, size_t size, size_t table, int line_size, int* count) {
  if (table + 2 > size) return false;
  const size_t first = word_at(data, table);
  if (first <= table || (first - table) % 2 != 0 || first > size) return false;
  *count = static_cast<int>((first - table) / 2);
  for (int i = 0; i < *count; ++i) {
    const size_t at = word_at(data, table + 2 * static_cast<size_t>(i));
    if (at < first || at + 2 > size) return false;
    const int last = data[at] & kLineBits;
    if ((data[at + 1] & kLineBits) > last) return false;
    if (at + 2 + static_cast<size_t>(line_size) * (last + 1) > size) return false;
  }
  return true;
}

bool read_layout(const uint8_t* data, size_t size, Layout* layout) {
  if (size < kText) return false;
  layout->positions = word_at(data, 0);
  layout->samples = word_at(data, kSampleTable);
  layout->ornaments = word_at(data, kOrnamentTable);
  layout->patterns = word_at(data, kPatternTable);
  if (layout->positions < kText || layout->samples < layout->positions + 4 ||
      layout->ornaments <= layout->samples || layout->patterns <= layout->ornaments ||
      layout->patterns + kPatternSize > size)
    return false;
  for (size_t i = kText; i < layout->positions; ++i)
    if (data[i] != 0 && (data[i] < 0x20 || data[i] > 0x7E)) return false;
  const size_t list = layout->samples - layout->positions - 2;
  if (list % 2 != 0 || data[layout->samples - 2] != kEndOfPositions) return false;
  layout->count = static_cast<int>(list / 2);
  layout->loop = data[layout->samples - 1];
  if (layout->loop >= layout->count) return false;
  for (int i = 0; i < layout->count; ++i) {
    const int pattern = data[layout->positions + 2 * static_cast<size_t>(i)];
    const size_t entry = layout->patterns + kPatternSize * static_cast<size_t>(pattern);
    if (pattern == kEndOfPositions || entry + kPatternSize > size || data[entry] == 0) return false;
    for (size_t c = 0; c < 3; ++c) {
      const size_t track = word_at(data, entry + 1 + 2 * c);
      if (track < layout->patterns + kPatternSize || track >= size) return false;
    }
  }
  return table_whole(data, size, layout->samples, kSampleLine, &layout->sample_count) &&
         table_whole(data, size, layout->ornaments, 1, &layout->ornament_count);
}

// How a channel's notes use the envelope: not at all, with a period worked
// out from each note, or with the period a command gave.
enum class Envelope { off, from_note, fixed };

struct Channel : tracker::PatternReader {
  int note = kBaseNote;  // before the transposition
  int sample = 0;
  int ornament = -1;  // none
  int volume = 15;
  bool sounding = false;
  Envelope envelope = Envelope::off;
  int envelope_shift = 0;    // from_note: the period is the note's shifted right this far
  int envelope_shape = kNoteEnvelopeShape;
  bool follow_notes = false;  // from_note: every later note works the period out again
  tracker::BlockCursor sample_line, ornament_line;
  tracker::SampleSums sums;   // tone offsets and the level's slide
  int loop_rounds = 0;        // since the level last moved
};

class PsmPass : public tracker::Pass<Channel> {
 public:
  PsmPass(const uint8_t* data, size_t size, const Layout& layout)
      : Pass(data, size, layout.count, layout.loop, 1), layout_(layout) {
    enter(0);
  }

 private:
  size_t position_entry(int position) const { return layout_.positions + 2 * static_cast<size_t>(position); }

  void start_position(int position) override {
    const size_t entry = layout_.patterns + kPatternSize * m_.byte(position_entry(position));
    transposition_ = static_cast<int8_t>(m_.byte(position_entry(position) + 1));
    delay_ = m_.byte(entry);
    for (size_t c = 0; c < 3; ++c) {
      Channel& ch = channels_[c];
      ch.data = m_.word(entry + 1 + 2 * c);
      ch.ended = false;
      ch.rows_left = 0;
      ch.note = kBaseNote;
    }
  }

  // The compiler writes the three tracks of a pattern to the same length;
  // the others' end marks are looked at too, so a module cut short there
  // is found broken.
  bool pattern_ended() override {
    if (!first_track_ended(kEndOfTrack)) return false;
    m_.byte(channels_[1].data);
    m_.byte(channels_[2].data);
    return true;
  }

  // A row: commands, then a note, a rest or an empty row.
  bool read_row(Channel& ch) override {
    for (int n = 0; n < kMaxRowBytes; ++n) {
      const int b = m_.byte(ch.data++);
      if (m_.broken()) return true;
      if (b < 0x60) {
        start_note(ch, b, false);
      } else if (b == 0x60) {
        ch.sounding = false;
      } else if (b < 0x70) {
        // A new sample drops the ornament: the compiler writes it again
        // wherever a sample comes back with one.
        if (b - 0x61 >= layout_.sample_count) m_.mark_broken();
        ch.sample = b - 0x61;
        ch.ornament = -1;
        continue;
      } else if (b < 0x80) {
        if (b - 0x70 >= layout_.ornament_count) m_.mark_broken();
        ch.ornament = b - 0x70;
        continue;
      } else if (b < 0x90) {
        continue;  // no real module has these
      } else if (b == 0x90) {
        // An empty row: what sounds goes on.
      } else if (b < 0xA0) {
        ch.volume = b - 0x90;
        continue;
      } else if (b < 0xB0) {
        ch.envelope = (b & 0x0F) ? Envelope::from_note : Envelope::off;
        ch.envelope_shift = b & 0x0F;
        ch.follow_notes = false;
        start_note(ch, m_.byte(ch.data++), true);
      } else if (b < 0xB8) {
        // The period takes one nibble, in its high byte or its low one.
        const int e = m_.byte(ch.data++);
        ch.envelope = Envelope::fixed;
        ch.envelope_shape = e & 0x0F;
        state_.envelope_period = static_cast<uint16_t>((b & 1) ? (e & 0xF0) << 4 : e & 0xF0);
        start_note(ch, m_.byte(ch.data++), true);
      } else if (b < 0xFB) {
        ch.row_length = b - 0xB8;
        continue;
      } else if (b == 0xFB) {
        ch.follow_notes = true;
        continue;
      } else if (b < kEndOfTrack) {
        continue;  // no real module has these
      } else {
        --ch.data;
        ch.ended = true;
      }
      end_row(ch);
      return true;
    }
    return false;
  }

  int sounding_note(const Channel& ch, int offset) const {
    return std::clamp(ch.note + transposition_ + offset, 0, kNotes - 1);
  }

  void start_note(Channel& ch, int step, bool with_envelope) {
    if (step >= kNotes) m_.mark_broken();
    ch.note = (ch.note + step) % kNotes;
    ch.sounding = true;
    ch.sample_line.restart();
    ch.ornament_line.restart();
    ch.sums.restart();
    ch.loop_rounds = 0;
    if (ch.envelope == Envelope::off) return;
    if (ch.envelope == Envelope::from_note && (with_envelope || ch.follow_notes))
      state_.envelope_period = static_cast<uint16_t>(
          tracker::note_period(tracker::asm_notes(), sounding_note(ch, 0)) >> ch.envelope_shift);
    state_.shape = ch.envelope == Envelope::fixed ? ch.envelope_shape : kNoteEnvelopeShape;
  }

  size_t sample_start(const Channel& ch) { return m_.word(layout_.samples + 2 * static_cast<size_t>(ch.sample)); }

  // A sample line: bit 7 of its first byte keeps the noise off, bit 4 the
  // tone, the low four bits are its level; then the noise period in the
  // top five bits of a big-endian word and an 11-bit signed tone step,
  // added up from line to line.
  Voice sound(Channel& ch) override {
    Voice voice;
    if (!ch.sounding) return voice;
    const size_t sample = sample_start(ch);
    const int length = (m_.byte(sample) & kLineBits) + 1;
    const int loops = m_.byte(sample + 1);
    const size_t line = sample + 2 + kSampleLine * static_cast<size_t>(ch.sample_line.line);
    const int flags = m_.byte(line);
    const int word = m_.byte(line + 1) << 8 | m_.byte(line + 2);
    const int step = word & 0x7FF;
    ch.sums.add_tone(step >= 0x400 ? step - 0x800 : step);

    const int shift = ornament_shift(ch);

    const int period = tracker::note_period(tracker::asm_notes(), sounding_note(ch, shift)) + ch.sums.tone;
    // The sum wraps round the 12 bits as the Z80's does: drums step far
    // below a high note for a low thump.
    voice.tone = static_cast<uint16_t>(period & 0xFFF);
    voice.tone_on = !(flags & 0x10);
    voice.noise_on = !(flags & 0x80);
    if (voice.noise_on) state_.noise = static_cast<uint8_t>(word >> 11);
    // The envelope bit goes in before the channel volume comes off, so a
    // quiet line of an envelope note can drop below it and sound plain.
    const int line_level = std::clamp((flags & 0x0F) + ch.sums.volume, 0, 15);
    const int level = line_level + (ch.envelope != Envelope::off ? 0x10 : 0) - (15 - ch.volume);
    voice.envelope = level >= 0x10;
    voice.level = static_cast<uint8_t>(std::clamp(level, 0, 15));

    const bool looped = (loops & kSampleLoops) != 0;
    const int loop = loops & kLineBits;
    if (!ch.sample_line.next(length, loop, looped ? length : 0)) {
      ch.sounding = false;  // a sample without a loop ends the note
    } else if ((loops & kSampleSlides) && ch.sample_line.looping && ch.sample_line.line == loop &&
               ++ch.loop_rounds > m_.byte(sample) >> 5) {
      ch.loop_rounds = 0;
      ch.sums.slide_volume((loops & kSlideUp) ? 3 : 2);
    }
    return voice;
  }

  // The note offset of the channel's ornament this frame, stepping it on;
  // an ornament without a loop stays on its last line.
  int ornament_shift(Channel& ch) {
    if (ch.ornament < 0) return 0;
    const size_t ornament = m_.word(layout_.ornaments + 2 * static_cast<size_t>(ch.ornament));
    const int length = (m_.byte(ornament) & kLineBits) + 1;
    const int loops = m_.byte(ornament + 1);
    const int shift = static_cast<int8_t>(m_.byte(ornament + 2 + static_cast<size_t>(ch.ornament_line.line)));
    if (!ch.ornament_line.next(length, loops & kLineBits, (loops & kOrnamentLoops) ? length : 0))
      ch.ornament_line.line = length - 1;
    return shift;
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
    *error = "not a Pro Sound Maker module";
    return false;
  }
  *song = AySong();
  song->program = "Pro Sound Maker";
  // Most modules carry the compiler's mark there rather than a title.
  const std::string text = zx::field_text(data + kText, layout.positions - kText);
  if (text != "psm1") song->title = text;
  PsmPass pass(data, size, layout);
  return zx::record_pass(pass, layout.loop, song, error);
}

}  // namespace

const Format kPsmFormat = {"Pro Sound Maker", detect, parse};

}  // namespace tools::ay
