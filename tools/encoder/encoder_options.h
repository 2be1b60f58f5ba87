// suxx's command line: the subset of the usual MP3 encoder conventions that
// the converter and its users rely on.
//   suxx [-b kbit] [-m s|j|m|l|r] [-q 0..9] [--quiet] <in.wav> <out.mp3>
//   suxx --help
#pragma once

#include <string>
#include <vector>

namespace tools {

struct EncoderOptions {
  int bitrate_kbit = 128;
  char mode = 0;     // 's', 'j', 'm', 'l', 'r', or 0 for the library's choice
  int quality = -1;  // 0..9, or -1 for the library's default
  bool quiet = false;
  bool help = false;
  std::string input;
  std::string output;
};

// Parses the arguments after the program name; false with a reason for
// anything outside the subset.
bool parse_encoder_options(const std::vector<std::string>& args, EncoderOptions* options, std::string* error);

// The usage text, several lines.
std::string encoder_usage();

}  // namespace tools
