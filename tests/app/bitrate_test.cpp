#include <gtest/gtest.h>

#include "app/bitrate.h"

namespace {

TEST(BitrateEntry, AnyWholeNumberFrom56To320IsTakenAndAnythingElseGives128) {
  struct Case {
    const char* entry;
    int32_t rate;
  };
  const Case cases[] = {
      {"56", 56},      {"320", 320},   {"55", 128},     {"321", 128},  {"0", 128},     {"", 128},
      {"abc", 128},    {"192abc", 192}, {"$c0", 192},   {"  200", 200}, {"-128", 128},  {"%11000000", 192},
      {"4294967488", 192},  // wraps to 192 as a 32-bit value
      {"99999999999", 128},
  };
  for (const Case& c : cases) EXPECT_EQ(bitrate_from_entry(c.entry), c.rate) << '"' << c.entry << '"';
  EXPECT_EQ(bitrate_from_entry(nullptr), 128);
}

}  // namespace
