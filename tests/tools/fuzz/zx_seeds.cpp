// Writes the ZX tracker fuzzer's starting corpus: one made module of each
// layout, with most commands of its format in its tracks.
//   tools_zx_fuzz_seeds <corpus dir>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/tools/ay/sound_tracker_forms_maker.h"
#include "tests/tools/ay/zx_module_maker.h"

using namespace zx_test;

namespace {

bool write(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

Pt3Module pt3() {
  Pt3Module module;
  Pt3Line noisy;
  noisy.noise = true;
  noisy.offset = 3;
  noisy.accumulate_offset = true;
  Pt3Line enveloped;
  enveloped.envelope = true;
  enveloped.amplitude_slide = -1;
  enveloped.accumulate_tone = true;
  module.samples = {Pt3Sample{1, {Pt3Line{}, noisy, enveloped}}};
  module.ornaments = {Pt3Ornament{}, Pt3Ornament{1, {0, 12, 7}}};
  // Envelope, glissando, vibrato, ornament, portamento, envelope slide,
  // speed, sample and ornament offsets, note cut, skip count, noise.
  module.patterns = {Tracks{
      Bytes{0x1E, 1, 0x23, 2, 0x50 + 36, 0x01, 0x50 + 37, 1, 4, 0, 0x05, 0x41, 0x50 + 50, 1, 1, 0x02, 0x50 + 40, 1, 0,
            0, 5, 0, 0x08, 0x09, 0xD0, 2, 1, 0, 3, 0x03, 0x04, 0xD1, 0x50 + 30, 1, 1, 0xC0, 0},
      Bytes{0xB1, 2, 0xD1, 0x25, 0x60, 0xB9, 0, 0x40, 0x60, 0}, Bytes{0xF1, 2, 0xC8, 0x70, 0xB0, 0x70, 0}}};
  module.positions = {0, 0};
  return module;
}

}  // namespace

// Two patterns (the second not saved), notes, a rest, an envelope and an
// ornament, a sample with noise, offsets and a repeat.
st_forms_test::St1 st1_seed() {
  st_forms_test::St1 song(3, 8);
  uint8_t* sample = song.sample(1);
  for (int i = 0; i < 32; ++i) {
    sample[i] = static_cast<uint8_t>(15 - i / 3);
    sample[32 + i] = i % 4 == 0 ? 0x05 : 0x80;
    sample[64 + 2 * i] = static_cast<uint8_t>(i * 3);
    sample[65 + 2 * i] = i % 2 ? 0x10 : 0x00;
  }
  sample[128] = 20, sample[129] = 4;
  song.bytes[2463 + 32 * 2] = 12;
  song.position(0, 1, 0);
  song.position(1, 3, 2);
  song.patterns(2);
  const uint8_t cells[][3] = {{0x33, 0x1F, 2}, {0x43, 0x0C, 0x30}, {0xF1, 0, 0}, {0x6A, 0x10, 0}};
  for (int row = 0; row < 4; ++row)
    for (int b = 0; b < 3; ++b) song.cell(1, 2 * row, row % 3)[b] = cells[row][b];
  return song;
}

// Loaded at an odd address: two patterns sharing a track, samples 0 and
// 1 (one repeating), two ornaments, an envelope, a row length and a rest.
Bytes fls_seed() {
  st_forms_test::Fls module;
  module.base = 0x9C37;
  module.delay = 3;
  module.samples = {st_forms_test::fls_sample(), st_forms_test::fls_sample()};
  module.samples[1][1] = 0x05;  // line 0: tone and noise 5
  module.samples[1][96] = 0;
  module.ornaments = {{}, {}};
  module.ornaments[0][1] = 12;
  module.ornaments[1][2] = 7;
  const Bytes lead = {0xA1, 0x60, 0x71, 36, 0x8A, 0x20, 39, 0x61, 0x72, 40, 0x80, 0x81, 0xFF};
  const Bytes bass = {0xA2, 0x61, 0x70, 24, 0x8E, 0xFF, 26, 0xFF};
  module.patterns = {{lead, bass, Bytes{0x81, 0xFF}}, {bass, lead, lead}};
  module.positions = {1, 2, 1};
  return st_forms_test::make_fls(module);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tools_zx_fuzz_seeds <corpus dir>\n");
    return 2;
  }
  const std::string dir = argv[1];
  const Pt3Module one = pt3();
  Pt3Module mirrored = one;
  mirrored.header = "ProTracker 3.7";
  mirrored.second_chip_patterns = 2;
  mirrored.patterns.push_back(one.patterns[0]);
  bool ok = write(dir + "/pt3", make_pt3(one));
  ok &= write(dir + "/pt3-turbo-sound-37", make_pt3(mirrored));
  ok &= write(dir + "/pt3-turbo-sound-pair", make_turbo_sound(make_pt3(one), make_pt3(one)));

  Pt2Module pt2;
  Pt2Line noisy;
  noisy.noise = true;
  noisy.noise_period = 5;
  noisy.tone_offset = -3;
  pt2.samples = {Pt2Sample{1, {Pt2Line{}, noisy}}};
  pt2.ornaments = {Pt3Ornament{}, Pt3Ornament{0, {0, 4, 7}}};
  pt2.patterns = {Tracks{Bytes{0x7E, 0x34, 0x12, 0xE1, 0x80 + 36, 0x0E, 1, 0x80 + 37, 0x0D, 3, 0, 0, 0x80 + 30, 0x0B, 2,
                               0x61, 0x0F, 4, 0x7F, 0x0C, 0x80 + 31, 0xE0, 0},
                         Bytes{0x21, 0x1A, 0xE1, 0x90, 0}, Bytes{0x70, 0}}};
  pt2.positions = {0, 0};
  ok &= write(dir + "/pt2", make_pt2(pt2));

  StcModule stc;
  stc.samples[0].repeat = 3;
  stc.samples[0].repeat_length = 4;
  stc.samples[0].lines[1].noise = true;
  stc.samples[0].lines[2].tone_offset = -20;
  StcOrnament ornament;
  ornament.number = 2;
  ornament.offsets[1] = 12;
  stc.ornaments.push_back(ornament);
  stc.patterns = {StcPattern{1, Tracks{Bytes{0xA1, 0x61, 36, 0x8A, 0x20, 39, 0x72, 40, 0x80, 0x81, 0xFF},
                                       Bytes{0xA2, 0x61, 30, 0xFF}, Bytes{0x81, 0xFF}}}};
  stc.positions = {{1, 0}, {1, 3}};
  ok &= write(dir + "/stc", make_stc(stc));

  Pt1Module pt1;
  StcLine bent;
  bent.noise = true;
  bent.tone_offset = -9;
  pt1.samples = {Pt1Sample{1, {StcLine{}, bent}}};
  pt1.ornaments = {{}, {0, 7}};
  // Tempo, row length, volume, envelope and its end, ornament, rest, empty row.
  pt1.patterns = {Tracks{Bytes{0x93, 0xB2, 0xA9, 0x61, 36, 0x8D, 0x20, 0x00, 38, 0x81, 0x71, 40, 0x80, 0x90, 0xFF},
                         Bytes{0xB1, 0x61, 30, 0xB0, 0xFF}, Bytes{0x90, 0xFF}}};
  pt1.positions = {0, 0};
  pt1.loop = 1;
  ok &= write(dir + "/pt1", make_pt1(pt1));
  const st_forms_test::St1 st1 = st1_seed();
  ok &= write(dir + "/st1", st1.bytes);
  ok &= write(dir + "/st1-in-ay-file", st_forms_test::in_ay_file(st1.bytes));
  ok &= write(dir + "/st3", st_forms_test::make_st3({{0, 0}, {1, 5}},
                                                    {0x60, 0x71, 36, 0x8A, 0x20, 40, 0x80, 0xA2, 38, 0xFF}, true));
  ok &= write(dir + "/fls", fls_seed());
  return ok ? 0 : 1;
}
