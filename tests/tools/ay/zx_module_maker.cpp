#include "tests/tools/ay/zx_module_maker.h"

#include <algorithm>
#include <cstdlib>

namespace zx_test {
namespace {

void put_word(Bytes& out, size_t at, size_t value) {
  out[at] = static_cast<uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<uint8_t>(value >> 8 & 0xFF);
}

void append_word(Bytes& out, size_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8 & 0xFF));
}

void put_text(Bytes& out, size_t at, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) out[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

// Appends the pattern table and the tracks, each track's address written
// into the table as the tracks land after it. Tracks go last so that any
// cut of the file takes away bytes the player reads.
void append_patterns(Bytes& out, const std::vector<Tracks>& patterns, size_t entry_size, size_t pointer_offset,
                     const std::vector<int>& numbers = {}) {
  const size_t table = out.size();
  out.resize(table + entry_size * patterns.size());
  for (size_t p = 0; p < patterns.size(); ++p) {
    if (!numbers.empty()) out[table + entry_size * p] = static_cast<uint8_t>(numbers[p]);
    for (size_t c = 0; c < 3; ++c) {
      put_word(out, table + entry_size * p + pointer_offset + 2 * c, out.size());
      out.insert(out.end(), patterns[p][c].begin(), patterns[p][c].end());
    }
  }
}

void append_stc_line(Bytes& out, const StcLine& line) {
  const int size = std::abs(line.tone_offset);
  out.push_back(static_cast<uint8_t>((line.volume & 0x0F) | (size >> 8 & 0x0F) << 4));
  uint8_t masks = static_cast<uint8_t>(line.noise_period & 0x1F);
  if (line.tone_offset > 0) masks |= 0x20;
  if (!line.tone) masks |= 0x40;
  if (!line.noise) masks |= 0x80;
  out.push_back(masks);
  out.push_back(static_cast<uint8_t>(size & 0xFF));
}

Bytes pt3_sample(const Pt3Sample& sample) {
  Bytes out = {static_cast<uint8_t>(sample.loop), static_cast<uint8_t>(sample.lines.size())};
  for (const Pt3Line& line : sample.lines) {
    uint8_t flags = static_cast<uint8_t>((line.offset & 0x1F) << 1);
    if (!line.envelope) flags |= 0x01;
    if (line.amplitude_slide != 0) flags |= 0x80;
    if (line.amplitude_slide > 0) flags |= 0x40;
    uint8_t levels = static_cast<uint8_t>(line.amplitude & 0x0F);
    if (!line.tone) levels |= 0x10;
    if (line.accumulate_offset) levels |= 0x20;
    if (line.accumulate_tone) levels |= 0x40;
    if (!line.noise) levels |= 0x80;
    out.push_back(flags);
    out.push_back(levels);
    append_word(out, static_cast<uint16_t>(line.tone_offset));
  }
  return out;
}

Bytes ornament_bytes(const Pt3Ornament& ornament, bool length_first) {
  const uint8_t length = static_cast<uint8_t>(ornament.offsets.size());
  const uint8_t loop = static_cast<uint8_t>(ornament.loop);
  Bytes out = length_first ? Bytes{length, loop} : Bytes{loop, length};
  for (int8_t offset : ornament.offsets) out.push_back(static_cast<uint8_t>(offset));
  return out;
}

}  // namespace

Bytes make_pt3(const Pt3Module& module) {
  Bytes out(201, 0);
  put_text(out, 0, module.header, 14);
  if (module.header.rfind("Vortex", 0) == 0) {
    put_text(out, 0, "Vortex Tracker II 1.0 module: ", 30);
  } else {
    put_text(out, 14, " compilation of ", 16);
  }
  put_text(out, 30, module.title, 32);
  put_text(out, 62, " by ", 4);
  put_text(out, 66, module.author, 32);
  out[98] = module.second_chip_patterns;
  out[99] = static_cast<uint8_t>(module.note_table);
  out[100] = static_cast<uint8_t>(module.delay);
  out[101] = static_cast<uint8_t>(module.positions.size());
  out[102] = static_cast<uint8_t>(module.loop);
  for (int pattern : module.positions) out.push_back(static_cast<uint8_t>(pattern * 3));
  out.push_back(0xFF);

  // Sample 0 and unused numbers: one silent line; ornament 0 and unused
  // numbers: no offset.
  const size_t silent = out.size();
  Pt3Sample quiet;
  quiet.lines[0].amplitude = 0;
  const Bytes quiet_bytes = pt3_sample(quiet);
  out.insert(out.end(), quiet_bytes.begin(), quiet_bytes.end());
  for (size_t i = 0; i < 32; ++i) put_word(out, 105 + 2 * i, silent);
  for (size_t i = 0; i < module.samples.size() && i < 31; ++i) {
    put_word(out, 105 + 2 * (i + 1), out.size());
    const Bytes bytes = pt3_sample(module.samples[i]);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  const size_t plain = out.size();
  const Bytes plain_bytes = ornament_bytes(Pt3Ornament{}, false);
  out.insert(out.end(), plain_bytes.begin(), plain_bytes.end());
  for (size_t i = 0; i < 16; ++i) put_word(out, 169 + 2 * i, plain);
  for (size_t i = 0; i < module.ornaments.size() && i < 16; ++i) {
    put_word(out, 169 + 2 * i, out.size());
    const Bytes bytes = ornament_bytes(module.ornaments[i], false);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  put_word(out, 103, out.size());
  append_patterns(out, module.patterns, 6, 0);
  return out;
}

Bytes make_turbo_sound(const Bytes& first, const Bytes& second) {
  Bytes out = first;
  out.insert(out.end(), second.begin(), second.end());
  const char* tag = "PT3!";
  out.insert(out.end(), tag, tag + 4);
  append_word(out, first.size());
  out.insert(out.end(), tag, tag + 4);
  append_word(out, second.size());
  const char* end = "02TS";
  out.insert(out.end(), end, end + 4);
  return out;
}

Bytes make_pt2(const Pt2Module& module) {
  Bytes out(131, 0);
  out[0] = static_cast<uint8_t>(module.delay);
  out[1] = static_cast<uint8_t>(module.positions.size());
  out[2] = static_cast<uint8_t>(module.loop);
  put_text(out, 101, module.name, 30);
  for (int pattern : module.positions) out.push_back(static_cast<uint8_t>(pattern));
  out.push_back(0xFF);

  const size_t silent = out.size();
  out.insert(out.end(), {1, 0, 0x03, 0x00, 0x00});  // one line: tone and noise off, volume 0
  for (size_t i = 0; i < 32; ++i) put_word(out, 3 + 2 * i, silent);
  for (size_t i = 0; i < module.samples.size() && i < 31; ++i) {
    put_word(out, 3 + 2 * (i + 1), out.size());
    const Pt2Sample& sample = module.samples[i];
    out.push_back(static_cast<uint8_t>(sample.lines.size()));
    out.push_back(static_cast<uint8_t>(sample.loop));
    for (const Pt2Line& line : sample.lines) {
      const int size = std::abs(line.tone_offset);
      uint8_t masks = static_cast<uint8_t>((line.noise_period & 0x1F) << 3);
      if (line.tone_offset >= 0) masks |= 0x04;
      if (!line.tone) masks |= 0x02;
      if (!line.noise) masks |= 0x01;
      out.push_back(masks);
      out.push_back(static_cast<uint8_t>((line.volume & 0x0F) << 4 | (size >> 8 & 0x0F)));
      out.push_back(static_cast<uint8_t>(size & 0xFF));
    }
  }
  const size_t plain = out.size();
  out.insert(out.end(), {1, 0, 0});
  for (size_t i = 0; i < 16; ++i) put_word(out, 67 + 2 * i, plain);
  for (size_t i = 0; i < module.ornaments.size() && i < 16; ++i) {
    put_word(out, 67 + 2 * i, out.size());
    const Bytes bytes = ornament_bytes(module.ornaments[i], true);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  put_word(out, 99, out.size());
  append_patterns(out, module.patterns, 6, 0);
  return out;
}

Bytes make_stc(const StcModule& module) {
  Bytes out(27, 0);
  out[0] = static_cast<uint8_t>(module.delay);
  put_text(out, 7, module.identifier, 18);
  for (const StcSample& sample : module.samples) {
    out.push_back(static_cast<uint8_t>(sample.number));
    for (const StcLine& line : sample.lines) append_stc_line(out, line);
    out.push_back(static_cast<uint8_t>(sample.repeat));
    out.push_back(static_cast<uint8_t>(sample.repeat_length));
  }
  put_word(out, 1, out.size());
  out.push_back(static_cast<uint8_t>(module.positions.size() - 1));
  for (const auto& [pattern, transposition] : module.positions) {
    out.push_back(static_cast<uint8_t>(pattern));
    out.push_back(static_cast<uint8_t>(static_cast<int8_t>(transposition)));
  }
  put_word(out, 3, out.size());
  for (const StcOrnament& ornament : module.ornaments) {
    out.push_back(static_cast<uint8_t>(ornament.number));
    for (int8_t offset : ornament.offsets) out.push_back(static_cast<uint8_t>(offset));
  }
  put_word(out, 5, out.size());
  std::vector<Tracks> tracks;
  std::vector<int> numbers;
  for (const StcPattern& pattern : module.patterns) {
    tracks.push_back(pattern.tracks);
    numbers.push_back(pattern.number);
  }
  // The table's end marker sits between the table and the tracks.
  const size_t table = out.size();
  out.resize(table + 7 * tracks.size() + 1);
  out[table + 7 * tracks.size()] = 0xFF;
  for (size_t p = 0; p < tracks.size(); ++p) {
    out[table + 7 * p] = static_cast<uint8_t>(numbers[p]);
    for (size_t c = 0; c < 3; ++c) {
      put_word(out, table + 7 * p + 1 + 2 * c, out.size());
      out.insert(out.end(), tracks[p][c].begin(), tracks[p][c].end());
    }
  }
  put_word(out, 25, out.size());
  return out;
}

Bytes make_pt1(const Pt1Module& module) {
  Bytes out(99, 0);
  out[0] = static_cast<uint8_t>(module.delay);
  out[1] = static_cast<uint8_t>(module.positions.size());
  out[2] = static_cast<uint8_t>(module.loop);
  put_text(out, 69, module.name, 30);
  for (int pattern : module.positions) out.push_back(static_cast<uint8_t>(pattern));
  out.push_back(0xFF);
  size_t longest = 1;
  for (size_t i = 0; i < module.samples.size() && i < 15; ++i) {
    put_word(out, 3 + 2 * (i + 1), out.size());
    const Pt1Sample& sample = module.samples[i];
    longest = std::max(longest, sample.lines.size());
    out.push_back(static_cast<uint8_t>(sample.lines.size()));
    out.push_back(static_cast<uint8_t>(sample.loop));
    for (const StcLine& line : sample.lines) append_stc_line(out, line);
  }
  std::vector<std::vector<int8_t>> ornaments = module.ornaments;
  if (ornaments.empty()) ornaments.emplace_back();
  for (size_t i = 0; i < ornaments.size() && i < 16; ++i) {
    put_word(out, 35 + 2 * i, out.size());
    for (size_t line = 0; line < longest; ++line)
      out.push_back(static_cast<uint8_t>(line < ornaments[i].size() ? ornaments[i][line] : 0));
  }
  put_word(out, 67, out.size());
  append_patterns(out, module.patterns, 6, 0);
  return out;
}

uint16_t tone(const tools::ay::ChipFrame& chip, int channel) {
  return static_cast<uint16_t>(chip.regs[2 * channel] | (chip.regs[2 * channel + 1] & 0x0F) << 8);
}

uint16_t envelope_period(const tools::ay::ChipFrame& chip) {
  return static_cast<uint16_t>(chip.regs[11] | chip.regs[12] << 8);
}

std::vector<uint16_t> tones(const tools::ay::AySong& song, int channel) {
  std::vector<uint16_t> out;
  for (const tools::ay::Frame& frame : song.frames) out.push_back(tone(frame[0], channel));
  return out;
}

std::vector<int> levels(const tools::ay::AySong& song, int channel) {
  std::vector<int> out;
  for (const tools::ay::Frame& frame : song.frames) out.push_back(frame[0].regs[8 + channel]);
  return out;
}

}  // namespace zx_test
