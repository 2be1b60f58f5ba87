// suxx: encodes one WAV file to MP3.
//   suxx -b <kbit> -m m "<in.wav>" "<out.mp3>"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/common/console.h"
#include "tools/common/pending_file.h"
#include "tools/encoder/encoder_options.h"
#include "tools/encoder/mp3_encoder.h"
#include "tools/encoder/wav_reader.h"

namespace {

const char kProgram[] = "suxx";

int encode(const tools::EncoderOptions& options) {
  FILE* in = std::fopen(options.input.c_str(), "rb");
  if (!in) {
    tools::report(kProgram, "cannot open " + options.input + ": " + std::strerror(errno));
    return 1;
  }
  std::string error;
  tools::WavReader reader;
  if (!reader.open_file(in, &error)) {
    std::fclose(in);
    tools::report(kProgram, options.input + ": " + error);
    return 1;
  }
  for (const std::string& warning : reader.warnings()) tools::report(kProgram, "warning: " + warning);

  tools::PendingFile output(options.output);
  tools::EncodeOutcome outcome;
  const bool ok = output.open(&error) && tools::encode_mp3(reader, options, output.stream(), &outcome, &error);
  std::fclose(in);
  if (!ok || !output.commit(&error)) {
    tools::report(kProgram, error);
    return 1;
  }
  if (!options.quiet) {
    tools::report(kProgram, options.output + ": " + std::to_string(outcome.bitrate_kbit) + " kbit/s, " +
                                std::to_string(outcome.frames) + " frames");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  tools::connect_error_output();
  tools::install_crash_cleanup(kProgram, "crashed; no MP3 written");
  const std::vector<std::string> args(argv + 1, argv + argc);
  tools::EncoderOptions options;
  std::string error;
  if (!tools::parse_encoder_options(args, &options, &error)) {
    tools::report(kProgram, error);
    std::fputs(tools::encoder_usage().c_str(), stderr);
    return 2;
  }
  if (options.help) {
    std::fputs(tools::encoder_usage().c_str(), stdout);
    return 0;
  }
  return encode(options);
}
