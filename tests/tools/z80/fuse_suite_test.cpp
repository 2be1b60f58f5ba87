// The Z80 test suite of the FUSE emulator, written by other people and
// fetched by the setup (scripts/fetch-z80-tests): each case's registers and
// memory before, and after running for at least a given number of T-states
// the registers, the changed memory, the final T-state count and the
// port reads and writes with their T-states.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/renderer/z80/z80_cpu.h"

namespace {

namespace fs = std::filesystem;

fs::path suite_dir() {
  fs::path cache;
  if (const char* dir = std::getenv("QUARVO_CACHE")) cache = dir;
  else if (const char* xdg = std::getenv("XDG_CACHE_HOME")) cache = fs::path(xdg) / "quarvo";
  else cache = fs::path(std::getenv("HOME")) / ".cache" / "quarvo";
  return cache / "fuse-z80-tests";
}

struct State {
  std::array<unsigned, 13> pairs{};  // AF BC DE HL AF' BC' DE' HL' IX IY SP PC MEMPTR
  unsigned i = 0, r = 0, iff1 = 0, iff2 = 0, im = 0, halted = 0;
  uint64_t cycles = 0;
};

struct PortEvent {
  uint64_t t;
  bool write;
  unsigned port, value;
  bool operator==(const PortEvent& o) const {
    return t == o.t && write == o.write && port == o.port && value == o.value;
  }
};

struct Block {
  unsigned address;
  std::vector<unsigned> bytes;
};

struct Case {
  std::string name;
  State before, after;
  std::vector<Block> memory, changed;
  std::vector<PortEvent> ports;
};

bool read_state(std::istream& in, State& s) {
  for (unsigned& p : s.pairs) in >> std::hex >> p;
  in >> std::hex >> s.i >> s.r >> std::dec >> s.iff1 >> s.iff2 >> s.im >> s.halted >> s.cycles;
  return bool(in);
}

// "<address> <byte>... -1" lines, the list ending with a lone -1 in the
// input file and with a blank line (or the end) in the expected one.
std::vector<Block> read_blocks(std::istream& in, bool until_blank) {
  std::vector<Block> blocks;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word)) {
      if (until_blank) break;
      continue;
    }
    if (word == "-1") break;
    Block block{unsigned(std::stoul(word, nullptr, 16)), {}};
    while (words >> word && word != "-1") block.bytes.push_back(std::stoul(word, nullptr, 16));
    blocks.push_back(block);
  }
  return blocks;
}

std::vector<Case> read_suite(const fs::path& dir) {
  std::vector<Case> cases;
  std::ifstream in(dir / "tests.in"), expected(dir / "tests.expected");
  std::string line;
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    Case c;
    c.name = line;
    if (!read_state(in, c.before)) break;
    std::getline(in, line);
    c.memory = read_blocks(in, false);
    cases.push_back(c);
  }
  size_t n = 0;
  while (n < cases.size() && std::getline(expected, line)) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    Case& c = cases[n++];
    if (line != c.name) {
      ADD_FAILURE() << "tests.expected has " << line << " where tests.in has " << c.name;
      return {};
    }
    // Event lines are indented; the first register line is not.
    while (expected.peek() == ' ') {
      std::getline(expected, line);
      std::istringstream words(line);
      uint64_t t;
      std::string type;
      unsigned port, value = 0;
      words >> std::dec >> t >> type >> std::hex >> port >> value;
      if (type == "PR" || type == "PW") c.ports.push_back({t, type == "PW", port, value});
    }
    read_state(expected, c.after);
    std::getline(expected, line);
    c.changed = read_blocks(expected, true);
  }
  if (n != cases.size()) ADD_FAILURE() << "tests.expected ends after " << n << " of " << cases.size();
  return cases;
}

// Reads answer the port's high byte, as the suite's own harness does.
class RecordingPorts : public tools::z80::Ports {
 public:
  uint8_t in(uint16_t port, uint64_t t) override {
    const uint8_t value = port >> 8;
    events.push_back({t, false, port, value});
    return value;
  }
  void out(uint16_t port, uint8_t value, uint64_t t) override { events.push_back({t, true, port, value}); }
  std::vector<PortEvent> events;
};

void load(tools::z80::Registers& regs, const State& s) {
  uint16_t* pairs[13] = {&regs.af, &regs.bc,  &regs.de,  &regs.hl, &regs.af2, &regs.bc2,   &regs.de2,
                         &regs.hl2, &regs.ix, &regs.iy, &regs.sp, &regs.pc,  &regs.memptr};
  for (int k = 0; k < 13; ++k) *pairs[k] = s.pairs[k];
  regs.i = s.i;
  regs.r = s.r;
  regs.iff1 = s.iff1;
  regs.iff2 = s.iff2;
  regs.im = s.im;
  regs.halted = s.halted;
}

// Every difference of one case, or an empty text.
std::string run_case(const Case& c) {
  std::vector<uint8_t> memory(65536, 0);
  for (const Block& b : c.memory)
    for (size_t k = 0; k < b.bytes.size(); ++k) memory[(b.address + k) & 0xFFFF] = b.bytes[k];
  std::vector<uint8_t> expected_memory = memory;
  for (const Block& b : c.changed)
    for (size_t k = 0; k < b.bytes.size(); ++k) expected_memory[(b.address + k) & 0xFFFF] = b.bytes[k];

  RecordingPorts ports;
  tools::z80::Cpu cpu(memory.data(), ports);
  load(cpu.regs, c.before);
  cpu.run_until(c.before.cycles);

  State got;
  const tools::z80::Registers& r = cpu.regs;
  const uint16_t pairs[13] = {r.af, r.bc, r.de, r.hl, r.af2, r.bc2, r.de2, r.hl2, r.ix, r.iy, r.sp, r.pc, r.memptr};
  for (int k = 0; k < 13; ++k) got.pairs[k] = pairs[k];
  std::ostringstream diff;
  static const char* const names[13] = {"AF", "BC", "DE", "HL", "AF'", "BC'", "DE'",
                                        "HL'", "IX", "IY", "SP", "PC", "MEMPTR"};
  for (int k = 0; k < 13; ++k)
    if (got.pairs[k] != c.after.pairs[k])
      diff << std::hex << " " << names[k] << " " << got.pairs[k] << " (expected " << c.after.pairs[k] << ")";
  auto compare = [&diff](const char* name, uint64_t got, uint64_t want) {
    if (got != want) diff << std::hex << " " << name << " " << got << " (expected " << want << ")";
  };
  compare("I", r.i, c.after.i);
  compare("R", r.r, c.after.r);
  compare("IFF1", r.iff1, c.after.iff1);
  compare("IFF2", r.iff2, c.after.iff2);
  compare("IM", r.im, c.after.im);
  compare("halted", r.halted, c.after.halted);
  compare("T-states", cpu.cycles, c.after.cycles);
  for (size_t a = 0; a < memory.size(); ++a) {
    if (memory[a] != expected_memory[a]) {
      diff << std::hex << " memory " << a << " = " << unsigned(memory[a]) << " (expected "
           << unsigned(expected_memory[a]) << ")";
      break;
    }
  }
  if (!(ports.events == c.ports)) {
    diff << " ports:";
    for (const PortEvent& e : ports.events)
      diff << std::hex << " " << (e.write ? "PW " : "PR ") << e.port << "=" << e.value << std::dec << " at " << e.t;
    diff << " (expected";
    for (const PortEvent& e : c.ports)
      diff << std::hex << " " << (e.write ? "PW " : "PR ") << e.port << "=" << e.value << std::dec << " at " << e.t;
    diff << ")";
  }
  return diff.str();
}

TEST(FuseZ80Suite, EveryCaseEndsInTheExpectedState) {
  const fs::path dir = suite_dir();
  if (!fs::exists(dir / "tests.in") || !fs::exists(dir / "tests.expected"))
    GTEST_SKIP() << "the FUSE Z80 suite is not in " << dir << " (scripts/fetch-z80-tests puts it there)";
  const std::vector<Case> cases = read_suite(dir);
  ASSERT_GT(cases.size(), 1000u) << "the suite in " << dir << " was not read";
  size_t passed = 0;
  for (const Case& c : cases) {
    const std::string diff = run_case(c);
    if (diff.empty()) ++passed;
    else ADD_FAILURE() << "case " << c.name << ":" << diff;
  }
  std::printf("FUSE Z80 suite: %zu of %zu cases pass\n", passed, cases.size());
}

}  // namespace
