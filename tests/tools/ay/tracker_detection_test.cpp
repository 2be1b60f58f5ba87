// Recognition of the ASC Sound Master, Pro Sound Creator, Sound Tracker Pro
// and SQ-Tracker players: a made module of each is taken by its own format
// first in the engine's table and by none of the other three, and random
// bytes by none of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/tools/ay/tracker_module_maker.h"
#include "tools/renderer/ay/asc_player.h"
#include "tools/renderer/ay/psc_player.h"
#include "tools/renderer/ay/sqt_player.h"
#include "tools/renderer/ay/stp_player.h"

namespace {

using namespace tracker_test;
using tools::ay::Format;

const Format* const kMine[] = {&tools::ay::kAscFormat, &tools::ay::kPscFormat, &tools::ay::kStpFormat,
                               &tools::ay::kSqtFormat};

struct Made {
  const Format* format;
  Bytes module;
};

std::vector<Made> made_modules() {
  AscModule asc;
  asc.patterns = {Tracks{Bytes{0x60, 0x02, 0xFF}, Bytes{0x60, 0x5D, 0xFF}, Bytes{0x60, 0x5D, 0xFF}}};
  PscModule psc;
  psc.patterns = {Tracks{Bytes{0x02, 0xC0, 0xFE}, Bytes{0x7C, 0xC0, 0xFE}, Bytes{0x7C, 0xC0, 0xFE}}};
  psc.positions = {PscPosition{0, 1}};
  StpModule stp;
  stp.patterns = {Tracks{Bytes{0x80, 0x03, 0x00}, Bytes{0x80, 0xD0, 0x00}, Bytes{0x80, 0xD0, 0x00}}};
  stp.samples = {StpSample{0, {StpLine{}}}};
  SqtModule sqt;
  sqt.patterns = {SqtPattern{1, {0x02, 0x81}}};
  sqt.positions = {SqtPosition{{1, 1, 1}, {0, 0, 0}, 3}};
  sqt.samples = std::vector<SqtSample>(1);
  return {{&tools::ay::kAscFormat, make_asc(asc)},
          {&tools::ay::kPscFormat, make_psc(psc)},
          {&tools::ay::kStpFormat, make_stp(stp)},
          {&tools::ay::kSqtFormat, make_sqt(sqt)}};
}

TEST(TrackerDetection, MadeModuleIsTakenByItsOwnFormatOnly) {
  for (const Made& made : made_modules()) {
    SCOPED_TRACE(made.format->name);
    const Format* first = nullptr;
    for (const Format& format : tools::ay::formats()) {
      if (format.detect(made.module.data(), made.module.size())) {
        first = &format;
        break;
      }
    }
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->name, made.format->name);
    for (const Format* other : kMine) {
      if (other == made.format) continue;
      EXPECT_FALSE(other->detect(made.module.data(), made.module.size())) << other->name;
    }
    EXPECT_FALSE(play(*made.format, made.module).frames.empty());
  }
}

TEST(TrackerDetection, RandomBytesAreNotTaken) {
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<uint8_t>(state >> 24);
  };
  int taken = 0;
  for (int round = 0; round < 4000; ++round) {
    Bytes bytes(16 + round % 3000);
    for (uint8_t& b : bytes) b = next();
    // Runs of one value, as padding and empty patterns are.
    if (round % 4 == 0) std::fill(bytes.begin() + bytes.size() / 2, bytes.end(), bytes[0]);
    for (const Format* format : kMine) taken += format->detect(bytes.data(), bytes.size()) ? 1 : 0;
  }
  for (uint8_t fill : {0x00, 0x20, 0xFF}) {
    Bytes flat(4096, fill);
    for (const Format* format : kMine) taken += format->detect(flat.data(), flat.size()) ? 1 : 0;
  }
  EXPECT_EQ(taken, 0);
}

}  // namespace
