// How the samples and ornaments of the ZX Spectrum trackers step from one
// frame to the next. Two kinds: lines that add to what the lines before
// them left, with a mark that says where a loop returns (ASC Sound Master,
// Pro Sound Creator), and blocks of lines played straight through and then
// repeated from a loop line (Sound Tracker Pro, SQ-Tracker).
#pragma once

namespace tools::ay::tracker {

// The 5-bit two's complement field of a sample or ornament line.
int signed5(int bits);

// The line a sample or ornament of added-up lines plays, and the line its
// loop returns to. Runaway lines (no end mark) read past the module and
// stop the song as broken; the bound only keeps the count in range.
struct LineCursor {
  int line = 0;
  int loop = 0;

  void mark_loop() { loop = line; }
  void next();
  void repeat() { line = loop; }
};

// A sample's cursor and what its lines have added up since the note began.
struct SampleSums : LineCursor {
  int tone = 0;      // tone period offset, within ±0xFFF
  int noise = 0;     // 5 bits
  int envelope = 0;  // 16 bits
  int volume = 0;    // within ±15

  void restart() { *this = SampleSums(); }
  void add_tone(int delta);
  void add_noise(int delta) { noise = (noise + delta) & 0x1F; }
  void add_envelope(int delta) { envelope = (envelope + delta) & 0xFFFF; }
  // Mode 2 of a line's flags takes a step of volume off, mode 3 adds one.
  void slide_volume(int mode);
};

// An ornament's cursor and the note and noise offsets its lines add up to.
struct OrnamentSums : LineCursor {
  int note = 0;   // within ±96
  int noise = 0;  // 5 bits

  void restart() { *this = OrnamentSums(); }
  void add_note(int delta);
  void add_noise(int delta) { noise = (noise + delta) & 0x1F; }
};

// The line of a block played through [0, length) and then round
// [loop, loop_end); there is no loop when loop >= loop_end.
struct BlockCursor {
  int line = 0;
  bool looping = false;

  void restart() { *this = BlockCursor(); }
  // Steps on a line; false when a block without a loop ran out.
  bool next(int length, int loop, int loop_end);
};

}  // namespace tools::ay::tracker
