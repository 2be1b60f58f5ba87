#include "tools/renderer/ay/pt1_player.h"

#include <algorithm>

#include "tools/renderer/ay/tracker_pass.h"
#include "tools/renderer/ay/zx_tables.h"

namespace tools::ay {
namespace {

using tracker::Voice;

// The header: +0 delay, +1 number of positions, +2 loop position, +3 16
// sample words, +35 16 ornament words, +67 the pattern table (three track
// words a pattern), +69 the name, +99 the position list, 0xFF after it.
// Unused samples and ornaments point at 0.
constexpr size_t kDelay = 0;
constexpr size_t kPositionCount = 1;
constexpr size_t kLoopPosition = 2;
constexpr size_t kSamples = 3;
constexpr size_t kOrnaments = 35;
constexpr size_t kPatternTable = 67;
constexpr size_t kName = 69;
constexpr size_t kNameSize = 30;
constexpr size_t kPositions = 99;
constexpr int kTableEntries = 16;
constexpr uint8_t kEndOfPositions = 0xFF;
constexpr uint8_t kEndOfTrack = 0xFF;
// A sample is its length and loop line, then three bytes a line as Sound
// Tracker has them; an ornament is a note offset for each line of the
// longest sample, read at the line the sample plays.
constexpr size_t kSampleLine = 3;
constexpr int kMaxRowBytes = 64;

using zx::word_at;

bool sample_whole(const uint8_t* data, size_t size, size_t at) {
  if (at == 0) return true;
  if (at < kPositions || at + 2 > size) return false;
  const size_t length = data[at];
  return length > 0 && data[at + 1] < length && at + 2 + kSampleLine * length <= size;
}

// The compiler writes the header, the position list, the pattern table and
// then the data every pointer leads into.
bool header_valid(const uint8_t* data, size_t size) {
  if (size <= kPositions + 1) return false;
  const size_t count = data[kPositionCount];
  if (data[kDelay] == 0 || count == 0 || data[kLoopPosition] >= count) return false;
  if (kPositions + count >= size || data[kPositions + count] != kEndOfPositions) return false;
  const size_t patterns = word_at(data, kPatternTable);
  if (patterns <= kPositions + count) return false;
  for (size_t i = kName; i < kName + kNameSize; ++i)
    if (data[i] != 0 && data[i] < 0x20) return false;
  for (int i = 0; i < kTableEntries; ++i) {
    if (!sample_whole(data, size, word_at(data, kSamples + 2 * i))) return false;
    const size_t ornament = word_at(data, kOrnaments + 2 * i);
    if (ornament != 0 && (ornament < kPositions || ornament >= size)) return false;
  }
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = patterns + 6 * static_cast<size_t>(data[kPositions + i]);
    if (data[kPositions + i] == kEndOfPositions || entry + 6 > size) return false;
    for (size_t c = 0; c < 3; ++c) {
      const size_t track = word_at(data, entry + 2 * c);
      if (track < kPositions || track >= size) return false;
    }
  }
  return true;
}

struct Channel : tracker::PatternReader {
  size_t sample = 0, ornament = 0;  // 0: none
  int note = 0;
  int volume = 15;
  int sample_position = 0;
  bool enabled = false, envelope = false;
};

class Pt1Player : public tracker::Pass<Channel> {
 public:
  Pt1Player(const uint8_t* data, size_t size)
      : Pass(data, size, data[kPositionCount], data[kLoopPosition], data[kDelay]),
        notes_(zx::pro_tracker3_notes(1, 6)),
        volumes_(zx::pro_tracker3_volumes(5)) {
    for (Channel& channel : channels_) channel.ornament = m_.word(kOrnaments);
    enter(0);
  }

 private:
  // The channels go on counting their rows across positions.
  void start_position(int position) override {
    const size_t entry = m_.word(kPatternTable) + 6 * static_cast<size_t>(m_.byte(kPositions + position));
    for (size_t i = 0; i < 3; ++i) channels_[i].data = m_.word(entry + 2 * i);
  }

  // The compiler writes the three tracks of a pattern to the same length.
  bool pattern_ended() override { return first_track_ended(kEndOfTrack); }

  // A row: commands, then a note, a rest or an empty row; a track at its
  // end mark rests.
  bool read_row(Channel& channel) override {
    for (int n = 0; n < kMaxRowBytes; ++n) {
      const int command = m_.byte(channel.data);
      if (m_.broken() || command == kEndOfTrack) return close_row(channel);
      ++channel.data;
      if (command < 0x60) {
        channel.note = command;
        channel.sample_position = 0;
        channel.enabled = true;
        return close_row(channel);
      } else if (command < 0x70) {
        channel.sample = m_.word(kSamples + 2 * static_cast<size_t>(command - 0x60));
      } else if (command < 0x80) {
        channel.ornament = m_.word(kOrnaments + 2 * static_cast<size_t>(command - 0x70));
      } else if (command == 0x80) {
        channel.enabled = false;
        return close_row(channel);
      } else if (command == 0x81) {
        channel.envelope = false;
      } else if (command < 0x90) {
        // Shapes 1 to 14, each with its period.
        channel.envelope = true;
        state_.shape = command - 0x81;
        state_.envelope_period = m_.word(channel.data);
        channel.data += 2;
      } else if (command == 0x90) {
        return close_row(channel);  // an empty row
      } else if (command < 0xA0) {
        delay_ = command - 0x90;
      } else if (command > 0xB0) {
        channel.row_length = command - 0xB1;
      } else if (command > 0xA0) {
        channel.volume = command - 0xA1;
      }
      // 0xA0 changes nothing this player sounds: real modules write it in
      // the middle of tunes that go on at the volume they had.
    }
    return false;
  }

  bool close_row(Channel& channel) {
    end_row(channel);
    return true;
  }

  Voice sound(Channel& channel) override {
    Voice voice;
    if (!channel.enabled || channel.sample == 0) return voice;
    const size_t line = channel.sample + 2 + kSampleLine * static_cast<size_t>(channel.sample_position);
    const uint8_t levels = m_.byte(line);  // volume, offset's high bits
    const uint8_t masks = m_.byte(line + 1);  // noise and tone masks, offset sign, noise
    const int offset = m_.byte(line + 2) | (levels & 0xF0) << 4;
    const int shift =
        channel.ornament == 0 ? 0 : static_cast<int8_t>(m_.byte(channel.ornament + channel.sample_position));
    const int note = std::clamp(channel.note + shift, 0, 95);
    const int tone = (masks & 0x20) ? notes_[note] + offset : notes_[note] - offset;
    voice.tone = static_cast<uint16_t>(tone & 0xFFF);
    voice.level = volumes_[channel.volume][levels & 0x0F];
    voice.envelope = channel.envelope;
    voice.tone_on = !(masks & 0x40);
    voice.noise_on = !(masks & 0x80);
    if (voice.noise_on) state_.noise = masks & 0x1F;
    // Samples always loop.
    if (++channel.sample_position >= m_.byte(channel.sample)) channel.sample_position = m_.byte(channel.sample + 1);
    return voice;
  }

  const zx::NoteTable& notes_;
  const zx::VolumeTable& volumes_;
};

bool detect(const uint8_t* data, size_t size) { return header_valid(data, size); }

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  if (!header_valid(data, size)) {
    *error = "not a Pro Tracker 1 module";
    return false;
  }
  *song = AySong();
  song->title = zx::field_text(data + kName, kNameSize);
  song->program = "Pro Tracker 1";
  Pt1Player player(data, size);
  return zx::record_pass(player, data[kLoopPosition], song, error);
}

}  // namespace

const Format kPt1Format = {"Pro Tracker 1", detect, parse};

}  // namespace tools::ay
