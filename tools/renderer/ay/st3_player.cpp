#include "tools/renderer/ay/st3_player.h"

#include <algorithm>
#include <cstring>

#include "tools/renderer/ay/stc_image.h"
#include "tools/renderer/ay/zx_tracker.h"

namespace tools::ay {
namespace {

// The header: the delay, then pointers (from the module's start) to the
// positions, the sample list, the ornament list and the pattern table.
constexpr size_t kDelay = 0;
constexpr size_t kPositionsPointer = 1;
constexpr size_t kSamplesPointer = 3;
constexpr size_t kOrnamentsPointer = 5;
constexpr size_t kPatternsPointer = 7;
constexpr size_t kHeaderSize = 9;
// The compiler's stamp that may follow the header, with the song's credit.
constexpr char kStamp[] = "KSA SOFTWARE COMPILATION OF ";
constexpr size_t kStampSize = 55;

// A sample: the repeat's first and last line (from 1; first 0: none), then
// 32 lines of four bytes: the offset added to the period (signed word),
// the volume (bit 4 tone off, bit 7 noise off) and the noise period.
constexpr size_t kSampleSize = 130;
constexpr size_t kOrnamentSize = 32;
constexpr size_t kPatternEntrySize = 6;  // the three tracks

using zx::word_at;

struct Layout {
  size_t positions, samples, ornaments, patterns;
  int pattern_count;
};

// Where a track's commands end (just past its 0xFF), or 0 when it runs off
// the module. Envelope commands carry a period byte, which may be 0xFF.
size_t track_end(const uint8_t* data, size_t size, size_t at) {
  while (at < size) {
    const uint8_t command = data[at++];
    if (command == 0xFF) return at;
    if (command >= 0x82 && command <= 0x8E) ++at;
  }
  return 0;
}

bool layout_of(const uint8_t* data, size_t size, Layout* layout) {
  if (size < kHeaderSize || data[kDelay] == 0) return false;
  Layout l{word_at(data, kPositionsPointer), word_at(data, kSamplesPointer), word_at(data, kOrnamentsPointer),
           word_at(data, kPatternsPointer), 0};
  if (l.positions < kHeaderSize || l.positions >= l.samples || l.samples >= l.ornaments ||
      l.ornaments >= l.patterns || l.patterns >= size)
    return false;
  const size_t positions = data[l.positions];
  if (positions == 0 || l.positions + 1 + 2 * positions > l.samples) return false;
  for (size_t i = 0; i < positions; ++i) {
    const uint8_t offset = data[l.positions + 2 + 2 * i];
    if (offset % kPatternEntrySize != 0) return false;
    l.pattern_count = std::max(l.pattern_count, offset / static_cast<int>(kPatternEntrySize) + 1);
  }
  const size_t samples = data[l.samples];
  if (samples == 0 || samples > 16 || l.samples + 1 + 2 * samples > l.ornaments) return false;
  for (size_t i = 0; i < samples; ++i) {
    const size_t at = word_at(data, l.samples + 1 + 2 * i);
    if (at < kHeaderSize || at + kSampleSize > size) return false;
    if (data[at] > 32 || data[at + 1] > 32 || (data[at] != 0 && data[at] > data[at + 1])) return false;
    for (size_t line = 0; line < 32; ++line) {
      const uint8_t* bytes = data + at + 2 + 4 * line;
      const int offset = static_cast<int16_t>(bytes[0] | bytes[1] << 8);
      if (offset < -0xFFF || offset > 0xFFF || bytes[2] & 0x60 || bytes[3] > 0x1F) return false;
    }
  }
  const size_t ornaments = data[l.ornaments];
  if (ornaments == 0 || ornaments > 16 || l.ornaments + 1 + 2 * ornaments > size) return false;
  for (size_t i = 0; i < ornaments; ++i) {
    const size_t at = word_at(data, l.ornaments + 1 + 2 * i);
    if (at < kHeaderSize || at + kOrnamentSize > size) return false;
  }
  if (l.patterns + kPatternEntrySize * l.pattern_count > size) return false;
  for (int p = 0; p < l.pattern_count; ++p) {
    for (size_t c = 0; c < 3; ++c) {
      const size_t at = word_at(data, l.patterns + kPatternEntrySize * p + 2 * c);
      if (at < kHeaderSize || track_end(data, size, at) == 0) return false;
    }
  }
  *layout = l;
  return true;
}

stc::Image image_of(const uint8_t* data, size_t size, const Layout& l) {
  stc::Image image;
  image.delay = data[kDelay];
  for (size_t i = 0; i < data[l.positions]; ++i) {
    const uint8_t transposition = data[l.positions + 1 + 2 * i];
    const uint8_t pattern = static_cast<uint8_t>(data[l.positions + 2 + 2 * i] / kPatternEntrySize);
    image.positions.emplace_back(pattern, static_cast<int8_t>(transposition));
  }
  for (size_t i = 0; i < data[l.samples]; ++i) {
    const uint8_t* sample = data + word_at(data, l.samples + 1 + 2 * i);
    stc::SampleBody body{};
    for (int line = 0; line < 32; ++line) {
      const uint8_t* bytes = sample + 2 + 4 * line;
      stc::set_line(&body, line, bytes[2] & 0x0F, !(bytes[2] & 0x10), !(bytes[2] & 0x80), bytes[3],
                    static_cast<int16_t>(bytes[0] | bytes[1] << 8));
    }
    if (sample[0] != 0) {
      body[96] = sample[0];
      body[97] = static_cast<uint8_t>(sample[1] - sample[0]);
    }
    image.samples.emplace_back(static_cast<uint8_t>(i), body);
  }
  for (size_t i = 0; i < data[l.ornaments]; ++i) {
    stc::OrnamentBody body{};
    std::memcpy(body.data(), data + word_at(data, l.ornaments + 1 + 2 * i), kOrnamentSize);
    image.ornaments.emplace_back(static_cast<uint8_t>(i), body);
  }
  for (int p = 0; p < l.pattern_count; ++p) {
    stc::Image::Pattern pattern;
    pattern.number = static_cast<uint8_t>(p);
    for (size_t c = 0; c < 3; ++c) {
      const size_t at = word_at(data, l.patterns + kPatternEntrySize * p + 2 * c);
      pattern.tracks[c].assign(data + at, data + track_end(data, size, at));
    }
    image.patterns.push_back(std::move(pattern));
  }
  return image;
}

bool detect(const uint8_t* data, size_t size) {
  Layout layout;
  return layout_of(data, size, &layout);
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  Layout layout;
  if (!layout_of(data, size, &layout)) {
    *error = "not a Sound Tracker (ST3) module";
    return false;
  }
  if (!stc::play(image_of(data, size, layout), song, error)) return false;
  song->program = "Sound Tracker";
  song->title.clear();
  // The stamp names no part: what follows it is the song's credit.
  const size_t prefix = sizeof kStamp - 1;
  if (layout.positions >= kHeaderSize + kStampSize && std::memcmp(data + kHeaderSize, kStamp, prefix) == 0)
    song->title = zx::field_text(data + kHeaderSize + prefix, kStampSize - prefix);
  return true;
}

}  // namespace

const Format kSt3Format = {"Sound Tracker (ST3)", detect, parse};

}  // namespace tools::ay
