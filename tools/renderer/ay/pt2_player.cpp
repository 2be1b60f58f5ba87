#include "tools/renderer/ay/pt2_player.h"

#include <algorithm>
#include <cstdlib>

#include "tools/renderer/ay/zx_tables.h"
#include "tools/renderer/ay/zx_tracker.h"

namespace tools::ay {
namespace {

// Offsets into the header.
constexpr size_t kDelay = 0;
constexpr size_t kPositionCount = 1;
constexpr size_t kLoopPosition = 2;
constexpr size_t kSamples = 3;      // 32 words
constexpr size_t kOrnaments = 67;   // 16 words
constexpr size_t kPatternTable = 99;
constexpr size_t kName = 101;       // 30 bytes
constexpr size_t kPositions = 131;  // pattern numbers, 0xFF after the last
constexpr uint8_t kEndOfPositions = 0xFF;
constexpr uint8_t kEndOfTrack = 0x00;

enum class Slide : uint8_t { none, glissando, portamento };

size_t word_at(const uint8_t* data, size_t at) { return data[at] | data[at + 1] << 8; }

bool pattern_inside(const uint8_t* data, size_t size, int pattern) {
  const size_t entry = word_at(data, kPatternTable) + 6 * static_cast<size_t>(pattern);
  if (entry + 6 > size) return false;
  for (size_t i = 0; i < 3; ++i) {
    if (word_at(data, entry + 2 * i) >= size) return false;
  }
  return true;
}

// The compiler writes the header, the position list, then the pattern
// table, and every pointer into the module.
bool header_valid(const uint8_t* data, size_t size) {
  if (size <= kPositions + 1) return false;
  const size_t count = data[kPositionCount];
  if (data[kDelay] == 0 || count == 0 || data[kLoopPosition] >= count) return false;
  if (kPositions + count >= size || data[kPositions + count] != kEndOfPositions) return false;
  if (word_at(data, kPatternTable) <= kPositions + count) return false;
  for (size_t i = 0; i < 32; ++i) {
    if (word_at(data, kSamples + 2 * i) >= size) return false;
  }
  for (size_t i = 0; i < 16; ++i) {
    if (word_at(data, kOrnaments + 2 * i) >= size) return false;
  }
  if (word_at(data, kOrnaments) == 0) return false;  // ornament 0 is every note's default
  // The default ornament must be whole: its length byte, loop byte and steps.
  const size_t ornament = word_at(data, kOrnaments);
  if (ornament + 2 > size || ornament + 2 + data[ornament] > size) return false;
  // The name is text the tracker's editor typed (blank- or zero-padded); the
  // rest of the header checks alone let compressed data through.
  for (size_t i = kName; i < kPositions; ++i) {
    if (data[i] != 0 && data[i] < 0x20) return false;
  }
  for (size_t i = 0; i < count; ++i) {
    if (data[kPositions + i] == kEndOfPositions || !pattern_inside(data, size, data[kPositions + i])) return false;
  }
  return true;
}

class Pt2Player : public zx::PositionPlayer {
 public:
  Pt2Player(const uint8_t* data, size_t size)
      : bytes_(data, size),
        notes_(zx::pro_tracker2_notes()),
        volumes_(zx::pro_tracker3_volumes(5)),
        count_(data[kPositionCount]),
        loop_(data[kLoopPosition]),
        delay_(data[kDelay]) {
    for (Channel& channel : channels_) {
      set_sample(channel, 1);
      set_ornament(channel, 0);
    }
  }

  int loop_position() const { return loop_; }

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
    size_t sample = 0;
    uint8_t sample_length = 0, sample_loop = 0, sample_position = 0;
    size_t ornament = 0;
    uint8_t ornament_length = 0, ornament_loop = 0, ornament_position = 0;
    uint8_t volume = 15, note = 0, slide_to_note = 0;
    uint8_t rows_per_note = 0, rows_left = 0;  // a note every rows_per_note + 1 rows
    bool enabled = false, envelope_enabled = false;
    Slide slide = Slide::none;
    int16_t slide_step = 0, tone_sliding = 0, tone_delta = 0;
    uint16_t tone = 0;
    uint8_t amplitude = 0;
  };

  void set_sample(Channel& channel, int number) {
    channel.sample = bytes_.word(kSamples + 2 * static_cast<size_t>(number & 31));
    channel.sample_length = bytes_.byte(channel.sample);
    channel.sample_loop = bytes_.byte(channel.sample + 1);
  }

  void set_ornament(Channel& channel, int number) {
    channel.ornament = bytes_.word(kOrnaments + 2 * static_cast<size_t>(number & 15));
    channel.ornament_length = bytes_.byte(channel.ornament);
    channel.ornament_loop = bytes_.byte(channel.ornament + 1);
  }

  bool track_ended() { return bytes_.byte(channels_[0].track) == kEndOfTrack; }

  void enter(int position) {
    position_ = position;
    const size_t entry = bytes_.word(kPatternTable) + 6 * static_cast<size_t>(bytes_.byte(kPositions + position));
    for (size_t i = 0; i < 3; ++i) channels_[i].track = bytes_.word(entry + 2 * i);
  }

  // Moves on past positions whose pattern has no rows, at most once round.
  bool next_position() {
    for (int tried = 0; tried <= count_; ++tried) {
      int next = position_ + 1;
      if (next >= count_) {
        next = loop_;
        wrapped_ = true;
      }
      enter(next);
      if (!track_ended()) return true;
    }
    return false;
  }

  void read_row(Channel& channel) {
    const uint8_t previous_note = channel.note;
    bool portamento = false, note = false;
    for (;;) {
      const uint8_t command = bytes_.byte(channel.track);
      if (bytes_.broken() || command == kEndOfTrack) break;  // a short track rests
      ++channel.track;
      if (command >= 0xE1) {
        set_sample(channel, command - 0xE0);
      } else if (command == 0xE0) {
        channel.sample_position = channel.ornament_position = 0;
        channel.tone_sliding = 0;
        channel.slide = Slide::none;
        channel.enabled = false;
        break;
      } else if (command >= 0x80) {
        channel.note = command - 0x80;
        channel.sample_position = channel.ornament_position = 0;
        channel.tone_sliding = 0;
        channel.enabled = true;
        note = true;
        break;
      } else if (command == 0x7F) {
        channel.envelope_enabled = false;
      } else if (command >= 0x71) {
        channel.envelope_enabled = true;
        shape_ = command - 0x70;
        shape_written_ = true;
        envelope_period_ = bytes_.word(channel.track);
        channel.track += 2;
      } else if (command == 0x70) {
        break;  // an empty row
      } else if (command >= 0x60) {
        set_ornament(channel, command - 0x60);
      } else if (command >= 0x20) {
        channel.rows_per_note = command - 0x20;
      } else if (command >= 0x10) {
        channel.volume = command - 0x10;
      } else if (command == 0x0F) {
        delay_ = bytes_.byte(channel.track++);
      } else if (command == 0x0E) {
        channel.slide_step = static_cast<int8_t>(bytes_.byte(channel.track++));
        channel.slide = Slide::glissando;
      } else if (command == 0x0D) {
        // The speed, then two bytes the player does not use; the direction
        // comes from where the note lies.
        channel.slide_step = static_cast<int16_t>(std::abs(static_cast<int8_t>(bytes_.byte(channel.track))));
        channel.track += 3;
        channel.slide = Slide::portamento;
        portamento = true;
      } else if (command == 0x0C) {
        channel.slide = Slide::none;
      } else if (command == 0x0B) {
        noise_add_ = bytes_.byte(channel.track++);
      }
    }
    if (portamento && note) {
      channel.tone_delta = static_cast<int16_t>(notes_[std::min<int>(channel.note, 95)] -
                                                notes_[std::min<int>(previous_note, 95)]);
      channel.slide_to_note = channel.note;
      channel.note = previous_note;
      if (channel.tone_delta < 0) channel.slide_step = static_cast<int16_t>(-channel.slide_step);
    }
  }

  // One frame of a channel. Returns its R7 bits (tone off in bit 0, noise
  // off in bit 3) before shifting them into place.
  uint8_t advance(Channel& channel) {
    if (!channel.enabled) {
      channel.amplitude = 0;
      return 0;
    }
    const size_t line = channel.sample + 2 + 3 * static_cast<size_t>(channel.sample_position);
    const uint8_t masks = bytes_.byte(line);   // noise period, offset sign, tone and noise masks
    const uint8_t levels = bytes_.byte(line + 1);
    int offset = bytes_.byte(line + 2) | (levels & 0x0F) << 8;
    if (!(masks & 0x04)) offset = -offset;
    const int8_t shift = static_cast<int8_t>(bytes_.byte(channel.ornament + 2 + channel.ornament_position));
    const int note = std::clamp(channel.note + shift, 0, 95);
    channel.tone = static_cast<uint16_t>((notes_[note] + offset + channel.tone_sliding) & 0xFFF);

    if (channel.slide != Slide::none) {
      channel.tone_sliding = static_cast<int16_t>(channel.tone_sliding + channel.slide_step);
      if (channel.slide == Slide::portamento &&
          ((channel.slide_step < 0 && channel.tone_sliding <= channel.tone_delta) ||
           (channel.slide_step >= 0 && channel.tone_sliding >= channel.tone_delta))) {
        channel.note = channel.slide_to_note;
        channel.slide = Slide::none;
        channel.tone_sliding = 0;
      }
    }

    channel.amplitude = volumes_[channel.volume & 15][levels >> 4];
    if (channel.envelope_enabled) channel.amplitude |= 0x10;
    if (!(masks & 0x01)) noise_ = static_cast<uint8_t>(((masks >> 3) + noise_add_) & 0x1F);

    if (++channel.sample_position >= channel.sample_length) channel.sample_position = channel.sample_loop;
    if (++channel.ornament_position >= channel.ornament_length) channel.ornament_position = channel.ornament_loop;
    return static_cast<uint8_t>(((masks >> 1) & 0x01) | (masks & 0x01) << 3);
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
    regs[11] = static_cast<uint8_t>(envelope_period_ & 0xFF);
    regs[12] = static_cast<uint8_t>(envelope_period_ >> 8);
    regs[13] = shape_;
    frame->shape_written = shape_written_;
    shape_written_ = false;
  }

  zx::ModuleBytes bytes_;
  const zx::NoteTable& notes_;
  const zx::VolumeTable& volumes_;
  Channel channels_[3];
  int count_, loop_, position_ = 0;
  uint8_t delay_, delay_counter_ = 1;
  bool wrapped_ = false;
  uint8_t noise_ = 0, noise_add_ = 0;
  uint16_t envelope_period_ = 0;
  uint8_t shape_ = 0;
  bool shape_written_ = false;
};

bool detect(const uint8_t* data, size_t size) { return header_valid(data, size); }

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  if (!header_valid(data, size)) {
    *error = "not a Pro Tracker 2 module";
    return false;
  }
  Pt2Player player(data, size);
  if (!player.start(error)) return false;
  song->chip = ChipType::ay;
  song->clock_hz = 1773400;
  song->frame_hz = 50;
  song->chips = 1;
  song->title = zx::field_text(data + kName, 30);
  song->program = "Pro Tracker 2";
  return zx::record_pass(player, player.loop_position(), song, error);
}

}  // namespace

const Format kPt2Format = {"Pro Tracker 2", detect, parse};

}  // namespace tools::ay
