// The note and volume tables of the ZX Spectrum trackers. The original
// players carry them as data; which one a module gets depends on its
// tracker and, for Pro Tracker 3, on the table number and the version
// digit in its header.
#pragma once

#include <array>
#include <cstdint>

namespace tools::ay::zx {

// Tone periods of 96 notes from C-1 to B-8.
using NoteTable = std::array<uint16_t, 96>;
// Output level for a channel volume (row) and a sample amplitude (column).
using VolumeTable = std::array<std::array<uint8_t, 16>, 16>;

// Sound Tracker's own table: one octave, each further octave half the one
// below (rounded down).
const NoteTable& sound_tracker_notes();

// Pro Tracker 3's table `number` (0 "Pro Tracker", 1 "Sound Tracker",
// 2 "ASM or PSC", 3 "Real Sound"; higher numbers wrap) for a module of
// version 3.`version`.
const NoteTable& pro_tracker3_notes(int number, int version);

// Pro Tracker 2's table: the one Pro Tracker 3 kept as table 0 up to 3.3.
const NoteTable& pro_tracker2_notes();

// Pro Tracker 3's volume tables. Volume 15 passes the amplitude through in
// both; up to 3.4 the other rows are cut rather than rounded and step a
// little too steeply (the "asymmetric" table), from 3.5 (and in Pro
// Tracker 2) each entry is the rounded proportional level.
const VolumeTable& pro_tracker3_volumes(int version);

}  // namespace tools::ay::zx
