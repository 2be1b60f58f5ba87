#include "tools/renderer/ay/st1_player.h"

#include <cstring>
#include <set>

#include "tools/renderer/ay/stc_image.h"

namespace tools::ay {
namespace {

// The editor's memory, from its start.
constexpr size_t kSamples = 0;  // 15 samples of 130 bytes, numbers 1..15
constexpr size_t kSampleSize = 130;
constexpr size_t kSampleCount = 15;
constexpr size_t kPositions = 1950;  // 256 (pattern, transposition) pairs
constexpr size_t kLength = 2462;     // positions less one
constexpr size_t kOrnaments = 2463;  // 32 offsets each, numbers 0..15 (and a spare)
constexpr size_t kOrnamentCount = 16;
constexpr size_t kDelay = 3007;
constexpr size_t kPatternLength = 3008;  // rows, up to 64
constexpr size_t kPatterns = 3009;       // patterns 1.. of 64 rows of 3 cells of 3 bytes
constexpr size_t kPatternSize = 576;

// A sample: 32 volumes, 32 noise bytes (bit 7 noise off, bit 6 tone off,
// the period below), 32 offsets of two bytes (low byte, then the high
// nibble with bit 4 for the sign), the repeat's first line and length.
constexpr size_t kNoise = 32, kOffsets = 64, kRepeat = 128, kRepeatLength = 129;

struct Module {
  const uint8_t* data;
  size_t size;
  size_t held;  // whole patterns in the file
};

// The editor saves as many patterns as the song uses different ones, so a
// song that skips a number ends before its highest pattern (one real song
// plays pattern 9 with 8 held); such a pattern is the editor's empty one.
bool module_of(const uint8_t* data, size_t size, Module* module) {
  if (size < kPatterns + kPatternSize || (size - kPatterns) % kPatternSize != 0) return false;
  if (data[kDelay] == 0 || data[kPatternLength] == 0 || data[kPatternLength] > 64) return false;
  for (size_t s = 0; s < kSampleCount; ++s) {
    const uint8_t* sample = data + kSamples + s * kSampleSize;
    for (size_t i = 0; i < 32; ++i) {
      if (sample[i] > 15 || sample[kNoise + i] & 0x20 || sample[kOffsets + 2 * i + 1] > 0x1F) return false;
    }
    if (sample[kRepeat] > 32 || sample[kRepeatLength] > 32) return false;
  }
  const size_t held = (size - kPatterns) / kPatternSize;
  std::set<int> used;
  for (size_t i = 0; i <= data[kLength]; ++i) {
    const uint8_t pattern = data[kPositions + 2 * i];
    if (pattern == 0) return false;
    used.insert(pattern);
  }
  if (used.size() > held) return false;
  // Every cell of the held patterns is a note, a rest or empty.
  for (size_t at = kPatterns; at < size; at += 3) {
    if (data[at] == 0 && (data[at + 1] != 0 || data[at + 2] != 0)) return false;
  }
  *module = Module{data, size, held};
  return true;
}

// An AY file's header: big-endian words, pointers signed and relative to
// where they stand.
size_t relative(const uint8_t* data, size_t size, size_t at) {
  if (at + 2 > size) return 0;
  const int16_t offset = static_cast<int16_t>(data[at] << 8 | data[at + 1]);
  if (offset == 0) return 0;
  const long target = static_cast<long>(at) + offset;
  return target > 0 && static_cast<size_t>(target) < size ? static_cast<size_t>(target) : 0;
}

std::string text_at(const uint8_t* data, size_t size, size_t at) {
  if (at == 0) return {};
  const void* end = std::memchr(data + at, 0, size - at);
  if (end == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(data) + at, static_cast<const uint8_t*>(end) - (data + at));
}

struct Found {
  Module module;
  std::string title, author;
};

// The song of an AY file of type ST11 begins with the channel order, its
// length and its fade (eight bytes) before the editor's memory.
constexpr size_t kAySongPrefix = 8;

bool find(const uint8_t* data, size_t size, Found* found) {
  if (size >= 20 && std::memcmp(data, "ZXAYST11", 8) == 0) {
    const size_t songs = relative(data, size, 18);
    if (songs == 0) return false;
    const size_t song_data = relative(data, size, songs + 2);
    if (song_data == 0 || song_data + kAySongPrefix > size) return false;
    const size_t start = song_data + kAySongPrefix;
    if (!module_of(data + start, size - start, &found->module)) return false;
    found->title = text_at(data, size, relative(data, size, songs));
    found->author = text_at(data, size, relative(data, size, 12));
    return true;
  }
  return module_of(data, size, &found->module);
}

// Bits 4-6 of a cell's first byte name the note from A up (A, B flat, B,
// C, D, E, F, G), bit 3 sharpens it, bits 0-2 are the octave from C.
int note_of(uint8_t cell) {
  static const int kFromA[8] = {0, 1, 2, 3, 5, 7, 8, 10};
  const int from_a = kFromA[cell >> 4 & 7] + (cell >> 3 & 1);
  return 12 * (cell & 7) + (from_a + 9) % 12;
}

std::vector<uint8_t> track_of(const Module& module, int pattern, int channel) {
  std::vector<uint8_t> track;
  const size_t rows = module.data[kPatternLength];
  const bool held = pattern >= 1 && static_cast<size_t>(pattern) <= module.held;
  for (size_t row = 0; row < rows; ++row) {
    if (!held) {
      track.push_back(0x81);
      continue;
    }
    const uint8_t* cell = module.data + kPatterns + (pattern - 1) * kPatternSize + 9 * row + 3 * channel;
    const int sample = cell[1] >> 4, effect = cell[1] & 0x0F;
    if (sample != 0) track.push_back(static_cast<uint8_t>(0x60 + sample));
    if (effect == 15) {
      track.push_back(static_cast<uint8_t>(0x70 + (cell[2] & 0x0F)));
    } else if (effect >= 2) {
      track.push_back(static_cast<uint8_t>(0x80 + effect));  // envelope shape, then its period
      track.push_back(cell[2]);
    }
    if (cell[0] & 0x80) {
      track.push_back(0x80);
    } else if (cell[0] != 0) {
      track.push_back(static_cast<uint8_t>(note_of(cell[0])));
    } else {
      track.push_back(0x81);
    }
  }
  track.push_back(0xFF);
  return track;
}

stc::Image image_of(const Module& module) {
  const uint8_t* data = module.data;
  stc::Image image;
  image.delay = data[kDelay];
  for (size_t s = 0; s < kSampleCount; ++s) {
    const uint8_t* sample = data + kSamples + s * kSampleSize;
    stc::SampleBody body{};
    for (int i = 0; i < 32; ++i) {
      const uint8_t noise = sample[kNoise + i];
      const uint8_t high = sample[kOffsets + 2 * i + 1];
      const int size = (high & 0x0F) << 8 | sample[kOffsets + 2 * i];
      stc::set_line(&body, i, sample[i], !(noise & 0x40), !(noise & 0x80), noise & 0x1F,
                    (high & 0x10) ? size : -size);
    }
    body[96] = sample[kRepeat];
    body[97] = sample[kRepeatLength];
    image.samples.emplace_back(static_cast<uint8_t>(s + 1), body);
  }
  for (size_t o = 0; o < kOrnamentCount; ++o) {
    stc::OrnamentBody body{};
    std::memcpy(body.data(), data + kOrnaments + 32 * o, 32);
    image.ornaments.emplace_back(static_cast<uint8_t>(o), body);
  }
  std::set<int> patterns;
  for (size_t i = 0; i <= data[kLength]; ++i) {
    const uint8_t pattern = data[kPositions + 2 * i];
    image.positions.emplace_back(pattern, static_cast<int8_t>(data[kPositions + 2 * i + 1]));
    patterns.insert(pattern);
  }
  for (int pattern : patterns) {
    stc::Image::Pattern made;
    made.number = static_cast<uint8_t>(pattern);
    for (int c = 0; c < 3; ++c) made.tracks[c] = track_of(module, pattern, c);
    image.patterns.push_back(std::move(made));
  }
  return image;
}

bool detect(const uint8_t* data, size_t size) {
  Found found;
  return find(data, size, &found);
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  Found found;
  if (!find(data, size, &found)) {
    *error = "not a Sound Tracker song";
    return false;
  }
  if (!stc::play(image_of(found.module), song, error)) return false;
  song->program = "Sound Tracker";
  song->title = found.title;
  song->author = found.author;
  return true;
}

}  // namespace

const Format kSt1Format = {"Sound Tracker song", detect, parse};

}  // namespace tools::ay
