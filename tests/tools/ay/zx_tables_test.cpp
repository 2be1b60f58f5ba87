// The ZX trackers' note and volume tables: the tuning they are known for,
// the version differences of Pro Tracker 3, and the scale in each.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/renderer/ay/zx_tables.h"

namespace {

using tools::ay::zx::NoteTable;
using tools::ay::zx::pro_tracker2_notes;
using tools::ay::zx::pro_tracker3_notes;
using tools::ay::zx::pro_tracker3_volumes;
using tools::ay::zx::sound_tracker_notes;

constexpr double kSpectrumClock = 1773400;
constexpr int kA4 = 45;  // C-1 is note 0

double frequency(uint16_t period) { return kSpectrumClock / (16.0 * period); }

// Every table falls a semitone a note, within what whole periods allow
// (Sound Tracker's own steps are off by up to 0.9 %, `slack`), and an
// octave halves the period.
void expect_scale(const NoteTable& table, const char* name, double slack = 0, int skip_note = -1) {
  for (size_t i = 1; i < table.size(); ++i) {
    ASSERT_LT(table[i], table[i - 1]) << name << " note " << i;
    if (static_cast<int>(i) == skip_note || static_cast<int>(i - 1) == skip_note || table[i] < 32) continue;
    // Whole periods are up to one off the exact value, each way.
    const double ratio = static_cast<double>(table[i - 1]) / table[i];
    EXPECT_NEAR(ratio, std::pow(2.0, 1.0 / 12), 0.003 + slack + 2.0 / table[i]) << name << " note " << i;
  }
  for (size_t i = 12; i < table.size(); ++i) {
    if (static_cast<int>(i) == skip_note || static_cast<int>(i - 12) == skip_note) continue;
    EXPECT_NEAR(table[i - 12], 2 * table[i], 2) << name << " note " << i;
  }
}

TEST(ZxNoteTables, EveryTableIsAnEvenScale) {
  expect_scale(sound_tracker_notes(), "Sound Tracker", 0.01);
  expect_scale(pro_tracker2_notes(), "Pro Tracker 2");
  for (int version : {3, 4, 5, 6, 7}) {
    expect_scale(pro_tracker3_notes(0, version), "PT3 table 0");
    expect_scale(pro_tracker3_notes(1, version), "PT3 table 1", 0.01, 23);
    expect_scale(pro_tracker3_notes(2, version), "PT3 table 2");
    expect_scale(pro_tracker3_notes(3, version), "PT3 table 3");
  }
}

TEST(ZxNoteTables, TablesKeepTheirKnownTuning) {
  // Sound Tracker's table sits almost a whole tone below concert pitch.
  const double sound_tracker_a = frequency(sound_tracker_notes()[kA4]);
  EXPECT_NEAR(12 * std::log2(440.0 / sound_tracker_a), 2.0, 0.2);
  // Pro Tracker's copy of it has the 24th note out of tune, and only that one.
  const NoteTable& copy = pro_tracker3_notes(1, 5);
  for (size_t i = 0; i < copy.size(); ++i) {
    if (i == 23) {
      EXPECT_NE(copy[i], sound_tracker_notes()[i]);
    } else {
      EXPECT_EQ(copy[i], sound_tracker_notes()[i]) << "note " << i;
    }
  }
  // The ASM table of 3.3 and older is concert pitch on the Spectrum's clock.
  EXPECT_NEAR(frequency(pro_tracker3_notes(2, 3)[kA4]), 440.0, 1.0);
  // "Real Sound" is the 3.4 "Pro Tracker" table a semitone lower.
  for (size_t i = 1; i < 96; ++i) EXPECT_EQ(pro_tracker3_notes(3, 5)[i], pro_tracker3_notes(0, 5)[i - 1]);
}

TEST(ZxNoteTables, ProTracker3TablesChangeWithTheVersion) {
  EXPECT_NE(pro_tracker3_notes(0, 3), pro_tracker3_notes(0, 4));
  EXPECT_EQ(pro_tracker3_notes(0, 4), pro_tracker3_notes(0, 7));
  EXPECT_NE(pro_tracker3_notes(2, 3), pro_tracker3_notes(2, 4));
  EXPECT_EQ(pro_tracker3_notes(1, 3), pro_tracker3_notes(1, 7));
  EXPECT_EQ(pro_tracker2_notes(), pro_tracker3_notes(0, 3));
  // Numbers beyond 3 wrap rather than read outside the tables.
  EXPECT_EQ(pro_tracker3_notes(4, 5), pro_tracker3_notes(0, 5));
  EXPECT_EQ(pro_tracker3_notes(255, 5), pro_tracker3_notes(3, 5));
}

TEST(ZxVolumeTables, RoundedFrom35AndCutBefore) {
  const auto& cut = pro_tracker3_volumes(4);
  const auto& rounded = pro_tracker3_volumes(5);
  EXPECT_EQ(&pro_tracker3_volumes(3), &cut);
  EXPECT_EQ(&pro_tracker3_volumes(7), &rounded);
  int differences = 0;
  for (int volume = 0; volume < 16; ++volume) {
    for (int amplitude = 0; amplitude < 16; ++amplitude) {
      const double proportional = volume * amplitude / 15.0;
      EXPECT_LE(std::abs(rounded[volume][amplitude] - proportional), 0.5 + 0.05)
          << "volume " << volume << " amplitude " << amplitude;
      EXPECT_LE(std::abs(cut[volume][amplitude] - proportional), 1.0) << volume << " " << amplitude;
      if (volume == 15) {
        EXPECT_EQ(cut[volume][amplitude], amplitude);
        EXPECT_EQ(rounded[volume][amplitude], amplitude);
      }
      if (volume == 0 || amplitude == 0) {
        EXPECT_EQ(cut[volume][amplitude], 0);
        EXPECT_EQ(rounded[volume][amplitude], 0);
      }
      if (amplitude > 0) {
        EXPECT_GE(cut[volume][amplitude], cut[volume][amplitude - 1]);
        EXPECT_GE(rounded[volume][amplitude], rounded[volume][amplitude - 1]);
      }
      differences += cut[volume][amplitude] != rounded[volume][amplitude];
    }
  }
  EXPECT_GT(differences, 10);
}

}  // namespace
