// Encodes what a WavReader delivers to MP3 with libmp3lame: constant bit
// rate, the library's default quality, its info frame at the start, and
// ID3v2 (UTF-16) and ID3v1 tags from the WAV's INFO texts.
#pragma once

#include <cstdio>
#include <string>

#include "tools/encoder/encoder_options.h"
#include "tools/encoder/wav_reader.h"

namespace tools {

struct EncodeOutcome {
  int bitrate_kbit = 0;  // what the library settled on
  int64_t frames = 0;    // input frames encoded
};

// Writes the whole MP3 to `out` (binary, empty, seekable). False with a
// one-line reason.
bool encode_mp3(WavReader& input, const EncoderOptions& options, FILE* out, EncodeOutcome* outcome,
                std::string* error);

}  // namespace tools
