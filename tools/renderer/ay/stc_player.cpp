#include "tools/renderer/ay/stc_player.h"

#include <algorithm>
#include <string>

#include "tools/renderer/ay/zx_tables.h"
#include "tools/renderer/ay/zx_tracker.h"

namespace tools::ay {
namespace {

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

size_t word_at(const uint8_t* data, size_t at) { return data[at] | data[at + 1] << 8; }

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

class StcPlayer : public zx::PositionPlayer {
 public:
  StcPlayer(const uint8_t* data, size_t size, const Tables& tables)
      : bytes_(data, size),
        tables_(tables),
        notes_(zx::sound_tracker_notes()),
        positions_(word_at(data, kPositionsPointer)),
        count_(data[positions_] + 1),
        delay_(data[kDelay]) {
    for (Channel& channel : channels_) channel.ornament = tables_.ornaments[0];
  }

  bool start(std::string* error) {
    enter(0);
    if (track_ended() && !next_position()) {
      *error = "no pattern of the position list has rows";
      return false;
    }
    return true;
  }

  bool play_frame(Frame* frame, std::string* error) override {
    wrapped_ = false;
    if (--delay_counter_ == 0) {
      if (channels_[0].rows_left == 0 && track_ended() && !next_position()) {
        *error = "no pattern of the position list has rows";
        return false;
      }
      for (Channel& channel : channels_) {
        if (channel.rows_left == 0) {
          read_row(channel);
          channel.rows_left = channel.rows_per_note;
        } else {
          --channel.rows_left;
        }
      }
      delay_counter_ = delay_;
    }
    write_registers(&(*frame)[0]);
    if (bytes_.broken()) {
      *error = "the module's data points past its end";
      return false;
    }
    return true;
  }

  int position() const override { return position_; }
  bool wrapped() const override { return wrapped_; }

 private:
  struct Channel {
    size_t track = 0;
    size_t sample = kNone, ornament = kNone;  // their first line or offset
    uint8_t note = 0;
    // Frames the sample still sounds before it ends or repeats; -1: silent.
    int sample_left = -1;
    uint8_t sample_position = 0;
    bool envelope_enabled = false;
    uint8_t rows_per_note = 0, rows_left = 0;  // a note every rows_per_note + 1 rows
    uint16_t tone = 0;
    uint8_t amplitude = 0;
  };

  bool track_ended() { return bytes_.byte(channels_[0].track) == kEndOfTrack; }

  void enter(int position) {
    position_ = position;
    const size_t entry = positions_ + 1 + 2 * static_cast<size_t>(position);
    const size_t tracks = tables_.patterns[bytes_.byte(entry)];
    transposition_ = static_cast<int8_t>(bytes_.byte(entry + 1));
    if (tracks == kNone) {
      bytes_.mark_broken();
      return;
    }
    for (size_t i = 0; i < 3; ++i) channels_[i].track = bytes_.word(tracks + 2 * i);
  }

  // The list always starts over from its first position; empty patterns
  // are passed over, at most once round.
  bool next_position() {
    for (int tried = 0; tried <= count_; ++tried) {
      int next = position_ + 1;
      if (next >= count_) {
        next = 0;
        wrapped_ = true;
      }
      enter(next);
      if (bytes_.broken()) return true;  // reported by the frame
      if (!track_ended()) return true;
    }
    return false;
  }

  void read_row(Channel& channel) {
    for (;;) {
      const uint8_t command = bytes_.byte(channel.track);
      if (bytes_.broken() || command == kEndOfTrack) return;  // a short track rests
      ++channel.track;
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
        shape_ = command - 0x80;
        shape_written_ = true;
        envelope_period_ = bytes_.byte(channel.track++);
        channel.envelope_enabled = true;
        channel.ornament = tables_.ornaments[0];
      } else if (command >= 0xA1) {
        channel.rows_per_note = command - 0xA1;
      }
    }
  }

  // One frame of a channel. Returns its R7 bits (tone off in bit 0, noise
  // off in bit 3) before shifting them into place.
  uint8_t advance(Channel& channel) {
    if (channel.sample_left > 0) {
      --channel.sample_left;
      channel.sample_position = (channel.sample_position + 1) & 31;
      if (channel.sample_left == 0) {
        const size_t repeat = channel.sample == kNone ? 0 : bytes_.byte(channel.sample + kRepeatLine);
        if (repeat != 0) {
          channel.sample_position = repeat & 31;
          channel.sample_left = bytes_.byte(channel.sample + kRepeatLength) + 1;
        } else {
          channel.sample_left = -1;
        }
      }
    }
    if (channel.sample_left < 0 || channel.sample == kNone) {
      channel.amplitude = 0;
      return 0x09;
    }
    const size_t line = (channel.sample_position - 1u) & 31;
    const uint8_t levels = bytes_.byte(channel.sample + 3 * line);   // volume, offset's high bits
    const uint8_t masks = bytes_.byte(channel.sample + 3 * line + 1);  // masks, offset sign, noise
    const int offset = bytes_.byte(channel.sample + 3 * line + 2) | (levels & 0xF0) << 4;
    const int shift = channel.ornament == kNone ? 0 : static_cast<int8_t>(bytes_.byte(channel.ornament + line));
    const int note = std::clamp(channel.note + shift + transposition_, 0, 95);
    const int tone = (masks & 0x20) ? notes_[note] + offset : notes_[note] - offset;
    channel.tone = static_cast<uint16_t>(tone & 0xFFF);
    channel.amplitude = levels & 0x0F;
    if (channel.envelope_enabled) channel.amplitude |= 0x10;
    if (!(masks & 0x80)) noise_ = masks & 0x1F;
    return static_cast<uint8_t>(((masks >> 6) & 0x01) | ((masks >> 7) & 0x01) << 3);
  }

  void write_registers(ChipFrame* frame) {
    uint8_t* regs = frame->regs.data();
    uint8_t mixer = 0;
    for (size_t i = 0; i < 3; ++i) {
      mixer |= static_cast<uint8_t>(advance(channels_[i]) << i);
      regs[2 * i] = static_cast<uint8_t>(channels_[i].tone & 0xFF);
      regs[2 * i + 1] = static_cast<uint8_t>(channels_[i].tone >> 8);
      regs[8 + i] = channels_[i].amplitude;
    }
    regs[6] = noise_;
    regs[7] = mixer;
    regs[11] = envelope_period_;
    regs[12] = 0;
    regs[13] = shape_;
    frame->shape_written = shape_written_;
    shape_written_ = false;
  }

  zx::ModuleBytes bytes_;
  const Tables& tables_;
  const zx::NoteTable& notes_;
  size_t positions_;
  int count_, position_ = 0;
  int8_t transposition_ = 0;
  uint8_t delay_, delay_counter_ = 1;
  bool wrapped_ = false;
  Channel channels_[3];
  uint8_t noise_ = 0, envelope_period_ = 0, shape_ = 0;
  bool shape_written_ = false;
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
  if (!player.start(error)) return false;
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
