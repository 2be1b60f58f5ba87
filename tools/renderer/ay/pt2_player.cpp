#include "tools/renderer/ay/pt2_player.h"

#include <algorithm>
#include <cstdlib>

#include "tools/renderer/ay/tracker_pass.h"
#include "tools/renderer/ay/zx_tables.h"

namespace tools::ay {
namespace {

using tracker::Voice;

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

using zx::word_at;

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

struct Channel : tracker::PatternReader {
  size_t sample = 0;
  uint8_t sample_length = 0, sample_loop = 0, sample_position = 0;
  size_t ornament = 0;
  uint8_t ornament_length = 0, ornament_loop = 0, ornament_position = 0;
  uint8_t volume = 15, note = 0, slide_to_note = 0;
  bool enabled = false, envelope_enabled = false;
  Slide slide = Slide::none;
  int16_t slide_step = 0, tone_sliding = 0, tone_delta = 0;
  uint16_t tone = 0;  // kept while the channel rests
};

class Pt2Player : public tracker::Pass<Channel> {
 public:
  Pt2Player(const uint8_t* data, size_t size)
      : Pass(data, size, data[kPositionCount], data[kLoopPosition], data[kDelay]),
        notes_(zx::pro_tracker2_notes()),
        volumes_(zx::pro_tracker3_volumes(5)) {
    state_.level_beside_envelope = true;
    for (Channel& channel : channels_) {
      set_sample(channel, 1);
      set_ornament(channel, 0);
    }
    enter(0);
  }

 private:
  void set_sample(Channel& channel, int number) {
    channel.sample = m_.word(kSamples + 2 * static_cast<size_t>(number & 31));
    channel.sample_length = m_.byte(channel.sample);
    channel.sample_loop = m_.byte(channel.sample + 1);
  }

  void set_ornament(Channel& channel, int number) {
    channel.ornament = m_.word(kOrnaments + 2 * static_cast<size_t>(number & 15));
    channel.ornament_length = m_.byte(channel.ornament);
    channel.ornament_loop = m_.byte(channel.ornament + 1);
  }

  // The channels go on counting their rows across positions.
  void start_position(int position) override {
    const size_t entry = m_.word(kPatternTable) + 6 * static_cast<size_t>(m_.byte(kPositions + position));
    for (size_t i = 0; i < 3; ++i) channels_[i].data = m_.word(entry + 2 * i);
  }

  bool pattern_ended() override { return first_track_ended(kEndOfTrack); }

  bool read_row(Channel& channel) override {
    const uint8_t previous_note = channel.note;
    bool portamento = false, note = false;
    for (;;) {
      const uint8_t command = m_.byte(channel.data);
      if (m_.broken() || command == kEndOfTrack) break;  // a short track rests
      ++channel.data;
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
        state_.shape = command - 0x70;
        state_.envelope_period = m_.word(channel.data);
        channel.data += 2;
      } else if (command == 0x70) {
        break;  // an empty row
      } else if (command >= 0x60) {
        set_ornament(channel, command - 0x60);
      } else if (command >= 0x20) {
        channel.row_length = command - 0x20;
      } else if (command >= 0x10) {
        channel.volume = command - 0x10;
      } else if (command == 0x0F) {
        // The player counts the delay in a byte, so 0 waits 256 frames.
        const int delay = m_.byte(channel.data++);
        delay_ = delay == 0 ? 256 : delay;
      } else if (command == 0x0E) {
        channel.slide_step = static_cast<int8_t>(m_.byte(channel.data++));
        channel.slide = Slide::glissando;
      } else if (command == 0x0D) {
        // The speed, then two bytes the player does not use; the direction
        // comes from where the note lies.
        channel.slide_step = static_cast<int16_t>(std::abs(static_cast<int8_t>(m_.byte(channel.data))));
        channel.data += 3;
        channel.slide = Slide::portamento;
        portamento = true;
      } else if (command == 0x0C) {
        channel.slide = Slide::none;
      } else if (command == 0x0B) {
        noise_add_ = m_.byte(channel.data++);
      }
    }
    if (portamento && note) {
      channel.tone_delta = static_cast<int16_t>(notes_[std::min<int>(channel.note, 95)] -
                                                notes_[std::min<int>(previous_note, 95)]);
      channel.slide_to_note = channel.note;
      channel.note = previous_note;
      if (channel.tone_delta < 0) channel.slide_step = static_cast<int16_t>(-channel.slide_step);
    }
    end_row(channel);
    return true;
  }

  Voice sound(Channel& channel) override {
    Voice voice;
    if (!channel.enabled) {
      // A resting channel leaves its tone and mixer bits on, at level 0.
      voice.tone = channel.tone;
      voice.tone_on = voice.noise_on = true;
      return voice;
    }
    const size_t line = channel.sample + 2 + 3 * static_cast<size_t>(channel.sample_position);
    const uint8_t masks = m_.byte(line);  // noise period, offset sign, tone and noise masks
    const uint8_t levels = m_.byte(line + 1);
    int offset = m_.byte(line + 2) | (levels & 0x0F) << 8;
    if (!(masks & 0x04)) offset = -offset;
    const int8_t shift = static_cast<int8_t>(m_.byte(channel.ornament + 2 + channel.ornament_position));
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

    voice.tone = channel.tone;
    voice.level = volumes_[channel.volume & 15][levels >> 4];
    voice.envelope = channel.envelope_enabled;
    voice.tone_on = !(masks & 0x02);
    voice.noise_on = !(masks & 0x01);
    if (voice.noise_on) state_.noise = static_cast<uint8_t>(((masks >> 3) + noise_add_) & 0x1F);

    if (++channel.sample_position >= channel.sample_length) channel.sample_position = channel.sample_loop;
    if (++channel.ornament_position >= channel.ornament_length) channel.ornament_position = channel.ornament_loop;
    return voice;
  }

  const zx::NoteTable& notes_;
  const zx::VolumeTable& volumes_;
  uint8_t noise_add_ = 0;
};

bool detect(const uint8_t* data, size_t size) { return header_valid(data, size); }

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  if (!header_valid(data, size)) {
    *error = "not a Pro Tracker 2 module";
    return false;
  }
  Pt2Player player(data, size);
  song->chip = ChipType::ay;
  song->clock_hz = 1773400;
  song->frame_hz = 50;
  song->chips = 1;
  song->title = zx::field_text(data + kName, 30);
  song->program = "Pro Tracker 2";
  return zx::record_pass(player, data[kLoopPosition], song, error);
}

}  // namespace

const Format kPt2Format = {"Pro Tracker 2", detect, parse};

}  // namespace tools::ay
