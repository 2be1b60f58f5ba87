// Writes the Project AY fuzzer's starting corpus: made files with a
// Spectrum AY player, a beeper loop and a CPC player.
//   tools_project_ay_fuzz_seeds <corpus dir>
#include <cstdio>
#include <string>

#include "tests/tools/ay/made_project_ay.h"
#include "tests/tools/made_files.h"

using tools_test::Bytes;
namespace asm80 = tools_test::z80;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tools_project_ay_fuzz_seeds <corpus dir>\n");
    return 2;
  }
  const std::string dir = argv[1];
  tools_test::MadeAySong spectrum;
  spectrum.name = "spectrum";
  spectrum.length_frames = 10;
  spectrum.init = 0x8000;
  spectrum.interrupt = 0x8100;
  Bytes init, tick;
  asm80::spectrum_ay(&init, 7, 0x3E);
  asm80::spectrum_ay(&init, 8, 15);
  asm80::ret(&init);
  asm80::spectrum_ay(&tick, 0, 0x40);
  asm80::delay(&tick, 100);
  asm80::spectrum_ay(&tick, 13, 8);
  asm80::ret(&tick);
  spectrum.blocks = {{0x8000, init}, {0x8100, tick}};

  tools_test::MadeAySong beeper;
  beeper.name = "beeper";
  beeper.init = 0x8000;
  beeper.blocks = {{0x8000, {0xEE, 0x10, 0xD3, 0xFE, 0x06, 100, 0x10, 0xFE, 0x18, 0xF6}}};

  tools_test::MadeAySong cpc;
  cpc.name = "cpc";
  cpc.init = 0x4000;
  Bytes code;
  asm80::cpc_ay(&code, 7, 0x3E);
  asm80::cpc_ay(&code, 8, 15);
  asm80::ret(&code);
  cpc.blocks = {{0x4000, code}};

  bool ok = true;
  int n = 0;
  for (const auto& songs : {std::vector<tools_test::MadeAySong>{spectrum}, {beeper}, {cpc}, {spectrum, beeper, cpc}}) {
    tools_test::MadeAyFile file;
    file.author = "seed";
    file.misc = "made";
    file.songs = songs;
    ok = tools_test::write_file(dir + "/made" + std::to_string(n++) + ".ay", tools_test::make_project_ay(file)) && ok;
  }
  return ok ? 0 : 1;
}
