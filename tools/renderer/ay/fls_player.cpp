#include "tools/renderer/ay/fls_player.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "tools/renderer/ay/stc_image.h"
#include "tools/renderer/ay/zx_tracker.h"

namespace tools::ay {
namespace {

// The header: the addresses of the position list, the ornament list and the
// sample list; pattern n's three track addresses then stand at 6n (patterns
// count from 1), up to the ornament list.
constexpr size_t kPositionsPointer = 0;
constexpr size_t kOrnamentsPointer = 2;
constexpr size_t kSamplesPointer = 4;
constexpr size_t kPatternEntrySize = 6;
// The ornament list holds addresses of ornaments 1.. (ornament 0 shifts
// nothing and is not stored); the sample list, for samples 0.., the
// repeat's first line (from 1; 0 for none), its length less one and the
// address of the 32 lines.
constexpr size_t kMaxOrnaments = 15;
constexpr size_t kMaxSamples = 16;
constexpr size_t kSampleEntrySize = 4;
constexpr size_t kSampleLinesSize = 96;
constexpr size_t kOrnamentSize = 32;
// The position list: the delay, then pattern numbers (a byte each, from 1)
// up to a 0.
constexpr int kMaxPatterns = 255;
constexpr size_t kMaxPositions = 256;
// The file does not say where it was loaded; the module must lie in the
// Spectrum's RAM.
constexpr size_t kRamStart = 0x4000;
constexpr size_t kAddressSpace = 0x10000;

using zx::word_at;

// What a track that started at a byte of the file would be: where it ends
// (just past its 0xFF; 0 when it runs off the file or holds a command Sound
// Tracker does not write), and the highest sample and ornament it names,
// plus one.
struct TrackScan {
  uint32_t end = 0;
  uint8_t samples = 0, ornaments = 0;
};

// A track is its first command and the track that follows it, so one pass
// from the file's end scans a track from every byte at once: the base
// search tries many bases over the same bytes.
std::vector<TrackScan> scan_tracks(const uint8_t* data, size_t size) {
  std::vector<TrackScan> scans(size + 2);  // the two past the end run off it
  for (size_t at = size; at-- > 0;) {
    const uint8_t command = data[at];
    TrackScan& scan = scans[at];
    if (command == 0xFF) {
      scan.end = static_cast<uint32_t>(at + 1);
      continue;
    }
    if (command >= 0x8F && command <= 0xA0) continue;
    // Envelope commands carry a period byte, which may be 0xFF.
    scan = scans[command >= 0x82 && command <= 0x8E ? at + 2 : at + 1];
    if (command >= 0x60 && command <= 0x6F) {
      scan.samples = std::max<uint8_t>(scan.samples, command - 0x60 + 1);
    } else if (command >= 0x70 && command <= 0x7F) {
      scan.ornaments = std::max<uint8_t>(scan.ornaments, command - 0x70 + 1);
    }
  }
  return scans;
}

struct Module {
  size_t base = 0;       // the load address
  size_t positions = 0;  // offsets into the file
  size_t position_count = 0;
  size_t ornaments = 0, ornament_count = 0;
  size_t samples = 0, sample_count = 0;
  int patterns = 0;
  std::vector<TrackScan> scans;
};

// Whether the file, loaded at `base` with `patterns` patterns, is a module
// whose every address lands past the lists, inside the file, on parts
// that fit.
bool fits_at(const uint8_t* data, size_t size, size_t base, int patterns, Module* m) {
  m->base = base;
  m->patterns = patterns;
  m->positions = word_at(data, kPositionsPointer) - base;
  m->ornaments = word_at(data, kOrnamentsPointer) - base;
  m->samples = word_at(data, kSamplesPointer) - base;
  if (m->positions + 1 >= size || data[m->positions] == 0) return false;
  size_t at = m->positions + 1;
  for (; at < size && data[at] != 0; ++at) {
    if (data[at] > patterns || at - m->positions > kMaxPositions) return false;
  }
  m->position_count = at - m->positions - 1;
  if (at >= size || m->position_count == 0) return false;
  const size_t parts = base + at + 1;  // the lowest address a part may have
  auto holds = [&](size_t address, size_t length) {
    return address >= parts && address - base <= size && length <= size - (address - base);
  };
  for (size_t i = 0; i < m->ornament_count; ++i) {
    if (!holds(word_at(data, m->ornaments + 2 * i), kOrnamentSize)) return false;
  }
  for (size_t i = 0; i < m->sample_count; ++i) {
    const uint8_t* entry = data + m->samples + kSampleEntrySize * i;
    if (entry[0] > 32 || (entry[0] != 0 && entry[0] + entry[1] > 32)) return false;
    if (!holds(word_at(entry, 2), kSampleLinesSize)) return false;
  }
  if (m->scans.empty()) m->scans = scan_tracks(data, size);
  for (size_t entry = kPatternEntrySize; entry < m->ornaments; entry += 2) {
    const size_t address = word_at(data, entry);
    if (!holds(address, 1)) return false;
    const TrackScan& scan = m->scans[address - base];
    if (scan.end == 0 || scan.samples > m->sample_count || scan.ornaments > m->ornament_count + 1) return false;
  }
  return true;
}

// The pattern table ends where the ornament list starts, so each count of
// patterns puts the module at one base; the first count at which every
// address lands consistently gives it.
bool find_module(const uint8_t* data, size_t size, Module* m) {
  if (size < 2 * kPatternEntrySize || size > kAddressSpace - kRamStart) return false;
  const size_t positions = word_at(data, kPositionsPointer);
  const size_t ornaments = word_at(data, kOrnamentsPointer);
  const size_t samples = word_at(data, kSamplesPointer);
  // The lists follow each other in this order, each filling its space.
  if (ornaments > samples || samples >= positions) return false;
  if ((samples - ornaments) % 2 != 0 || (positions - samples) % kSampleEntrySize != 0) return false;
  m->ornament_count = (samples - ornaments) / 2;
  m->sample_count = (positions - samples) / kSampleEntrySize;
  if (m->ornament_count > kMaxOrnaments || m->sample_count > kMaxSamples) return false;
  for (int patterns = 1; patterns <= kMaxPatterns; ++patterns) {
    const size_t table_end = kPatternEntrySize * (patterns + 1);
    if (ornaments < kRamStart + table_end) break;
    const size_t base = ornaments - table_end;
    if (base + size > kAddressSpace) continue;
    if (positions - base >= size) break;  // only further off at lower bases
    if (fits_at(data, size, base, patterns, m)) return true;
  }
  return false;
}

stc::Image image_of(const uint8_t* data, const Module& m) {
  stc::Image image;
  image.delay = data[m.positions];
  for (size_t i = 0; i < m.position_count; ++i) image.positions.emplace_back(data[m.positions + 1 + i], 0);
  for (size_t i = 0; i < m.sample_count; ++i) {
    const uint8_t* entry = data + m.samples + kSampleEntrySize * i;
    stc::SampleBody body{};
    std::memcpy(body.data(), data + word_at(entry, 2) - m.base, kSampleLinesSize);
    body[kSampleLinesSize] = entry[0];
    body[kSampleLinesSize + 1] = entry[1];
    image.samples.emplace_back(static_cast<uint8_t>(i), body);
  }
  image.ornaments.emplace_back(0, stc::OrnamentBody{});
  for (size_t i = 0; i < m.ornament_count; ++i) {
    stc::OrnamentBody body{};
    std::memcpy(body.data(), data + word_at(data, m.ornaments + 2 * i) - m.base, kOrnamentSize);
    image.ornaments.emplace_back(static_cast<uint8_t>(i + 1), body);
  }
  for (int p = 1; p <= m.patterns; ++p) {
    stc::Image::Pattern pattern;
    pattern.number = static_cast<uint8_t>(p);
    for (size_t c = 0; c < 3; ++c) {
      const size_t at = word_at(data, kPatternEntrySize * p + 2 * c) - m.base;
      pattern.tracks[c].assign(data + at, data + m.scans[at].end);
    }
    image.patterns.push_back(std::move(pattern));
  }
  return image;
}

bool detect(const uint8_t* data, size_t size) {
  Module module;
  return find_module(data, size, &module);
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  Module module;
  if (!find_module(data, size, &module)) {
    *error = "not a Flash Tracker module";
    return false;
  }
  if (!stc::play(image_of(data, module), song, error)) return false;
  song->program = "Flash Tracker";
  song->title.clear();
  return true;
}

}  // namespace

const Format kFlsFormat = {"Flash Tracker", detect, parse};

}  // namespace tools::ay
