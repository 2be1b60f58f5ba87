// Writes the seed corpus of tools_tracker_fuzz: a small module of each of
// ASC Sound Master (both header layouts), Pro Sound Creator (both offset
// styles), Sound Tracker Pro, SQ-Tracker, Fuxoft AY Language, Fast Tracker
// (both versions), Global Tracker (both versions) and Pro Sound Maker,
// using the commands, samples and ornaments the players act on, so that
// mutations start deep inside.
//   tools_tracker_fuzz_seeds DIRECTORY
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>

#include "tests/tools/ay/tracker_module_maker.h"

using namespace tracker_test;

namespace {

bool write(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

AscModule asc_seed() {
  AscModule m;
  m.positions = {0, 0};
  m.patterns = {
      Tracks{Bytes{0xE0, 0xF8, 0x61, 0x10, 0x40, 0xF5, 0x02, 0x12, 0x30, 0xE8, 0x5E, 0x5F, 0xFF},
             Bytes{0xA1, 0xC1, 0xF0, 0x03, 0xF4, 0x04, 0x60, 0x05, 0xF7, 0x02, 0x09, 0xF9, 0x03, 0x5D, 0xFF},
             Bytes{0xF1, 0x63, 0x20, 0xF3, 0x22, 0xFF}}};
  AscSample sample;
  sample.loop = 1;
  sample.lines = {AscLine{15, true, true, false, 3, 2, 1}, AscLine{10, false, false, true, -1, -3, -1}};
  m.samples = {sample, sample};
  AscOrnament chord;
  chord.steps = {{4, 1}, {3, 0}, {-7, -1}};
  m.ornaments = {AscOrnament{}, chord};
  return m;
}

PscModule psc_seed() {
  PscModule m;
  m.patterns = {Tracks{Bytes{0x80, 0xA1, 0x66, 0x7A, 0x0A, 0x40, 0x00, 0x10, 0xC1, 0x7C, 0xC0, 0xFE},
                       Bytes{0x60, 0x6C, 0x01, 0x12, 0xC2, 0xFE}, Bytes{0x7B, 0x00, 0x7C, 0xC2, 0xFE}}};
  m.positions = {PscPosition{0, 3}, PscPosition{0, 3}};
  PscSample sample;
  sample.loop = 1;
  sample.lines = {PscLine{15, true, true, false, 5, 2, 0}, PscLine{9, false, false, true, -5, -2, -1}};
  m.samples = {sample};
  PscOrnament chord;
  chord.steps = {4, 3, -7};
  m.ornaments = {PscOrnament{}, chord};
  return m;
}

StpModule stp_seed() {
  StpModule m;
  m.patterns = {Tracks{Bytes{0x61, 0x71, 0x80, 0x03, 0xCA, 0x20, 0x0F, 0xD8, 0xE3, 0x10, 0xD0, 0xE0, 0x00},
                       Bytes{0x62, 0x83, 0xF2, 0x20, 0xD0, 0x00}, Bytes{0x83, 0xD0, 0x00}}};
  m.positions = {{0, 0}, {0, 12}};
  m.samples = {StpSample{0, {StpLine{}, StpLine{8, false, true, false, 9, -20}}},
               StpSample{0xFF, {StpLine{12}}}};
  m.ornaments = {StpOrnament{}, StpOrnament{0, {0, 4, 7}}};
  m.ksa_title = "seed";
  return m;
}

SqtModule sqt_seed() {
  SqtModule m;
  m.patterns = {SqtPattern{4, {0x02, 0xD1, 0x1A, 0x30, 0x62, 0x01, 0x85, 0x6F}},
                SqtPattern{4, {0x10, 0xC1, 0x83, 0x6F, 0xA1}}};
  m.positions = {SqtPosition{{1, 2, 2}, {0, 1, 0}, 2}, SqtPosition{{2, 1, 1}, {0, 0, 2}, 3}};
  m.samples = {SqtSample{30, 2, {SqtLine{}, SqtLine{10, false, true, 17, -300}}}};
  m.ornaments = {SqtOrnament{0, 3, {0, 4, 7}}};
  return m;
}

// Pro Sound Maker: two patterns with their own delays, a transposed
// position, every command, looped and one-shot samples with slides, and
// ornaments with and without loops.
PsmModule psm_seed() {
  PsmModule m;
  m.patterns = {PsmPattern{3, Tracks{Bytes{0xB9, 0x9C, 0x61, 0x70, 0x05, 0x5E, 0xB8, 0x60, 0x90, 0x62, 0xA2, 0x0C,
                                           0xFB, 0x03, 0xA0, 0x54, 0xFF},
                                     Bytes{0xBA, 0x62, 0xB3, 0xF1, 0x10, 0x93, 0x61, 0x00, 0xB2, 0x80, 0x02, 0xFF},
                                     Bytes{0xC1, 0x9A, 0x61, 0x71, 0x0C, 0x90, 0xFF}}},
                PsmPattern{5, Tracks{Bytes{0xBB, 0x61, 0x71, 0x40, 0xFF}, Bytes{0xBB, 0x90, 0xFF},
                                     Bytes{0xBB, 0x62, 0xA4, 0x21, 0xFF}}}};
  m.positions = {{0, 0}, {1, -2}, {0, 3}};
  m.loop = 1;
  m.samples = {PsmSample{true, 1, 0x80, 1, {PsmLine{15}, PsmLine{12, true, true, 9, -40}, PsmLine{10, false, true, 3, 40}}},
               PsmSample{false, 0, 0, 0, {PsmLine{15, false, false, 0, -400}, PsmLine{6, true, true, 8, 100}}},
               PsmSample{true, 0, 0xC0, 2, {PsmLine{4}}}};
  m.ornaments = {PsmOrnament{true, 0, {0, 4, 7}}, PsmOrnament{false, 0, {12, 0, -12}}};
  return m;
}

// Fuxoft AY Language, loaded at 0x9000: volume and pitch programs, a
// subroutine, and channels that use every command.
Bytes fxm_seed() {
  constexpr int kLoad = 0x9000;
  Bytes block(6);
  auto at = [&block] { return kLoad + static_cast<int>(block.size()); };
  auto add = [&block](std::initializer_list<int> bytes) {
    for (int b : bytes) block.push_back(static_cast<uint8_t>(b));
  };
  const int volumes = at();
  add({0x0F, 0x02, 0x3C, 0x3A, 0x08, 0x00});
  const int pitches = at();
  add({0x82, 0x04, 0x83, 0x02, 0xFE, 0x84, 0x00, 0x80, (pitches + 5) & 0xFF, (pitches + 5) >> 8});
  const int sub = at();
  add({0x8D, 0x03, 0x01, 0x03, 0x89});
  const int a = at();
  add({0x87, volumes & 0xFF, volumes >> 8, 0x86, pitches & 0xFF, pitches >> 8, 0x84, 0x1E, 0x88, 0x0C, 0x82, 0x03,
       0x81, sub & 0xFF, sub >> 8, 0x8E, 0x02, 0x83, 0x8A, 0x20, 0x02, 0x22, 0x02, 0x8B, 0x85, 0x00, 0x24, 0x04,
       0x8C, 0x00, 0x00, 0x00, 0x03, 0x80, a & 0xFF, a >> 8});
  const int b = at();
  add({0x87, volumes & 0xFF, volumes >> 8, 0x86, pitches & 0xFF, pitches >> 8, 0x30, 0x05, 0x00, 0x07,
       0x80, b & 0xFF, b >> 8});
  const int c = at();
  add({0x00, 0x0C, 0x80, c & 0xFF, c >> 8});
  const int starts[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    block[2 * i] = static_cast<uint8_t>(starts[i] & 0xFF);
    block[2 * i + 1] = static_cast<uint8_t>(starts[i] >> 8);
  }
  Bytes file = {'F', 'X', 'S', 'M', kLoad & 0xFF, kLoad >> 8};
  file.insert(file.end(), block.begin(), block.end());
  return file;
}

// Global Tracker: every pattern command, a sample whose lines try each
// mixer and envelope bit, a looping ornament, and a pattern run past its 64
// rows.
GtrModule gtr_seed() {
  GtrModule m;
  GtrLine noisy, through;
  noisy.noise = true;
  noisy.tone = false;
  noisy.noise_period = 9;
  noisy.tone_offset = -40;
  through.envelope = true;
  through.tone_offset = 300;
  m.samples = {GtrSample{}, GtrSample{1, {GtrLine{}, noisy, through}}};
  m.ornaments = {GtrOrnament{}, GtrOrnament{}, GtrOrnament{1, {0, 12, -5}}};
  m.positions = {0, 1, 0};
  m.loop = 1;
  m.patterns = {Tracks{Bytes{0xE9, 0xCE, 0x42, 0x61, 0x72, 0x82, 0x30, 0xE0, 0xD0, 0x6F, 0xF3, 0x5F, 0x70, 0xE0,
                             0x31, 0xFF},
                       Bytes{0xEC, 0x61, 0xB0, 0x24, 0xD3, 0xFF}, Bytes{0xC8, 0x20, 0x60, 0x85, 0x18, 0xFF}},
                Tracks{Bytes{0xBF, 0x30, 0x85, 0x32, 0xFF}, Bytes{0xFF}, Bytes{0x81, 0x40, 0xFF}}};
  return m;
}

// Fast Tracker: every command, samples with added-up and masked lines,
// a looped ornament, transposed positions.
FtcModule ftc_seed() {
  FtcModule m;
  FtcLine drum;
  drum.tone = false;
  drum.noise = true;
  drum.noise_period = 7;
  drum.add_noise = true;
  drum.tone_offset = 0x40;
  drum.add_tone = true;
  drum.slide = -1;
  FtcLine buzz;
  buzz.envelope = true;
  buzz.envelope_offset = -3;
  buzz.add_envelope = true;
  buzz.slide = 1;
  m.samples = {FtcSample{1, {FtcLine{}, drum}}, FtcSample{0, {buzz}}};
  m.ornaments = {FtcOrnament{}, FtcOrnament{1, {0, 4, 7}}};
  m.patterns = {{Bytes{0xF0, 0x04, 0x2C, 0x00, 0xCD, 0x70, 0x41, 0x3C, 0x20, 0x00, 0x01, 0x64, 0x3F, 0xCC, 0x40,
                       0xED, 0xFE, 0xFF, 0x72, 0xEE, 0x10, 0x74, 0x42, 0x30, 0x40, 0xFF},
                 Bytes{0x00, 0x80, 0x2A, 0x81, 0x43, 0xFF}, Bytes{0x01, 0x3A, 0x10, 0x00, 0x68, 0x45}},
                {Bytes{0x00, 0x90, 0x43, 0xFF}, Bytes{0x01, 0x91, 0x40, 0x92}, Bytes{0xFF}}};
  m.positions = {{0, 0}, {1, 3}, {0, 0xFE}};
  m.loop = 1;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tools_tracker_fuzz_seeds DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];
  AscModule asc = asc_seed();
  PscModule psc = psc_seed();
  bool ok = write(dir + "/made.asc", make_asc(asc));
  asc.version = 0;
  asc.text = false;
  ok = write(dir + "/made-v0.asc", make_asc(asc)) && ok;
  ok = write(dir + "/made.psc", make_psc(psc)) && ok;
  psc.version = 2;
  ok = write(dir + "/made-v2.psc", make_psc(psc)) && ok;
  ok = write(dir + "/made.stp", make_stp(stp_seed())) && ok;
  ok = write(dir + "/made.sqt", make_sqt(sqt_seed())) && ok;
  ok = write(dir + "/made.fxm", fxm_seed()) && ok;
  ok = write(dir + "/made.psm", make_psm(psm_seed())) && ok;
  GtrModule gtr = gtr_seed();
  ok = write(dir + "/made.gtr", make_gtr(gtr)) && ok;
  gtr.version = 0x10;
  gtr.address = 0xC350;
  ok = write(dir + "/made-v10.gtr", make_gtr(gtr)) && ok;
  FtcModule ftc = ftc_seed();
  ok = write(dir + "/made.ftc", make_ftc(ftc)) && ok;
  ftc.table = 2;
  ok = write(dir + "/made-107.ftc", make_ftc(ftc)) && ok;
  return ok ? 0 : 1;
}
