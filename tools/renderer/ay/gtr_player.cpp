#include "tools/renderer/ay/gtr_player.h"

#include <algorithm>
#include <string>

#include "tools/renderer/ay/tracker_pass.h"
#include "tools/renderer/ay/zx_tables.h"

namespace tools::ay {
namespace {

using tracker::Voice;

// The header: +0 delay, +1 "GTR", +4 the version in BCD (0x10, 0x11), +5
// the address the module was compiled for (every pointer is an address
// there), +7 the name, +39 15 sample words, +69 16 ornament words, +101 32
// patterns of three track words, +293 number of positions, +294 loop
// position, +295 the position list (pattern numbers times six).
constexpr size_t kDelay = 0;
constexpr size_t kMagic = 1;
constexpr size_t kVersion = 4;
constexpr size_t kAddress = 5;
constexpr size_t kName = 7;
constexpr size_t kNameSize = 32;
constexpr size_t kSamples = 39;
constexpr int kSampleCount = 15;
constexpr size_t kOrnaments = 69;
constexpr int kOrnamentCount = 16;
constexpr size_t kPatternTable = 101;
constexpr int kPatternEntries = 32 * 6;
constexpr size_t kPositionCount = 293;
constexpr size_t kLoopPosition = 294;
constexpr size_t kPositions = 295;
constexpr uint8_t kEndOfTrack = 0xFF;
constexpr uint8_t kSoundOff = 0xE0;
// The editor's patterns have 64 rows. A compiler of 1.0 left tracks whose
// last row runs past them, with other data after it where the end mark
// should be, so the row count ends a pattern as well as its first track.
constexpr int kPatternRows = 64;
constexpr int kMaxRowBytes = 64;
// Samples and ornaments both open with the loop offset and the end offset,
// counted in bytes from their first line. A sample line is four bytes: the
// volume; the flags (bit 7 lets the channel's envelope through, bit 6
// masks the noise, bit 5 the tone, bits 4..0 the noise period); the tone
// period offset as a signed word. An ornament line is a signed note offset.
constexpr size_t kListHeader = 2;
constexpr size_t kSampleLine = 4;
constexpr uint8_t kEnvelopeThrough = 0x80;
constexpr uint8_t kNoNoise = 0x40;
constexpr uint8_t kNoTone = 0x20;

using zx::word_at;

size_t pointer_at(const uint8_t* data, size_t at) { return (word_at(data, at) - word_at(data, kAddress)) & 0xFFFF; }

// A sample or ornament whose lines lie in the file, after the header, with
// its loop inside them; sample offsets fall on whole lines.
bool list_whole(const uint8_t* data, size_t size, size_t at, size_t first, size_t line) {
  if (at < first || at + kListHeader > size) return false;
  const size_t loop = data[at], end = data[at + 1];
  return end > 0 && loop < end && loop % line == 0 && end % line == 0 && at + kListHeader + end <= size;
}

bool header_valid(const uint8_t* data, size_t size) {
  if (size <= kPositions) return false;
  if (data[kMagic] != 'G' || data[kMagic + 1] != 'T' || data[kMagic + 2] != 'R') return false;
  if (data[kVersion] >> 4 != 1 || (data[kVersion] & 0x0F) > 9 || data[kDelay] == 0) return false;
  const size_t count = data[kPositionCount];
  if (count == 0 || data[kLoopPosition] >= count || kPositions + count > size) return false;
  for (size_t i = kName; i < kName + kNameSize; ++i)
    if (data[i] != 0 && data[i] < 0x20) return false;
  const size_t first = kPositions + count;
  for (int i = 0; i < kSampleCount; ++i)
    if (!list_whole(data, size, pointer_at(data, kSamples + 2 * i), first, kSampleLine)) return false;
  for (int i = 0; i < kOrnamentCount; ++i)
    if (!list_whole(data, size, pointer_at(data, kOrnaments + 2 * i), first, 1)) return false;
  for (size_t i = 0; i < count; ++i) {
    const int entry = data[kPositions + i];
    if (entry % 6 != 0 || entry >= kPatternEntries) return false;
    for (size_t c = 0; c < 3; ++c) {
      const size_t track = pointer_at(data, kPatternTable + entry + 2 * c);
      if (track < first || track >= size) return false;
    }
  }
  return true;
}

struct Channel : tracker::PatternReader {
  size_t sample = 0, ornament = 0;  // where their headers are
  size_t sample_line = 0;           // byte offset of the line playing
  size_t ornament_line = 0;
  int note = 0;
  int volume = 15;
  bool sounding = false, envelope = false;
};

class GtrPlayer : public tracker::Pass<Channel> {
 public:
  GtrPlayer(const uint8_t* data, size_t size)
      : Pass(data, size, data[kPositionCount], data[kLoopPosition], data[kDelay]),
        notes_(zx::sound_tracker_notes()),
        after_first_(data[kVersion] > 0x10),
        address_(word_at(data, kAddress)) {
    for (Channel& channel : channels_) {
      channel.sample = pointer(kSamples);
      channel.ornament = pointer(kOrnaments);
    }
    enter(0);
  }

 private:
  size_t pointer(size_t at) { return (m_.word(at) - address_) & 0xFFFF; }

  // Every pattern starts its three tracks at their first row.
  void start_position(int position) override {
    const size_t entry = kPatternTable + m_.byte(kPositions + static_cast<size_t>(position));
    for (size_t i = 0; i < 3; ++i) {
      Channel& channel = channels_[i];
      channel.data = pointer(entry + 2 * i);
      channel.rows_left = 0;
      channel.row_length = 0;
    }
  }

  bool pattern_ended() override { return row_ >= kPatternRows || first_track_ended(kEndOfTrack); }

  // A row: commands, then a note or an end of row; a track at its end mark
  // goes on with what it had.
  bool read_row(Channel& channel) override {
    for (int n = 0; n < kMaxRowBytes; ++n) {
      const int command = m_.byte(channel.data);
      if (m_.broken() || command == kEndOfTrack) return close_row(channel);
      ++channel.data;
      if (command < 0x60) {
        channel.note = command;
        channel.sample_line = 0;
        channel.ornament_line = 0;
        channel.sounding = true;
        return close_row(channel);
      } else if (command < 0x6F) {
        channel.sample = pointer(kSamples + 2 * static_cast<size_t>(command - 0x60));
      } else if (command == 0x6F) {
        // There is no sixteenth sample; the byte changes nothing.
      } else if (command < 0x80) {
        channel.ornament = pointer(kOrnaments + 2 * static_cast<size_t>(command - 0x70));
        // Version 1.0 forgot to turn the envelope off here.
        if (after_first_) channel.envelope = false;
      } else if (command < 0xC0) {
        channel.row_length = command - 0x80;  // for this row only
      } else if (command < 0xD0) {
        // The shape, and the low byte of the period; the high byte stays 0.
        channel.envelope = true;
        state_.shape = command & 0x0F;
        state_.envelope_period = m_.byte(channel.data++);
      } else if (command < kSoundOff) {
        return close_row(channel);  // an empty row
      } else if (command == kSoundOff) {
        channel.sounding = false;
        // From 1.1 the silence is a row of its own; 1.0 reads on.
        if (after_first_) return close_row(channel);
      } else if (command < 0xF0) {
        channel.volume = command & 0x0F;
      }
      // 0xF0..0xFE are read past: no module of the format was seen to
      // write them.
    }
    return false;
  }

  bool close_row(Channel& channel) {
    end_row(channel);
    channel.row_length = 0;
    return true;
  }

  Voice sound(Channel& channel) override {
    Voice voice;
    if (!channel.sounding) return voice;
    const size_t line = channel.sample + kListHeader + channel.sample_line;
    const int volume = m_.byte(line) & 0x0F;
    const uint8_t flags = m_.byte(line + 1);
    const int offset = static_cast<int16_t>(m_.word(line + 2));
    const int shift = static_cast<int8_t>(m_.byte(channel.ornament + kListHeader + channel.ornament_line));
    const int note = std::clamp(channel.note + shift, 0, 95);
    voice.tone = static_cast<uint16_t>((notes_[static_cast<size_t>(note)] + offset) & 0xFFF);
    voice.level = tracker::scaled_level(volume, channel.volume);
    voice.envelope = channel.envelope && (flags & kEnvelopeThrough);
    voice.tone_on = !(flags & kNoTone);
    voice.noise_on = !(flags & kNoNoise);
    if (voice.noise_on) state_.noise = flags & 0x1F;
    channel.sample_line += kSampleLine;
    if (channel.sample_line >= m_.byte(channel.sample + 1)) channel.sample_line = m_.byte(channel.sample);
    if (++channel.ornament_line >= m_.byte(channel.ornament + 1)) channel.ornament_line = m_.byte(channel.ornament);
    return voice;
  }

  const zx::NoteTable& notes_;
  const bool after_first_;
  const size_t address_;
};

bool detect(const uint8_t* data, size_t size) { return header_valid(data, size); }

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  if (!header_valid(data, size)) {
    *error = "not a Global Tracker module";
    return false;
  }
  *song = AySong();
  song->title = zx::field_text(data + kName, kNameSize);
  const int version = data[kVersion];
  song->program = "Global Tracker " + std::to_string(version >> 4) + "." + std::to_string(version & 0x0F);
  GtrPlayer player(data, size);
  return zx::record_pass(player, data[kLoopPosition], song, error);
}

}  // namespace

const Format kGtrFormat = {"Global Tracker", detect, parse};

}  // namespace tools::ay
