// libFuzzer target: the Pro Tracker 3, 2 and 1 and Sound Tracker players
// (with Sound Tracker's ST1, ST3 and Flash Tracker forms) on arbitrary
// bytes. Each detection and parse must return, stay inside the input (the
// sanitizers watch that) and, when it accepts the bytes, give a song within
// the cap whose registers are in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/renderer/ay/fls_player.h"
#include "tools/renderer/ay/pt1_player.h"
#include "tools/renderer/ay/pt2_player.h"
#include "tools/renderer/ay/pt3_player.h"
#include "tools/renderer/ay/st1_player.h"
#include "tools/renderer/ay/st3_player.h"
#include "tools/renderer/ay/stc_player.h"

namespace {

void check(const tools::ay::AySong& song) {
  if (song.frames.empty() || song.frames.size() > tools::ay::kMaxFrames) std::abort();
  if (song.loop_frame >= static_cast<long>(song.frames.size())) std::abort();
  for (const tools::ay::Frame& frame : song.frames) {
    for (const tools::ay::ChipFrame& chip : frame) {
      const auto& regs = chip.regs;
      if (regs[1] > 15 || regs[3] > 15 || regs[5] > 15 || regs[6] > 31) std::abort();
      if (regs[8] > 31 || regs[9] > 31 || regs[10] > 31 || regs[13] > 15) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const tools::ay::Format* format : {&tools::ay::kPt3Format, &tools::ay::kPt2Format, &tools::ay::kPt1Format,
                                            &tools::ay::kStcFormat, &tools::ay::kSt1Format, &tools::ay::kSt3Format,
                                            &tools::ay::kFlsFormat}) {
    const bool detected = format->detect(data, size);
    tools::ay::AySong song;
    std::string error;
    const bool parsed = format->parse(data, size, &song, &error);
    // A parse may still refuse what the detection took (its data breaks
    // later), never take what the detection refused.
    if (parsed && !detected) std::abort();
    if (parsed) check(song);
  }
  return 0;
}
