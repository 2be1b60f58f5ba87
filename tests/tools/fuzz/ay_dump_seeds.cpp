// Writes the dump fuzzer's starting corpus: the tests' made PSG, YM (each
// kind, with effects and samples) and VTX files, each behind the first
// byte that tells the target how to present it.
//   tools_ay_dump_fuzz_seeds <corpus dir>
#include <cstdio>
#include <string>

#include "tests/tools/ay/made_ay_files.h"
#include "tests/tools/made_files.h"

using tools_test::Bytes;

namespace {

Bytes with_mode(uint8_t mode, const Bytes& data) {
  Bytes out = {mode};
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tools_ay_dump_fuzz_seeds <corpus dir>\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<tools_test::RegisterFrame> frames = tools_test::scale_frames(40, 5);
  // Every YM6 effect once: SID, drum, sinus-SID, sync-buzzer.
  const uint8_t codes[4] = {0x10, 0x50, 0x90, 0xD0};
  for (int i = 0; i < 4; ++i) {
    frames[5 + 5 * i][1] = static_cast<uint8_t>(frames[5 + 5 * i][1] | codes[i]);
    frames[5 + 5 * i][6] |= 1 << 5;
    frames[5 + 5 * i][14] = 100;
  }
  bool ok = tools_test::write_file(dir + "/psg", with_mode(0, tools_test::make_psg(frames)));
  for (const char* kind : {"YM2!", "YM3!", "YM3b", "YM5!", "YM6!"}) {
    tools_test::YmFile made;
    made.kind = kind;
    made.title = "t";
    made.drums = {Bytes(40, 200), Bytes(10, 7)};
    const Bytes ym = tools_test::make_ym(made, frames);
    const std::string name = std::string(kind).substr(0, 4);
    ok &= tools_test::write_file(dir + "/bare-" + name, with_mode(1, ym));
    ok &= tools_test::write_file(dir + "/packed-" + name, with_mode(2, ym));
    ok &= tools_test::write_file(dir + "/archive-" + name, with_mode(1, tools_test::lha_archive(ym, "x.bin")));
  }
  tools_test::VtxFile vtx;
  vtx.title = "title";
  vtx.year = 1999;
  const Bytes file = tools_test::make_vtx(vtx, frames);
  ok &= tools_test::write_file(dir + "/vtx", with_mode(3, file));
  Bytes unpacked_vtx(file.begin(), file.begin() + 16 + 5 + 5);  // the header, its texts ("title" and four empty)
  for (const auto& frame : frames) unpacked_vtx.insert(unpacked_vtx.end(), frame.begin(), frame.begin() + 14);
  ok &= tools_test::write_file(dir + "/vtx-block", with_mode(4, unpacked_vtx));
  const Bytes stream = tools_test::lh5_stream(Bytes(300, 'a'));
  Bytes lh5 = {44, 1};
  lh5.insert(lh5.end(), stream.begin(), stream.end());
  ok &= tools_test::write_file(dir + "/lh5", with_mode(5, lh5));
  return ok ? 0 : 1;
}
