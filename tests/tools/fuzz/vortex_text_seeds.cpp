// Writes the Vortex Tracker text fuzzer's starting corpus: made modules for
// one, two and three chips whose columns use every command, envelope,
// ornament, sample flag and key the reader knows.
//   tools_vortex_text_fuzz_seeds <corpus dir>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

const char kModule[] =
    "[Module]\nVortexTrackerII=1\nVersion=3.7\nTitle=Seed\nAuthor=Fuzz\nNoteTable=1\nChipFreq=1750000\n"
    "IntFreq=48828\nSpeed=2\nNoise=HEX\nPlayOrder=0,L1,0\n\n"
    "[Ornament1]\n0,L4,7,-12\n\n"
    "[Sample1]\nTNE +001_ +02_ F_\nTne -010^ -01^ C- L\ntnE +000_ +1F_ 8+\n\n"
    "[Sample2]\n..E +000_ +00_ 0_ L\n\n"
    "[Pattern0]\n"
    "..2F|.3|C-4 1E1F 1102|R-- 2F.. 2104|C#8 .... 3.0F\n"
    "....|..|--- .... 4.01|--- ..1. 5.02|--- ...8 6.21\n"
    "1234|1F|B-1 2A.. 9103|A#3 1... A204|R-- .... B..3\n\n"
    "[Pattern1]\n"
    "....|..|G-3 1.1C ....|--- .... ....|--- .... ....\n"
    "....|..|--- .... ....|--- .... ....|--- .... ....\n\n";

const char kSecond[] =
    "[Module]\nVersion=3.5\nNoteTable=3\nSpeed=1\nPlayOrder=L0\n\n"
    "[Sample1]\nTN. +000_ +00_ F_ L\n\n"
    "[Pattern0]\n....|..|E-5 1... ....|--- .... ....|--- .... ....\n\n";

bool write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tools_vortex_text_fuzz_seeds <corpus dir>\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = write(dir + "/one-chip", kModule);
  ok &= write(dir + "/two-chips", std::string(kModule) + kSecond);
  ok &= write(dir + "/three-chips", std::string(kModule) + kSecond + kSecond);
  return ok ? 0 : 1;
}
