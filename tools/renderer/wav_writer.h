// The renderer's output: RIFF WAV, 16-bit PCM, 44,100 Hz, stereo, with the
// tune's tags in a LIST/INFO chunk, written through libsndfile.
#pragma once

#include <cstdio>
#include <sndfile.h>
#include <string>

#include "tools/renderer/render_plan.h"
#include "tools/renderer/tune.h"

namespace tools {

class WavWriter : public PcmSink {
 public:
  WavWriter() = default;
  ~WavWriter() override;
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Starts a WAV in `file` (open for reading and writing, positioned at its
  // start) with `tags` and `software` as its INFO texts.
  bool open(FILE* file, const TuneTags& tags, const std::string& software, std::string* error);
  bool write(const int16_t* frames, size_t count) override;
  // Completes the header; the file stays open for its owner to close.
  bool close(std::string* error);

 private:
  SNDFILE* sound_ = nullptr;
};

}  // namespace tools
