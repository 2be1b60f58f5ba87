#include "tools/renderer/ay/vortex_pt3.h"

#include <algorithm>
#include <cstring>

#include "tools/renderer/ay/pt3_chip.h"

namespace tools::ay::vortex {
namespace {

// Track bytes of a Pro Tracker 3 module.
constexpr uint8_t kEndOfTrack = 0x00;
constexpr uint8_t kShapeWithSample = 0x10;  // + shape, period, sample × 2
constexpr uint8_t kNoise = 0x20;            // + period, read from channel B's track
constexpr uint8_t kOrnament = 0x40;         // + number
constexpr uint8_t kNote = 0x50;             // + note
constexpr uint8_t kEnvelopeOff = 0xB0;
constexpr uint8_t kSkip = 0xB1;             // rows a line lasts, then the count
constexpr uint8_t kShape = 0xB1;            // + shape, period
constexpr uint8_t kNoteOff = 0xC0;
constexpr uint8_t kVolume = 0xC0;           // + volume
constexpr uint8_t kEmptyRow = 0xD0;
constexpr uint8_t kSample = 0xD0;           // + number
constexpr uint8_t kOrnamentEnvelopeOff = 0xF0;  // + ornament, sample × 2

// Effect numbers and the parameters they read after the row.
constexpr uint8_t kGlissando = 1, kPortamento = 2, kSampleOffset = 3, kOrnamentOffset = 4, kVibrato = 5,
                  kEnvelopeSlide = 8, kSpeed = 9;

constexpr size_t kMaxSize = 0x10000;

using Bytes = std::vector<uint8_t>;

void put_word(Bytes& out, int value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void set_word(Bytes& out, size_t at, size_t value) {
  out[at] = static_cast<uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

bool cell_empty(const Cell& cell) {
  return cell.note == kNoNote && cell.sample == 0 && cell.envelope == 0 && cell.ornament < 0 && cell.volume == 0 &&
         cell.command == 0;
}

// The effect a command becomes, with its parameters; false for a command
// that does nothing (0, 7, 8, C..F, or a speed of 0).
bool effect_of(const Cell& cell, uint8_t* effect, Bytes* parameters) {
  const int p = cell.parameter;
  const auto delay = static_cast<uint8_t>(cell.delay);
  switch (cell.command) {
    case 1:  // the tone slides down: its period grows
    case 2:
      *effect = kGlissando;
      parameters->push_back(delay);
      put_word(*parameters, cell.command == 1 ? p : -p);
      return true;
    case 3:
      // Two bytes the player reads past, then the step; the direction
      // comes from where the notes lie.
      *effect = kPortamento;
      *parameters = {delay, 0, 0};
      put_word(*parameters, p);
      return true;
    case 4:
      *effect = kSampleOffset;
      parameters->push_back(static_cast<uint8_t>(p));
      return true;
    case 5:
      *effect = kOrnamentOffset;
      parameters->push_back(static_cast<uint8_t>(p));
      return true;
    case 6:  // frames on, frames off
      *effect = kVibrato;
      *parameters = {static_cast<uint8_t>(p >> 4), static_cast<uint8_t>(p & 15)};
      return true;
    case 9:  // the envelope's period grows
    case 0xA:
      *effect = kEnvelopeSlide;
      parameters->push_back(delay);
      put_word(*parameters, cell.command == 9 ? p : -p);
      return true;
    case 0xB:
      if (p == 0) return false;
      *effect = kSpeed;
      parameters->push_back(static_cast<uint8_t>(p));
      return true;
    default:
      return false;
  }
}

// One channel's part of one row, lasting `rows` rows (1..255). `skip` is
// the row count the track last set, -1 at the track's start.
void put_cell(Bytes& out, const Row& row, int channel, int rows, int* skip) {
  const Cell& cell = row.cells[channel];
  if (channel == 1 && row.noise != 0) out.push_back(static_cast<uint8_t>(kNoise + row.noise));
  // A row that sets the envelope, or turns it off, also sets the
  // ornament: 0 unless the row names another.
  const int ornament = cell.ornament >= 0 ? cell.ornament : 0;
  const auto sample_byte = static_cast<uint8_t>(2 * cell.sample);
  if (cell.envelope >= 1 && cell.envelope <= 14) {
    // The envelope period is the format's one big-endian word.
    const uint8_t high = static_cast<uint8_t>(row.envelope_period >> 8);
    const uint8_t low = static_cast<uint8_t>(row.envelope_period & 0xFF);
    if (cell.sample != 0) {
      out.insert(out.end(), {static_cast<uint8_t>(kShapeWithSample + cell.envelope), high, low, sample_byte});
    } else {
      out.insert(out.end(), {static_cast<uint8_t>(kShape + cell.envelope), high, low});
    }
    out.push_back(static_cast<uint8_t>(kOrnament + ornament));
  } else if (cell.envelope == 15) {
    if (cell.sample != 0) {
      out.insert(out.end(), {static_cast<uint8_t>(kOrnamentEnvelopeOff + ornament), sample_byte});
    } else {
      out.insert(out.end(), {kEnvelopeOff, static_cast<uint8_t>(kOrnament + ornament)});
    }
  } else {
    if (cell.ornament >= 0) out.push_back(static_cast<uint8_t>(kOrnament + cell.ornament));
    if (cell.sample != 0) out.push_back(static_cast<uint8_t>(kSample + cell.sample));
  }
  if (cell.volume != 0) out.push_back(static_cast<uint8_t>(kVolume + cell.volume));
  uint8_t effect = 0;
  Bytes parameters;
  const bool has_effect = effect_of(cell, &effect, &parameters);
  if (has_effect) out.push_back(effect);
  if (rows != *skip) {
    out.insert(out.end(), {kSkip, static_cast<uint8_t>(rows)});
    *skip = rows;
  }
  if (cell.note == kRest) {
    out.push_back(kNoteOff);
  } else if (cell.note >= 0) {
    out.push_back(static_cast<uint8_t>(kNote + cell.note));
  } else {
    out.push_back(kEmptyRow);
  }
  out.insert(out.end(), parameters.begin(), parameters.end());
}

// A track: each row that holds something lasts until the next such row.
void put_track(Bytes& out, const Pattern& pattern, int channel) {
  const auto holds = [&](const Row& row) {
    return !cell_empty(row.cells[channel]) || (channel == 1 && row.noise != 0);
  };
  const int count = static_cast<int>(pattern.rows.size());
  int skip = -1;
  for (int row = 0; row < count;) {
    int next = row + 1;
    while (next < count && !holds(pattern.rows[next])) ++next;
    const int rows = std::min(next - row, 255);
    put_cell(out, pattern.rows[row], channel, rows, &skip);
    row += rows;
  }
  out.push_back(kEndOfTrack);
}

void put_sample(Bytes& out, const Sample& sample) {
  out.push_back(static_cast<uint8_t>(sample.loop));
  out.push_back(static_cast<uint8_t>(sample.lines.size()));
  for (const SampleLine& line : sample.lines) {
    uint8_t flags = static_cast<uint8_t>((line.noise_shift & 0x1F) << 1);
    if (!line.envelope) flags |= 0x01;
    if (line.amplitude_slide != 0) flags |= 0x80;
    if (line.amplitude_slide > 0) flags |= 0x40;
    uint8_t levels = static_cast<uint8_t>(line.amplitude & 0x0F);
    if (!line.noise) levels |= 0x80;
    if (line.accumulate_tone) levels |= 0x40;
    if (line.accumulate_noise) levels |= 0x20;
    if (!line.tone) levels |= 0x10;
    out.push_back(flags);
    out.push_back(levels);
    put_word(out, line.tone_shift);
  }
}

void put_ornament(Bytes& out, const Ornament& ornament) {
  out.push_back(static_cast<uint8_t>(ornament.loop));
  out.push_back(static_cast<uint8_t>(ornament.shifts.size()));
  for (int shift : ornament.shifts) out.push_back(static_cast<uint8_t>(shift));
}

// `text` in a field of `size` bytes, padded with spaces.
void put_field(Bytes& out, size_t at, const std::string& text, size_t size) {
  std::memset(out.data() + at, ' ', size);
  std::memcpy(out.data() + at, text.data(), std::min(size, text.size()));
}

}  // namespace

bool compile_pt3(const Module& module, std::vector<uint8_t>* bytes, std::string* error) {
  Bytes& out = *bytes;
  out.assign(pt3::kPositions, 0);
  const std::string header = "ProTracker 3." + std::to_string(module.version) + " compilation of ";
  put_field(out, 0, header, pt3::kTitle);
  put_field(out, pt3::kTitle, module.title, 32);
  put_field(out, pt3::kTitle + 32, " by ", 4);
  put_field(out, pt3::kAuthor, module.author, 32);
  out[pt3::kSecondChipPatterns] = ' ';
  out[pt3::kNoteTable] = static_cast<uint8_t>(module.note_table);
  out[pt3::kDelay] = static_cast<uint8_t>(module.speed);
  out[pt3::kDelay + 1] = static_cast<uint8_t>(module.positions.size());
  out[pt3::kLoopPosition] = static_cast<uint8_t>(module.loop_position);
  for (int pattern : module.positions) out.push_back(static_cast<uint8_t>(3 * pattern));
  out.push_back(pt3::kEndOfPositions);

  // The patterns up to the highest one the order plays; those it skips
  // point at an empty track.
  const int patterns = *std::max_element(module.positions.begin(), module.positions.end()) + 1;
  const size_t empty_track = out.size();
  out.push_back(kEndOfTrack);
  const size_t table = out.size();
  set_word(out, pt3::kPatternTable, table);
  out.resize(table + 6 * static_cast<size_t>(patterns), 0);
  for (int number = 0; number < patterns; ++number) {
    const Pattern& pattern = module.patterns[number];
    for (int channel = 0; channel < 3; ++channel) {
      const size_t entry = table + 6 * static_cast<size_t>(number) + 2 * static_cast<size_t>(channel);
      if (!pattern.defined) {
        set_word(out, entry, empty_track);
        continue;
      }
      set_word(out, entry, out.size());
      put_track(out, pattern, channel);
    }
  }

  // A sample or ornament the text leaves out is a silent line and no shift.
  Sample silent;
  silent.lines.resize(1);
  Ornament none;
  none.shifts = {0};
  for (int number = 0; number < kSamples; ++number) {
    set_word(out, pt3::kSamples + 2 * static_cast<size_t>(number), out.size());
    put_sample(out, module.samples[number].defined ? module.samples[number] : silent);
  }
  for (int number = 0; number < kOrnaments; ++number) {
    set_word(out, pt3::kOrnaments + 2 * static_cast<size_t>(number), out.size());
    put_ornament(out, module.ornaments[number].defined ? module.ornaments[number] : none);
  }
  if (out.size() > kMaxSize) {
    *error = "the module needs " + std::to_string(out.size()) + " bytes, more than Pro Tracker 3's 64 KB";
    return false;
  }
  return true;
}

}  // namespace tools::ay::vortex
