#include "tests/tools/ay/tracker_module_maker.h"

#include <algorithm>
#include <cstdlib>

namespace tracker_test {
namespace {

void put_word(Bytes* out, size_t at, size_t value) {
  (*out)[at] = static_cast<uint8_t>(value & 0xFF);
  (*out)[at + 1] = static_cast<uint8_t>(value >> 8 & 0xFF);
}
void append_word(Bytes* out, size_t value) {
  out->push_back(static_cast<uint8_t>(value & 0xFF));
  out->push_back(static_cast<uint8_t>(value >> 8 & 0xFF));
}
void append_text(Bytes* out, const std::string& text, size_t size) {
  for (size_t i = 0; i < size; ++i) out->push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : ' ');
}
int max_pattern(const std::vector<int>& positions) {
  int top = 0;
  for (int p : positions) top = std::max(top, p);
  return top;
}

// The volume slide and envelope bits both formats of the ASM family keep in
// bits 1-2 of their sample flags.
int asm_mode(bool envelope, int slide) { return envelope ? 1 : slide < 0 ? 2 : slide > 0 ? 3 : 0; }

}  // namespace

Bytes make_asc(const AscModule& m) {
  Bytes out;
  out.push_back(static_cast<uint8_t>(m.delay));
  if (m.version != 0) out.push_back(static_cast<uint8_t>(m.loop));
  size_t pointers = out.size();
  out.resize(out.size() + 6);
  out.push_back(static_cast<uint8_t>(m.positions.size()));
  for (int p : m.positions) out.push_back(static_cast<uint8_t>(p));
  if (m.text) {
    append_text(&out, "ASM COMPILATION OF ", 19);
    append_text(&out, m.title, 20);
    append_text(&out, " BY ", 4);
    append_text(&out, m.author, 20);
  }
  size_t patterns = out.size();
  int count = m.positions.empty() ? 1 : max_pattern(m.positions) + 1;
  out.resize(out.size() + 6 * count);
  for (int p = 0; p < count; ++p)
    for (int c = 0; c < 3; ++c) {
      put_word(&out, patterns + 6 * p + 2 * c, out.size() - patterns);
      static const Bytes kSilent = {0x9F, 0x5D, 0xFF};
      const Bytes& track = p < static_cast<int>(m.patterns.size()) ? m.patterns[p][c] : kSilent;
      out.insert(out.end(), track.begin(), track.end());
    }
  size_t samples = out.size();
  out.resize(out.size() + 64);
  for (int s = 0; s < 32; ++s) {
    put_word(&out, samples + 2 * s, out.size() - samples);
    AscSample sample;
    if (s < static_cast<int>(m.samples.size()))
      sample = m.samples[s];
    else
      sample.lines = {AscLine{0}};
    for (size_t i = 0; i < sample.lines.size(); ++i) {
      const AscLine& l = sample.lines[i];
      int flags = (static_cast<int>(i) == sample.loop ? 0x80 : 0) | (i + 1 == sample.lines.size() ? 0x60 : 0);
      out.push_back(static_cast<uint8_t>(flags | (l.adder & 0x1F)));
      out.push_back(static_cast<uint8_t>(l.tone_step & 0xFF));
      out.push_back(static_cast<uint8_t>(l.volume << 4 | (l.noise ? 0 : 8) | (l.tone ? 0 : 1) |
                                         asm_mode(l.envelope, l.slide) << 1));
    }
  }
  size_t ornaments = out.size();
  out.resize(out.size() + 64);
  for (int o = 0; o < 32; ++o) {
    put_word(&out, ornaments + 2 * o, out.size() - ornaments);
    AscOrnament ornament;
    if (o < static_cast<int>(m.ornaments.size())) ornament = m.ornaments[o];
    for (size_t i = 0; i < ornament.steps.size(); ++i) {
      int flags =
          (static_cast<int>(i) == ornament.loop ? 0x80 : 0) | (i + 1 == ornament.steps.size() ? 0x60 : 0);
      out.push_back(static_cast<uint8_t>(flags | (ornament.steps[i].noise & 0x1F)));
      out.push_back(static_cast<uint8_t>(ornament.steps[i].note & 0xFF));
    }
  }
  put_word(&out, pointers, patterns);
  put_word(&out, pointers + 2, samples);
  put_word(&out, pointers + 4, ornaments);
  return out;
}

Bytes make_psc(const PscModule& m) {
  Bytes out;
  std::string id = "PSC V1.0" + std::to_string(m.version) + " COMPILATION OF ";
  append_text(&out, id, 25);
  append_text(&out, m.title, 20);
  append_text(&out, " BY ", 4);
  append_text(&out, m.author, 20);
  out.resize(76);
  size_t ornament_table = 76 + 2 * m.samples.size();
  out.resize(ornament_table + 2 * m.ornaments.size());
  bool relative = m.version >= 4;
  put_word(&out, 69, out.size());
  out[73] = static_cast<uint8_t>(m.delay);
  put_word(&out, 74, ornament_table);
  for (size_t s = 0; s < m.samples.size(); ++s) {
    out.push_back(static_cast<uint8_t>(s + 1));  // the editor's number, which players skip
    put_word(&out, 76 + 2 * s, out.size() - (relative ? 76 : 0));
    const PscSample& sample = m.samples[s];
    for (size_t i = 0; i < sample.lines.size(); ++i) {
      const PscLine& l = sample.lines[i];
      append_word(&out, static_cast<uint16_t>(l.tone_step));
      out.push_back(static_cast<uint8_t>(l.noise_step & 0xFF));
      out.push_back(static_cast<uint8_t>(l.volume));
      int flags = (i + 1 < sample.lines.size() ? 0x60 : 0) | (static_cast<int>(i) == sample.loop ? 0 : 0x80) |
                  (l.envelope ? 0 : 0x10) | (l.noise ? 0 : 8) | (l.tone ? 0 : 1) |
                  asm_mode(false, l.slide) << 1;
      out.push_back(static_cast<uint8_t>(flags));
      out.push_back(0);
    }
  }
  out.push_back(0xFF);
  for (size_t o = 0; o < m.ornaments.size(); ++o) {
    out.push_back(static_cast<uint8_t>(o + 1));
    put_word(&out, ornament_table + 2 * o, out.size() - (relative ? ornament_table : 0));
    const PscOrnament& ornament = m.ornaments[o];
    for (size_t i = 0; i < ornament.steps.size(); ++i) {
      int flags =
          (i + 1 < ornament.steps.size() ? 0x60 : 0) | (static_cast<int>(i) == ornament.loop ? 0 : 0x80);
      out.push_back(static_cast<uint8_t>(flags));
      out.push_back(static_cast<uint8_t>(ornament.steps[i] & 0xFF));
    }
  }
  std::vector<std::array<size_t, 3>> tracks;
  for (const Tracks& pattern : m.patterns) {
    std::array<size_t, 3> at{};
    for (int c = 0; c < 3; ++c) {
      at[c] = out.size();
      out.insert(out.end(), pattern[c].begin(), pattern[c].end());
    }
    tracks.push_back(at);
  }
  out.push_back(0xFF);
  size_t positions = out.size();
  put_word(&out, 71, positions);
  for (size_t i = 0; i < m.positions.size(); ++i) {
    out.push_back(static_cast<uint8_t>(i));
    out.push_back(static_cast<uint8_t>(m.positions[i].rows));
    size_t pattern = static_cast<size_t>(m.positions[i].pattern);
    for (int c = 0; c < 3; ++c) append_word(&out, pattern < tracks.size() ? tracks[pattern][c] : 0);
  }
  out.push_back(static_cast<uint8_t>(m.loop));
  out.push_back(0xFF);
  append_word(&out, positions + 8 * m.loop);
  return out;
}

Bytes make_stp(const StpModule& m) {
  Bytes out(10, 0);
  out[0] = static_cast<uint8_t>(m.delay);
  if (!m.ksa_title.empty()) {
    append_text(&out, "KSA SOFTWARE COMPILATION OF ", 28);
    append_text(&out, m.ksa_title, 27);
  }
  std::vector<std::array<size_t, 3>> tracks;
  for (const Tracks& pattern : m.patterns) {
    std::array<size_t, 3> at{};
    for (int c = 0; c < 3; ++c) {
      at[c] = out.size();
      out.insert(out.end(), pattern[c].begin(), pattern[c].end());
    }
    tracks.push_back(at);
  }
  put_word(&out, 1, out.size());
  out.push_back(static_cast<uint8_t>(m.positions.size()));
  out.push_back(static_cast<uint8_t>(m.loop));
  for (const auto& position : m.positions) {
    out.push_back(static_cast<uint8_t>(6 * position[0]));
    out.push_back(static_cast<uint8_t>(position[1]));
  }
  put_word(&out, 3, out.size());
  for (const auto& at : tracks)
    for (size_t t : at) append_word(&out, t);
  size_t ornament_table = out.size();
  put_word(&out, 5, ornament_table);
  out.resize(out.size() + 32);
  size_t sample_table = out.size();
  put_word(&out, 7, sample_table);
  out.resize(out.size() + 30);
  for (int o = 0; o < 16; ++o) {
    put_word(&out, ornament_table + 2 * o, out.size());
    StpOrnament ornament;
    if (o < static_cast<int>(m.ornaments.size())) ornament = m.ornaments[o];
    out.push_back(static_cast<uint8_t>(ornament.loop));
    out.push_back(static_cast<uint8_t>(ornament.offsets.size()));
    for (int8_t offset : ornament.offsets) out.push_back(static_cast<uint8_t>(offset));
  }
  for (int s = 1; s <= 15; ++s) {
    put_word(&out, sample_table + 2 * (s - 1), out.size());
    StpSample sample;
    if (s < static_cast<int>(m.samples.size()) + 1)
      sample = m.samples[s - 1];
    else
      sample.lines = {StpLine{0, false, false}};
    out.push_back(static_cast<uint8_t>(sample.loop));
    out.push_back(static_cast<uint8_t>(sample.lines.size()));
    for (const StpLine& l : sample.lines) {
      out.push_back(static_cast<uint8_t>(l.volume | (l.tone ? 0 : 0x10) | (l.noise ? 0 : 0x80)));
      out.push_back(static_cast<uint8_t>((l.noise_period & 0x1F) << 1 | (l.envelope ? 0 : 1)));
      append_word(&out, static_cast<uint16_t>(l.tone_offset));
    }
  }
  return out;
}

Bytes make_sqt(const SqtModule& m) {
  Bytes out(10, 0);
  size_t base = static_cast<size_t>(m.address);
  // The tables are packed as the tracker's compiler packs them: each one's
  // unused slot 0 is the last slot of the one before.
  size_t sample_table = out.size();
  size_t ornament_table = sample_table + 2 * m.samples.size();
  size_t pattern_table = ornament_table + 2 * m.ornaments.size();
  out.resize(pattern_table + 2 * (m.patterns.size() + 1));
  for (size_t s = 0; s < m.samples.size(); ++s) {
    put_word(&out, sample_table + 2 * (s + 1), base + out.size());
    const SqtSample& sample = m.samples[s];
    out.push_back(static_cast<uint8_t>(sample.loop));
    out.push_back(static_cast<uint8_t>(sample.loop_length));
    for (size_t i = 0; i < 32; ++i) {
      const SqtLine& l = sample.lines[std::min(i, sample.lines.size() - 1)];
      int shift = std::abs(l.tone_offset);
      out.push_back(static_cast<uint8_t>(l.volume | (l.noise_period & 15) << 4));
      out.push_back(static_cast<uint8_t>(((l.noise_period & 16) ? 0x80 : 0) | (l.tone ? 0x40 : 0) |
                                         (l.noise ? 0x20 : 0) | (l.tone_offset >= 0 ? 0x10 : 0) |
                                         (shift >> 8 & 15)));
      out.push_back(static_cast<uint8_t>(shift & 0xFF));
    }
  }
  for (size_t o = 0; o < m.ornaments.size(); ++o) {
    put_word(&out, ornament_table + 2 * (o + 1), base + out.size());
    const SqtOrnament& ornament = m.ornaments[o];
    out.push_back(static_cast<uint8_t>(ornament.loop));
    out.push_back(static_cast<uint8_t>(ornament.loop_length));
    for (size_t i = 0; i < 32; ++i)
      out.push_back(static_cast<uint8_t>(i < ornament.offsets.size() ? ornament.offsets[i] : 0));
  }
  for (size_t p = 0; p < m.patterns.size(); ++p) {
    put_word(&out, pattern_table + 2 * (p + 1), base + out.size());
    out.push_back(static_cast<uint8_t>(m.patterns[p].rows));
    out.insert(out.end(), m.patterns[p].data.begin(), m.patterns[p].data.end());
  }
  size_t positions = out.size();
  for (const SqtPosition& position : m.positions) {
    for (int c = 0; c < 3; ++c) {
      out.push_back(static_cast<uint8_t>(0x80 | position.patterns[c]));
      out.push_back(static_cast<uint8_t>(position.attenuation[c]));
    }
    out.push_back(static_cast<uint8_t>(position.delay));
  }
  out.insert(out.end(), 7, 0);
  put_word(&out, 0, out.size());
  put_word(&out, 2, base + sample_table);
  put_word(&out, 4, base + ornament_table);
  put_word(&out, 6, base + pattern_table);
  put_word(&out, 8, base + positions);
  // The loop position's address fills the unused slot 0 of the sample table.
  put_word(&out, sample_table, base + positions + 7 * static_cast<size_t>(m.loop));
  return out;
}

Bytes make_psm(const PsmModule& m) {
  Bytes out(8);
  for (char c : m.text) out.push_back(static_cast<uint8_t>(c));
  out.push_back(0);
  put_word(&out, 0, out.size());
  for (const auto& position : m.positions) {
    out.push_back(static_cast<uint8_t>(position[0]));
    out.push_back(static_cast<uint8_t>(position[1] & 0xFF));
  }
  out.push_back(0xFF);
  out.push_back(static_cast<uint8_t>(m.loop));
  const size_t samples = out.size();
  put_word(&out, 2, samples);
  out.resize(samples + 2 * m.samples.size());
  for (size_t s = 0; s < m.samples.size(); ++s) {
    const PsmSample& sample = m.samples[s];
    put_word(&out, samples + 2 * s, out.size());
    out.push_back(static_cast<uint8_t>((sample.lines.size() - 1) | sample.rounds << 5));
    out.push_back(static_cast<uint8_t>(sample.loop | (sample.loops ? 0x20 : 0) | sample.slide));
    for (const PsmLine& l : sample.lines) {
      out.push_back(static_cast<uint8_t>(l.volume | (l.tone ? 0 : 0x10) | (l.noise ? 0 : 0x80)));
      const int word = l.noise_period << 11 | (l.tone_step & 0x7FF);
      out.push_back(static_cast<uint8_t>(word >> 8));
      out.push_back(static_cast<uint8_t>(word & 0xFF));
    }
  }
  const size_t ornaments = out.size();
  put_word(&out, 4, ornaments);
  out.resize(ornaments + 2 * m.ornaments.size());
  for (size_t o = 0; o < m.ornaments.size(); ++o) {
    const PsmOrnament& ornament = m.ornaments[o];
    put_word(&out, ornaments + 2 * o, out.size());
    out.push_back(static_cast<uint8_t>(ornament.offsets.size() - 1));
    out.push_back(static_cast<uint8_t>(ornament.loop | (ornament.loops ? 0x80 : 0)));
    for (int8_t offset : ornament.offsets) out.push_back(static_cast<uint8_t>(offset));
  }
  const size_t patterns = out.size();
  put_word(&out, 6, patterns);
  out.resize(patterns + 7 * m.patterns.size());
  for (size_t p = 0; p < m.patterns.size(); ++p) {
    out[patterns + 7 * p] = static_cast<uint8_t>(m.patterns[p].delay);
    for (size_t c = 0; c < 3; ++c) {
      put_word(&out, patterns + 7 * p + 1 + 2 * c, out.size());
      const Bytes& track = m.patterns[p].tracks[c];
      out.insert(out.end(), track.begin(), track.end());
    }
  }
  return out;
}

Bytes make_gtr(const GtrModule& m) {
  // Laid out as the compiler lays it out: the header, the position list,
  // the tracks, the samples, then the ornaments.
  Bytes out = {static_cast<uint8_t>(m.delay), 'G', 'T', 'R', static_cast<uint8_t>(m.version)};
  append_word(&out, static_cast<size_t>(m.address));
  append_text(&out, m.name, 32);
  out.resize(293);
  out.push_back(static_cast<uint8_t>(m.positions.size()));
  out.push_back(static_cast<uint8_t>(m.loop));
  for (int p : m.positions) out.push_back(static_cast<uint8_t>(6 * p));
  auto address = [&m, &out] { return static_cast<size_t>(m.address) + out.size(); };
  const size_t empty = address();
  out.insert(out.end(), {0xBF, 0xD0, 0xFF});
  for (size_t p = 0; p < 32; ++p)
    for (size_t c = 0; c < 3; ++c) put_word(&out, 101 + 6 * p + 2 * c, empty);
  for (size_t p = 0; p < m.patterns.size() && p < 32; ++p) {
    for (size_t c = 0; c < 3; ++c) {
      put_word(&out, 101 + 6 * p + 2 * c, address());
      out.insert(out.end(), m.patterns[p][c].begin(), m.patterns[p][c].end());
    }
  }
  const size_t silent = address();
  out.insert(out.end(), {0, 4, 0, 0xE0, 0, 0});
  for (size_t i = 0; i < 15; ++i) put_word(&out, 39 + 2 * i, silent);
  for (size_t i = 0; i < m.samples.size() && i < 15; ++i) {
    const GtrSample& sample = m.samples[i];
    put_word(&out, 39 + 2 * i, address());
    out.push_back(static_cast<uint8_t>(4 * sample.loop));
    out.push_back(static_cast<uint8_t>(4 * sample.lines.size()));
    for (const GtrLine& line : sample.lines) {
      uint8_t flags = static_cast<uint8_t>(line.noise_period & 0x1F);
      if (line.envelope) flags |= 0x80;
      if (!line.noise) flags |= 0x40;
      if (!line.tone) flags |= 0x20;
      out.push_back(static_cast<uint8_t>(line.volume & 0x0F));
      out.push_back(flags);
      append_word(&out, static_cast<uint16_t>(line.tone_offset));
    }
  }
  const size_t plain = address();
  out.insert(out.end(), {0, 1, 0});
  for (size_t i = 0; i < 16; ++i) put_word(&out, 69 + 2 * i, plain);
  for (size_t i = 0; i < m.ornaments.size() && i < 16; ++i) {
    const GtrOrnament& ornament = m.ornaments[i];
    put_word(&out, 69 + 2 * i, address());
    out.push_back(static_cast<uint8_t>(ornament.loop));
    out.push_back(static_cast<uint8_t>(ornament.offsets.size()));
    for (int8_t offset : ornament.offsets) out.push_back(static_cast<uint8_t>(offset));
  }
  return out;
}

tools::ay::AySong play(const tools::ay::Format& format, const Bytes& module) {
  tools::ay::AySong song;
  std::string error;
  if (!format.parse(module.data(), module.size(), &song, &error)) song = tools::ay::AySong();
  return song;
}

Bytes make_ftc(const FtcModule& m) {
  Bytes out(0xD4, ' ');
  const std::string magic = "Module: ";
  std::copy(magic.begin(), magic.end(), out.begin());
  std::copy(m.name.begin(), m.name.end(), out.begin() + 8);
  out[0x32] = m.table;
  const std::string tracker = m.table < 0x20 ? "Fast Tracker v1.07" : "Fast Tracker v1.00";
  std::copy(tracker.begin(), tracker.end(), out.begin() + 0x33);
  out[0x45] = static_cast<uint8_t>(m.tempo);
  out[0x46] = static_cast<uint8_t>(m.loop);
  for (size_t i = 0x47; i < 0x52; ++i) out[i] = 0;
  for (const auto& [pattern, transposition] : m.positions) {
    out.push_back(static_cast<uint8_t>(pattern));
    out.push_back(static_cast<uint8_t>(transposition));
  }
  out.push_back(0xFF);
  const size_t table = out.size();
  put_word(&out, 0x4B, table);
  out.resize(table + 6 * m.patterns.size());
  for (size_t p = 0; p < m.patterns.size(); ++p)
    for (size_t c = 0; c < 3; ++c) {
      put_word(&out, table + 6 * p + 2 * c, out.size());
      out.insert(out.end(), m.patterns[p][c].begin(), m.patterns[p][c].end());
    }
  const size_t spare_sample = out.size();
  out.insert(out.end(), {0, 0, 0, 0x40, 0, 0x40, 0x40, 0});
  const size_t spare_ornament = out.size();
  out.insert(out.end(), {0, 0, 0, 0, 0});
  for (int i = 0; i < 32; ++i) put_word(&out, 0x52 + 2 * i, spare_sample);
  for (int i = 0; i < 33; ++i) put_word(&out, 0x92 + 2 * i, spare_ornament);
  for (size_t i = 0; i < m.samples.size(); ++i) {
    put_word(&out, 0x52 + 2 * i, out.size());
    const FtcSample& s = m.samples[i];
    const int last = static_cast<int>(s.lines.size()) - 1;
    out.insert(out.end(), {static_cast<uint8_t>(last), static_cast<uint8_t>(s.loop), static_cast<uint8_t>(last)});
    for (const FtcLine& l : s.lines) {
      const int word = (l.tone_offset & 0x1FFF) | (l.tone ? 0 : 0x4000) | (l.add_tone ? 0x8000 : 0);
      const int slide = l.slide < 0 ? 0x20 : l.slide > 0 ? 0x30 : 0;
      out.push_back(static_cast<uint8_t>((l.noise_period & 0x1F) | (l.noise ? 0 : 0x40) | (l.add_noise ? 0x80 : 0)));
      out.push_back(static_cast<uint8_t>(word & 0xFF));
      out.push_back(static_cast<uint8_t>(word >> 8));
      out.push_back(static_cast<uint8_t>((l.volume & 0x0F) | slide | (l.envelope ? 0x40 : 0) | (l.add_envelope ? 0x80 : 0)));
      out.push_back(static_cast<uint8_t>(l.envelope_offset & 0xFF));
    }
  }
  for (size_t i = 0; i < m.ornaments.size(); ++i) {
    put_word(&out, 0x92 + 2 * i, out.size());
    const FtcOrnament& o = m.ornaments[i];
    const int last = static_cast<int>(o.notes.size()) - 1;
    out.insert(out.end(), {static_cast<uint8_t>(last), static_cast<uint8_t>(o.loop), static_cast<uint8_t>(last)});
    for (int note : o.notes) out.insert(out.end(), {0, static_cast<uint8_t>(note & 0xFF)});
  }
  return out;
}

}  // namespace tracker_test
