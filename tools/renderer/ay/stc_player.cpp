#include "tools/renderer/ay/stc_player.h"

#include <algorithm>
#include <string>

#include "tools/renderer/ay/tracker_pass.h"
#include "tools/renderer/ay/zx_tables.h"

namespace tools::ay {
namespace {

using tracker::Voice;

// Offsets into the header.
constexpr size_t kDelay = 0;
constexpr size_t kPositionsPointer = 1;
constexpr size_t kOrnamentsPointer = 3;
constexpr size_t kPatternsPointer = 5;
constexpr size_t kIdentifier = 7;  // 18 bytes: a name, or the compiler's stamp
constexpr size_t kCompiledSize = 25;  // after the compiler's stamp: the module's size
constexpr size_t kSamples = 27;

// A sample: its number, 32 lines of 3 bytes, the line its repeat starts
// at (counted from 1; 0 for none) and the repeat's length less one.
constexpr size_t kSampleSize = 99;
constexpr size_t kRepeatLine = 96;  // from the first line
constexpr size_t kRepeatLength = 97;
// An ornament: its number and 32 note offsets.
constexpr size_t kOrnamentSize = 33;
// A pattern table entry: its number and its three tracks.
constexpr size_t kPatternEntrySize = 7;
constexpr uint8_t kEndOfTable = 0xFF;
constexpr uint8_t kEndOfTrack = 0xFF;
constexpr size_t kNone = SIZE_MAX;

using zx::word_at;

// The compiler's layout: header, samples, positions, ornaments, pattern
// table, tracks. The module names samples, ornaments and patterns by
// number, so the tables are looked up rather than indexed.
struct Tables {
  size_t samples[16];
  size_t ornaments[16];
  size_t patterns[256];
};

bool tables_of(const uint8_t* data, size_t size, Tables* tables) {
  if (size < kSamples + kSampleSize || data[kDelay] == 0) return false;
  const size_t positions = word_at(data, kPositionsPointer);
  const size_t ornaments = word_at(data, kOrnamentsPointer);
  const size_t patterns = word_at(data, kPatternsPointer);
  // The compiler puts the positions before the ornaments; Sound Tracker's
  // own saves have them the other way round. Either way the samples come
  // first and the pattern table last, and each table fills its space.
  const size_t samples_end = std::min(positions, ornaments);
  const size_t positions_end = positions < ornaments ? ornaments : patterns;
  const size_t ornaments_end = positions < ornaments ? patterns : positions;
  if (samples_end <= kSamples || (samples_end - kSamples) % kSampleSize != 0) return false;
  if (std::max(positions, ornaments) >= patterns || patterns >= size) return false;
  const size_t count = data[positions] + 1u;
  if (positions + 1 + 2 * count > positions_end) return false;
  if (ornaments_end <= ornaments || (ornaments_end - ornaments) % kOrnamentSize != 0) return false;

  std::fill(std::begin(tables->samples), std::end(tables->samples), kNone);
  std::fill(std::begin(tables->ornaments), std::end(tables->ornaments), kNone);
  std::fill(std::begin(tables->patterns), std::end(tables->patterns), kNone);
  for (size_t at = kSamples; at < samples_end; at += kSampleSize) {
    if (data[at] > 15) return false;
    tables->samples[data[at]] = at + 1;
  }
  for (size_t at = ornaments; at < ornaments_end; at += kOrnamentSize) {
    if (data[at] > 15) return false;
    tables->ornaments[data[at]] = at + 1;
  }
  size_t at = patterns;
  for (; at < size && data[at] != kEndOfTable; at += kPatternEntrySize) {
    if (at + kPatternEntrySize > size) return false;
    for (size_t i = 0; i < 3; ++i) {
      if (word_at(data, at + 1 + 2 * i) >= size) return false;
    }
    tables->patterns[data[at]] = at + 1;
  }
  if (at >= size) return false;
  for (size_t i = 0; i < count; ++i) {
    if (tables->patterns[data[positions + 1 + 2 * i]] == kNone) return false;
  }
  return true;
}

struct Channel : tracker::PatternReader {
  size_t sample = kNone, ornament = kNone;  // their first line or offset
  uint8_t note = 0;
  // Frames the sample still sounds before it ends or repeats; -1: silent.
  int sample_left = -1;
  uint8_t sample_position = 0;
  bool envelope_enabled = false;
  uint16_t tone = 0;  // kept while the channel is silent
};

class StcPlayer : public tracker::Pass<Channel> {
 public:
  // The list always starts over from its first position.
  StcPlayer(const uint8_t* data, size_t size, const Tables& tables)
      : Pass(data, size, data[word_at(data, kPositionsPointer)] + 1, 0, data[kDelay]),
        tables_(tables),
        notes_(zx::sound_tracker_notes()),
        positions_(word_at(data, kPositionsPointer)) {
    state_.level_beside_envelope = true;
    for (Channel& channel : channels_) channel.ornament = tables_.ornaments[0];
    enter(0);
  }

 private:
  // The channels go on counting their rows across positions.
  void start_position(int position) override {
    const size_t entry = positions_ + 1 + 2 * static_cast<size_t>(position);
    const size_t tracks = tables_.patterns[m_.byte(entry)];
    transposition_ = static_cast<int8_t>(m_.byte(entry + 1));
    if (tracks == kNone) {
      m_.mark_broken();
      return;
    }
    for (size_t i = 0; i < 3; ++i) channels_[i].data = m_.word(tracks + 2 * i);
  }

  bool pattern_ended() override { return first_track_ended(kEndOfTrack); }

  bool read_row(Channel& channel) override {
    read_commands(channel);
    end_row(channel);
    return true;
  }

  void read_commands(Channel& channel) {
    for (;;) {
      const uint8_t command = m_.byte(channel.data);
      if (m_.broken() || command == kEndOfTrack) return;  // a short track rests
      ++channel.data;
      if (command <= 0x5F) {
        channel.note = command;
        channel.sample_position = 0;
        channel.sample_left = 32;
        return;
      } else if (command <= 0x6F) {
        if (tables_.samples[command - 0x60] != kNone) channel.sample = tables_.samples[command - 0x60];
      } else if (command <= 0x7F) {
        // Ornament and envelope share a column: choosing one drops the other.
        channel.ornament = tables_.ornaments[command - 0x70];
        channel.envelope_enabled = false;
      } else if (command == 0x80) {
        channel.sample_left = -1;
        return;
      } else if (command == 0x81) {
        return;  // an empty row
      } else if (command <= 0x8E) {
        state_.shape = command - 0x80;
        state_.envelope_period = m_.byte(channel.data++);
        channel.envelope_enabled = true;
        channel.ornament = tables_.ornaments[0];
      } else if (command >= 0xA1) {
        channel.row_length = command - 0xA1;
      }
    }
  }

  Voice sound(Channel& channel) override {
    if (channel.sample_left > 0) {
      --channel.sample_left;
      channel.sample_position = (channel.sample_position + 1) & 31;
      if (channel.sample_left == 0) {
        const size_t repeat = channel.sample == kNone ? 0 : m_.byte(channel.sample + kRepeatLine);
        if (repeat != 0) {
          channel.sample_position = repeat & 31;
          channel.sample_left = m_.byte(channel.sample + kRepeatLength) + 1;
        } else {
          channel.sample_left = -1;
        }
      }
    }
    Voice voice;
    voice.tone = channel.tone;
    if (channel.sample_left < 0 || channel.sample == kNone) return voice;
    const size_t line = (channel.sample_position - 1u) & 31;
    const uint8_t levels = m_.byte(channel.sample + 3 * line);     // volume, offset's high bits
    const uint8_t masks = m_.byte(channel.sample + 3 * line + 1);  // masks, offset sign, noise
    const int offset = m_.byte(channel.sample + 3 * line + 2) | (levels & 0xF0) << 4;
    const int shift = channel.ornament == kNone ? 0 : static_cast<int8_t>(m_.byte(channel.ornament + line));
    const int note = std::clamp(channel.note + shift + transposition_, 0, 95);
    const int tone = (masks & 0x20) ? notes_[note] + offset : notes_[note] - offset;
    channel.tone = static_cast<uint16_t>(tone & 0xFFF);
    voice.tone = channel.tone;
    voice.level = levels & 0x0F;
    voice.envelope = channel.envelope_enabled;
    voice.tone_on = !(masks & 0x40);
    voice.noise_on = !(masks & 0x80);
    if (voice.noise_on) state_.noise = masks & 0x1F;
    return voice;
  }

  const Tables& tables_;
  const zx::NoteTable& notes_;
  size_t positions_;
  int8_t transposition_ = 0;
};

bool detect(const uint8_t* data, size_t size) {
  Tables tables;
  return tables_of(data, size, &tables);
}

// The identifier field holds the compiler's stamp unless someone put the
// song's name there.
bool is_compiler_stamp(const std::string& text) {
  return text == "SONG BY ST COMPILE" || text.rfind("KSA SOFTWARE", 0) == 0 || text.rfind("SOUND TRACKER", 0) == 0;
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  Tables tables;
  if (!tables_of(data, size, &tables)) {
    *error = "not a Sound Tracker module";
    return false;
  }
  StcPlayer player(data, size, tables);
  song->chip = ChipType::ay;
  song->clock_hz = 1773400;
  song->frame_hz = 50;
  song->chips = 1;
  const std::string identifier = zx::field_text(data + kIdentifier, 18);
  if (!is_compiler_stamp(identifier)) song->title = identifier;
  song->program = "Sound Tracker";
  if (zx::record_pass(player, 0, song, error)) return true;
  const size_t stated = word_at(data, kCompiledSize);
  if (is_compiler_stamp(identifier) && stated > size) {
    *error = "the module is cut short: the file holds " + std::to_string(size) + " of its " + std::to_string(stated) +
             " bytes";
  }
  return false;
}

}  // namespace

const Format kStcFormat = {"Sound Tracker", detect, parse};

}  // namespace tools::ay
