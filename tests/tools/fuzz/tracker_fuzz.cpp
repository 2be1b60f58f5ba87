// libFuzzer target: the ASC Sound Master, Pro Sound Creator, Sound Tracker
// Pro, SQ-Tracker, Fuxoft AY Language (its own files and AY files), Fast
// Tracker, Global Tracker and Pro Sound Maker players on arbitrary bytes.
// Each detection and parse must return, stay inside the input (the
// sanitizers watch that) and, when it accepts the bytes, give a song within
// the cap whose registers are in range; a parse never takes what its
// detection refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/renderer/ay/asc_player.h"
#include "tools/renderer/ay/ftc_player.h"
#include "tools/renderer/ay/fxm_ay_file.h"
#include "tools/renderer/ay/fxm_player.h"
#include "tools/renderer/ay/gtr_player.h"
#include "tools/renderer/ay/psc_player.h"
#include "tools/renderer/ay/psm_player.h"
#include "tools/renderer/ay/sqt_player.h"
#include "tools/renderer/ay/stp_player.h"

namespace {

void check(const tools::ay::AySong& song) {
  if (song.frames.empty() || song.frames.size() > tools::ay::kMaxFrames) std::abort();
  if (song.loop_frame >= static_cast<long>(song.frames.size())) std::abort();
  for (const tools::ay::Frame& frame : song.frames) {
    const auto& regs = frame[0].regs;
    if (regs[1] > 15 || regs[3] > 15 || regs[5] > 15 || regs[6] > 31 || regs[7] > 63) std::abort();
    if (regs[8] > 16 || regs[9] > 16 || regs[10] > 16 || regs[13] > 15) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const tools::ay::Format* format :
       {&tools::ay::kAscFormat, &tools::ay::kPscFormat, &tools::ay::kStpFormat, &tools::ay::kSqtFormat,
        &tools::ay::kFxmFormat, &tools::ay::kFxmAyFormat, &tools::ay::kFtcFormat, &tools::ay::kGtrFormat,
        &tools::ay::kPsmFormat}) {
    const bool detected = format->detect(data, size);
    tools::ay::AySong song;
    std::string error;
    const bool parsed = format->parse(data, size, &song, &error);
    if (parsed && !detected) std::abort();
    if (parsed) check(song);
  }
  return 0;
}
