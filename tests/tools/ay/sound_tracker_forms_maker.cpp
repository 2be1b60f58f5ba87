#include "tests/tools/ay/sound_tracker_forms_maker.h"

#include <algorithm>
#include <string>

namespace st_forms_test {

St1::St1(int delay, int rows) {
  bytes[3007] = static_cast<uint8_t>(delay);
  bytes[3008] = static_cast<uint8_t>(rows);
}

void St1::position(int index, int pattern, int transposition) {
  bytes[1950 + 2 * index] = static_cast<uint8_t>(pattern);
  bytes[1951 + 2 * index] = static_cast<uint8_t>(transposition);
  bytes[2462] = static_cast<uint8_t>(index);
}

uint8_t st1_note(int name, bool sharp, int octave) {
  return static_cast<uint8_t>(name << 4 | (sharp ? 8 : 0) | octave);
}

Bytes in_ay_file(const Bytes& module) {
  Bytes file = {'Z', 'X', 'A', 'Y', 'S', 'T', '1', '1', 0, 0, 0, 0, 0, 0x1A, 0, 0, 0, 0, 0, 2};
  file.insert(file.end(), {0, 4, 0, 0});  // song name at +4, data patched below
  const std::string name = "AY SONG NAME";
  file.insert(file.end(), name.begin(), name.end());
  file.push_back(0);
  const std::string author = "AY AUTHOR";
  const size_t author_at = file.size();
  file.insert(file.end(), author.begin(), author.end());
  file.push_back(0);
  file[13] = static_cast<uint8_t>(author_at - 12);
  file[22] = static_cast<uint8_t>((file.size() - 22) >> 8);
  file[23] = static_cast<uint8_t>((file.size() - 22) & 0xFF);
  file.insert(file.end(), {0, 1, 2, 3, 0, 0, 0, 50});
  file.insert(file.end(), module.begin(), module.end());
  return file;
}

// Header, credit, samples, positions, sample list, ornaments, their list,
// tracks, pattern table.
Bytes make_st3(const std::vector<std::pair<int, int>>& positions, const Bytes& track, bool credit) {
  Bytes out(9, 0);
  out[0] = 2;
  auto put = [&out](size_t at, size_t value) {
    out[at] = static_cast<uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
  };
  if (credit) {
    std::string text = "KSA SOFTWARE COMPILATION OF MADE SONG BY NOBODY";
    text.resize(55, ' ');
    out.insert(out.end(), text.begin(), text.end());
  }
  const size_t sample = out.size();
  out.resize(sample + 130, 0);
  out[sample] = 2, out[sample + 1] = 3;  // repeat lines 2..3
  for (int line = 0; line < 32; ++line) {
    uint8_t* bytes = out.data() + sample + 2 + 4 * line;
    const int16_t offset = static_cast<int16_t>(line == 1 ? -0x21 : line == 2 ? 0x13 : 0);
    bytes[0] = static_cast<uint8_t>(offset & 0xFF);
    bytes[1] = static_cast<uint8_t>(offset >> 8 & 0xFF);
    bytes[2] = static_cast<uint8_t>(line == 0 ? 0x1C : 0x8F);  // line 0: tone off, noise on, volume 12
    bytes[3] = line == 0 ? 9 : 0;
  }
  put(1, out.size());
  out.push_back(static_cast<uint8_t>(positions.size()));
  for (const auto& [pattern, transposition] : positions) {
    out.push_back(static_cast<uint8_t>(transposition));
    out.push_back(static_cast<uint8_t>(6 * pattern));
  }
  put(3, out.size());
  out.insert(out.end(), {1, static_cast<uint8_t>(sample & 0xFF), static_cast<uint8_t>(sample >> 8)});
  const size_t ornament = out.size();
  out.resize(ornament + 32, 0);
  put(5, out.size());
  out.insert(out.end(), {1, static_cast<uint8_t>(ornament & 0xFF), static_cast<uint8_t>(ornament >> 8)});
  const size_t tracks = out.size();
  out.insert(out.end(), track.begin(), track.end());
  const size_t empty = out.size();
  out.insert(out.end(), {0x81, 0xFF});
  put(7, out.size());
  int count = 0;
  for (const auto& position : positions) count = std::max(count, position.first + 1);
  for (int p = 0; p < count; ++p) {
    out.resize(out.size() + 6);
    put(out.size() - 6, tracks);
    put(out.size() - 4, empty);
    put(out.size() - 2, empty);
  }
  return out;
}

Bytes make_fls(const Fls& module) {
  Bytes out(6 + 6 * module.patterns.size(), 0);
  auto put = [&out](size_t at, size_t value) {
    out[at] = static_cast<uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<uint8_t>(value >> 8 & 0xFF);
  };
  auto address = [&module](size_t offset) { return module.base + offset; };
  put(2, address(out.size()));
  const size_t ornament_list = out.size();
  out.resize(out.size() + 2 * module.ornaments.size());
  put(4, address(out.size()));
  const size_t sample_list = out.size();
  out.resize(out.size() + 4 * module.samples.size());
  put(0, address(out.size()));
  out.push_back(static_cast<uint8_t>(module.delay));
  for (int pattern : module.positions) out.push_back(static_cast<uint8_t>(pattern));
  out.push_back(0);
  for (size_t p = 0; p < module.patterns.size(); ++p) {
    for (size_t c = 0; c < 3; ++c) {
      put(6 * (p + 1) + 2 * c, address(out.size()));
      out.insert(out.end(), module.patterns[p][c].begin(), module.patterns[p][c].end());
    }
  }
  for (size_t i = 0; i < module.ornaments.size(); ++i) {
    put(ornament_list + 2 * i, address(out.size()));
    out.insert(out.end(), module.ornaments[i].begin(), module.ornaments[i].end());
  }
  for (size_t i = 0; i < module.samples.size(); ++i) {
    const auto& sample = module.samples[i];
    out[sample_list + 4 * i] = sample[96];
    out[sample_list + 4 * i + 1] = sample[97];
    put(sample_list + 4 * i + 2, address(out.size()));
    out.insert(out.end(), sample.begin(), sample.begin() + 96);
  }
  return out;
}

std::array<uint8_t, 98> fls_sample() {
  std::array<uint8_t, 98> sample{};
  for (int line = 0; line < 32; ++line) {
    uint8_t* bytes = sample.data() + 3 * line;
    bytes[0] = 15;
    bytes[1] = 0x80;  // noise off
    if (line == 1) bytes[2] = 0x21;
    if (line == 2) bytes[1] |= 0x20, bytes[2] = 0x13;  // added
  }
  sample[96] = 2;
  sample[97] = 1;
  return sample;
}

}  // namespace st_forms_test
