#include "tools/renderer/ay/ftc_player.h"

#include <algorithm>
#include <cstring>

#include "tools/renderer/ay/tracker_pass.h"
#include "tools/renderer/ay/zx_tables.h"

namespace tools::ay {
namespace {

using tracker::Voice;

// The header: "Module: ", the name (42 bytes), the note table byte (a
// number in 1.07, the ';' of the tracker's signature before it), "Fast
// Tracker v1.0x", +0x45 the tempo, +0x46 the loop position, +0x4B the
// pattern table (three track words a pattern), +0x52 32 sample words,
// +0x92 33 ornament words, +0xD4 the position list (pattern, transposition),
// 0xFF after it. Unused samples and ornaments point at a one-line spare.
constexpr char kMagic[] = "Module: ";
constexpr size_t kMagicSize = 8;
constexpr size_t kName = 8;
constexpr size_t kNameSize = 42;
constexpr size_t kNoteTable = 0x32;
constexpr size_t kTempo = 0x45;
constexpr size_t kLoopPosition = 0x46;
constexpr size_t kPatternTable = 0x4B;
constexpr size_t kSamples = 0x52;
constexpr size_t kOrnaments = 0x92;
constexpr size_t kPositions = 0xD4;
constexpr int kTableEntries = 32;
constexpr int kMaxPositions = 256;
constexpr uint8_t kEndMark = 0xFF;
// A sample or ornament: its last line, the line its loop returns to and
// the line the loop ends on, then five bytes a sample line, two an
// ornament line.
constexpr size_t kSampleLine = 5;
constexpr size_t kOrnamentLine = 2;
constexpr int kMaxRowBytes = 64;

using zx::word_at;

bool lines_whole(const uint8_t* data, size_t size, size_t at, size_t line_size) {
  if (at < kPositions || at + 3 > size) return false;
  return at + 3 + line_size * (data[at] + 1u) <= size;
}

// The positions before the end mark; 0 when the list has no end in the file.
int position_count(const uint8_t* data, size_t size) {
  for (int count = 0; count <= kMaxPositions; ++count) {
    const size_t at = kPositions + 2 * static_cast<size_t>(count);
    if (at >= size) return 0;
    if (data[at] == kEndMark) return count;
    if (at + 1 >= size) return 0;
  }
  return 0;
}

bool header_valid(const uint8_t* data, size_t size) {
  if (size <= kPositions + 2 || std::memcmp(data, kMagic, kMagicSize) != 0) return false;
  const int count = position_count(data, size);
  if (data[kTempo] == 0 || count == 0 || data[kLoopPosition] >= count) return false;
  const size_t patterns = word_at(data, kPatternTable);
  if (patterns < kPositions) return false;
  for (int i = 0; i < kTableEntries; ++i) {
    if (!lines_whole(data, size, word_at(data, kSamples + 2 * i), kSampleLine)) return false;
    if (!lines_whole(data, size, word_at(data, kOrnaments + 2 * i), kOrnamentLine)) return false;
  }
  for (int i = 0; i < count; ++i) {
    const size_t entry = patterns + 6 * static_cast<size_t>(data[kPositions + 2 * i]);
    if (entry + 6 > size) return false;
    for (size_t c = 0; c < 3; ++c) {
      const size_t track = word_at(data, entry + 2 * c);
      if (track < kPositions || track >= size) return false;
    }
  }
  return true;
}

// 1.07 names its table: 1 Sound Tracker's own, 2 the one tuned to the
// Spectrum's clock. 1.00 has Pro Tracker's copy of Sound Tracker's, false
// note and all, and its signature there. (Read from the envelope basses
// of the real modules, whose envelope periods lock to their notes in
// octaves or fifths only through these tables.)
const zx::NoteTable& note_table(uint8_t choice) {
  if (choice == 1) return zx::sound_tracker_notes();
  if (choice == 2) return zx::pro_tracker3_notes(2, 3);
  return zx::pro_tracker3_notes(1, 3);
}

// Where a sample or ornament stands: its header and the line it plays.
// Past the loop's end line it goes back to the loop line.
struct Lines {
  size_t at = 0;
  int line = 0;

  void next(zx::ModuleBytes& m) {
    const int loop_end = std::min(m.byte(at + 2), m.byte(at));
    line = line >= loop_end ? m.byte(at + 1) : line + 1;
    if (line > m.byte(at)) line = 0;
  }
};

struct Channel : tracker::PatternReader {
  Lines sample, ornament;
  int note = 0, transposition = 0;
  int volume = 15;
  bool enabled = false;
  bool envelope = false;
  int envelope_period = 0;
  // What the lines flagged to add up have added since the note began.
  int tone_sum = 0, noise_sum = 0, envelope_sum = 0, volume_sum = 0;
  int note_sum = 0, ornament_noise_sum = 0;
  // The tone period the glissando or the portamento has moved the note by.
  int slide = 0, glide = 0;
  int portamento = 0;  // the step of a portamento the next note starts
  int portamento_step = 0;
  bool sliding_to_note = false;
  int sounding = 0;    // the period the channel last sounded, before its sample's offset
};

class FtcPlayer : public tracker::Pass<Channel> {
 public:
  FtcPlayer(const uint8_t* data, size_t size, int count)
      : Pass(data, size, count, data[kLoopPosition], data[kTempo]),
        notes_(note_table(data[kNoteTable])),
        volumes_(zx::pro_tracker3_volumes(5)) {
    for (Channel& channel : channels_) {
      channel.sample.at = m_.word(kSamples);
      channel.ornament.at = m_.word(kOrnaments);
    }
    enter(0);
  }

 private:
  void start_position(int position) override {
    const size_t at = kPositions + 2 * static_cast<size_t>(position);
    const size_t entry = m_.word(kPatternTable) + 6 * static_cast<size_t>(m_.byte(at));
    for (size_t i = 0; i < 3; ++i) {
      channels_[i].data = m_.word(entry + 2 * i);
      channels_[i].ended = false;
      channels_[i].rows_left = 0;
      channels_[i].transposition = static_cast<int8_t>(m_.byte(at + 1));
    }
  }

  // Only channel A's track is sure to carry the end mark.
  bool pattern_ended() override { return first_track_ended(kEndMark); }

  // Commands (sample, volume, envelope or rest, ornament, glissando,
  // portamento, tempo) apply at the next row that passes: a note's row, or
  // the n + 1 rows of a wait 0x40 + n. Each track holds the pattern's rows
  // to the end; only channel A's ends with the mark.
  bool read_row(Channel& channel) override {
    bool glide_in_row = false;  // a glissando written before its note carries on with it
    for (int n = 0; n < kMaxRowBytes; ++n) {
      const int command = m_.byte(channel.data);
      if (m_.broken()) return close_row(channel, 0);
      if (command == kEndMark) {
        channel.ended = true;
        channel.enabled = false;
        return close_row(channel, 0);
      }
      ++channel.data;
      if (command < 0x20) {
        channel.sample.at = m_.word(kSamples + 2 * static_cast<size_t>(command));
      } else if (command < 0x30) {
        channel.volume = command - 0x20;
      } else if (command == 0x30) {
        channel.enabled = false;
      } else if (command < 0x3F) {
        set_envelope(channel, command - 0x30, m_.word(channel.data));
        channel.data += 2;
      } else if (command == 0x3F) {
        channel.envelope = false;
      } else if (is_wait(command)) {
        return close_row(channel, command - 0x40);
      } else if (command < 0xCC) {
        start_note(channel, command - 0x60, glide_in_row);
        return close_row(channel, 0);
      } else if (command < 0xEC) {
        channel.ornament.at = m_.word(kOrnaments + 2 * static_cast<size_t>(command - 0xCC));
      } else if (command == 0xED) {
        channel.glide = static_cast<int16_t>(m_.word(channel.data));
        channel.data += 2;
        glide_in_row = true;
      } else if (command == 0xEE) {
        channel.portamento = m_.byte(channel.data++);
      } else if (command == 0xF0) {
        delay_ = std::max<int>(m_.byte(channel.data++), 1);
      }
      // The other bytes from 0xEC up no real module writes; they change nothing.
    }
    return false;
  }

  static bool is_wait(int command) { return command >= 0x40 && command < 0x60; }

  bool close_row(Channel& channel, int extra_rows) {
    channel.row_length = extra_rows;
    end_row(channel);
    return true;
  }

  // The chip restarts an envelope when its shape is written, so a shape
  // the chip already has is left alone, as the tracker's player does.
  void set_envelope(Channel& channel, int shape, int period) {
    channel.envelope = true;
    channel.envelope_period = period;
    if (shape != last_written_shape_) {
      state_.shape = shape;
      last_written_shape_ = shape;
    }
  }

  void start_note(Channel& channel, int note, bool keep_glide) {
    const int period = tracker::note_period(notes_, note + channel.transposition);
    channel.sliding_to_note = channel.portamento != 0 && channel.enabled;
    channel.slide = channel.sliding_to_note ? channel.sounding - period : 0;
    channel.portamento_step = channel.portamento;
    channel.portamento = 0;
    if (!keep_glide) channel.glide = 0;
    channel.note = note;
    channel.enabled = true;
    channel.sample.line = 0;
    channel.ornament.line = 0;
    channel.tone_sum = channel.noise_sum = channel.envelope_sum = channel.volume_sum = 0;
    channel.note_sum = channel.ornament_noise_sum = 0;
  }

  // A line's value with the sum the flagged lines keep: a flagged line
  // adds itself to the sum, every line sounds the sum before it plus itself.
  static int added(int* sum, int value, bool accumulate) {
    const int heard = *sum + value;
    if (accumulate) *sum = heard;
    return heard;
  }

  Voice sound(Channel& channel) override {
    Voice voice;
    if (!channel.enabled) return voice;
    // Ornament line: noise offset with its flags, then the note offset.
    const size_t ornament = channel.ornament.at + 3 + kOrnamentLine * static_cast<size_t>(channel.ornament.line);
    const uint8_t ornament_flags = m_.byte(ornament);
    const int shift = added(&channel.note_sum, static_cast<int8_t>(m_.byte(ornament + 1)), ornament_flags & 0x80);
    const int ornament_noise = added(&channel.ornament_noise_sum, ornament_flags & 0x1F, ornament_flags & 0x40);
    // Sample line: noise (bit 6 off, bit 7 added up), the tone offset word
    // (bit 14 tone off, bit 15 added up; the chip keeps 12 bits of the
    // sum), volume (bits 4-5 a step down or up, bit 6 the envelope, bit 7
    // its offset added up), the envelope period offset.
    const size_t line = channel.sample.at + 3 + kSampleLine * static_cast<size_t>(channel.sample.line);
    const uint8_t noise_byte = m_.byte(line);
    const int tone_word = m_.word(line + 1);
    const uint8_t volume_byte = m_.byte(line + 3);
    const int envelope_offset = static_cast<int8_t>(m_.byte(line + 4));
    const int noise = added(&channel.noise_sum, noise_byte & 0x1F, noise_byte & 0x80) + ornament_noise;
    const int tone_offset = added(&channel.tone_sum, tone_word & 0x1FFF, tone_word & 0x8000);
    const int envelope_shift = added(&channel.envelope_sum, envelope_offset, volume_byte & 0x80);
    const int slide_mode = volume_byte >> 4 & 3;
    if (slide_mode == 2) channel.volume_sum = std::max(channel.volume_sum - 1, -15);
    if (slide_mode == 3) channel.volume_sum = std::min(channel.volume_sum + 1, 15);
    const int level = std::clamp((volume_byte & 0x0F) + channel.volume_sum, 0, 15);
    // The sums keep only the bits their registers take, so that they never grow without bound.
    channel.tone_sum &= 0xFFF;
    channel.noise_sum &= 0x1F;
    channel.ornament_noise_sum &= 0x1F;
    channel.envelope_sum &= 0xFFFF;
    channel.note_sum = std::clamp(channel.note_sum, -96, 96);

    const int base = tracker::note_period(notes_, channel.note + channel.transposition + shift) + channel.slide;
    channel.sounding = base;
    voice.tone = static_cast<uint16_t>((base + tone_offset) & 0xFFF);
    voice.tone_on = !(tone_word & 0x4000);
    voice.noise_on = !(noise_byte & 0x40);
    if (voice.noise_on) state_.noise = static_cast<uint8_t>(noise & 0x1F);
    voice.envelope = channel.envelope && (volume_byte & 0x40);
    if (voice.envelope) state_.envelope_period = static_cast<uint16_t>(channel.envelope_period + envelope_shift);
    voice.level = volumes_[static_cast<size_t>(channel.volume)][static_cast<size_t>(level)];

    step_slide(channel);
    channel.sample.next(m_);
    channel.ornament.next(m_);
    return voice;
  }

  // A portamento walks the slide back to the new note and stops there; a
  // glissando moves it on every frame.
  static void step_slide(Channel& channel) {
    if (channel.sliding_to_note) {
      const int step = channel.portamento_step;
      if (channel.slide > 0) channel.slide = std::max(channel.slide - step, 0);
      if (channel.slide < 0) channel.slide = std::min(channel.slide + step, 0);
      if (channel.slide == 0) channel.sliding_to_note = false;
    } else {
      channel.slide = std::clamp(channel.slide + channel.glide, -0xFFF, 0xFFF);
    }
  }

  const zx::NoteTable& notes_;
  const zx::VolumeTable& volumes_;
  int last_written_shape_ = -1;
};

bool detect(const uint8_t* data, size_t size) { return header_valid(data, size); }

// The name field holds "title BY author" as most musicians wrote it.
void read_name(const uint8_t* data, AySong* song) {
  const std::string name = zx::field_text(data + kName, kNameSize);
  const size_t by = name.find(" BY ");
  if (by == std::string::npos) {
    song->title = name;
    return;
  }
  song->title = zx::field_text(reinterpret_cast<const uint8_t*>(name.data()), by);
  song->author = zx::field_text(reinterpret_cast<const uint8_t*>(name.data()) + by + 4, name.size() - by - 4);
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  if (!header_valid(data, size)) {
    *error = "not a Fast Tracker module";
    return false;
  }
  *song = AySong();
  read_name(data, song);
  song->program = "Fast Tracker";
  FtcPlayer player(data, size, position_count(data, size));
  return zx::record_pass(player, data[kLoopPosition], song, error);
}

}  // namespace

const Format kFtcFormat = {"Fast Tracker", detect, parse};

}  // namespace tools::ay
