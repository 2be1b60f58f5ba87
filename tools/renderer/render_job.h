// One run of the renderer: a source file in, a WAV in the current
// directory out, or nothing and a reason.
#pragma once

#include <string>

#include "tools/renderer/render_plan.h"

namespace tools {

// The WAV's name: the source's file name with ".wav" in place of its
// extension, or with ".wav" added when the name has no dot.
std::string wav_name_for(const std::string& source);

// Reads `source`, renders it and writes `wav_path` (complete or not at all).
// Returns true, or false with a one-line reason.
bool render_file(const std::string& source, const std::string& wav_path, const RenderLimits& limits,
                 std::string* error);

}  // namespace tools
