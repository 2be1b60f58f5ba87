// AY register dumps the tests write themselves: PSG, YM (each kind, packed
// in an LHA archive or bare) and VTX, from a list of register frames.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tools_test {

using Bytes = std::vector<uint8_t>;

// Registers R0..R15 of one frame (R14 and R15 only matter to YM5/YM6);
// R13 = 0xFF means the frame does not write the envelope shape.
using RegisterFrame = std::array<uint8_t, 16>;

// A frame sounding channel A at `period` and fixed `volume`, tone only,
// the shape left alone.
RegisterFrame tone_frame(int period, int volume);

// A song of `frames` frames that changes its tone every `step` frames.
std::vector<RegisterFrame> scale_frames(size_t frames, size_t step);

// PSG with the 16-byte header (rate byte for version 10), one interrupt
// marker per frame, writing only the registers that change.
Bytes make_psg(const std::vector<RegisterFrame>& frames, int rate_hz = 50);

struct YmFile {
  std::string kind = "YM6!";  // "YM2!", "YM3!", "YM3b", "YM5!", "YM6!"
  bool interleaved = true;
  uint32_t clock_hz = 2000000;
  uint16_t rate_hz = 50;
  uint32_t loop_frame = 0;
  std::string title, author, comment;
  std::vector<Bytes> drums;  // 8-bit unsigned samples
};

// The unpacked file.
Bytes make_ym(const YmFile& made, const std::vector<RegisterFrame>& frames);

// A bare -lh5- stream of `data` (literal codes only, which every LH5
// decoder reads), and an LHA archive (header level 0) holding it as one file.
Bytes lh5_stream(const Bytes& data);
Bytes lha_archive(const Bytes& data, const std::string& name);

struct VtxFile {
  bool ym = false;
  uint8_t stereo = 1;  // 0 mono, 1 ABC, 2 ACB, 3 BAC, 4..6 mirrored
  uint16_t loop_frame = 0;
  uint32_t clock_hz = 1773400;
  uint8_t rate_hz = 50;
  uint16_t year = 0;
  std::string title, author, program, tracker, comment;
};

Bytes make_vtx(const VtxFile& made, const std::vector<RegisterFrame>& frames);

}  // namespace tools_test
