// Writes the fuzzers' starting corpora: the tests' made tunes and WAVs.
//   tools_fuzz_seeds <render corpus dir> <wav corpus dir>
#include <cstdio>
#include <string>

#include "tests/tools/made_files.h"

using tools_test::Bytes;

namespace {

// The render target reads its first byte as the extension's index.
Bytes with_name(uint8_t name_index, const Bytes& data) {
  Bytes out = {name_index};
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tools_fuzz_seeds <render dir> <wav dir>\n");
    return 2;
  }
  const std::string render = argv[1], wav = argv[2];
  bool ok = tools_test::write_file(render + "/mod-ends", with_name(0, tools_test::make_mod(false)));
  ok &= tools_test::write_file(render + "/mod-loops", with_name(0, tools_test::make_mod(true)));
  ok &= tools_test::write_file(render + "/dro", with_name(9, tools_test::make_dro(500, 100, "t", "a")));
  ok &= tools_test::write_file(render + "/imf", with_name(10, Bytes{0, 0, 0, 0, 0x20, 1, 4, 0, 0xB0, 0x31, 40, 0}));
  tools_test::WavLayout layout;
  layout.frames = 64;
  ok &= tools_test::write_file(wav + "/pcm16", tools_test::make_wav(layout));
  layout.title = "title";
  layout.info_after_data = true;
  layout.odd_chunk_before_data = true;
  ok &= tools_test::write_file(wav + "/info-after", tools_test::make_wav(layout));
  tools_test::WavLayout floats;
  floats.format_tag = 3;
  floats.bits = 32;
  floats.channels = 1;
  floats.frames = 32;
  ok &= tools_test::write_file(wav + "/float", tools_test::make_wav(floats));
  tools_test::WavLayout extensible;
  extensible.format_tag = 0xFFFE;
  extensible.bits = 24;
  extensible.frames = 32;
  extensible.override_data_size = true;
  extensible.data_size = 0;
  ok &= tools_test::write_file(wav + "/extensible-zero-size", tools_test::make_wav(extensible));
  return ok ? 0 : 1;
}
