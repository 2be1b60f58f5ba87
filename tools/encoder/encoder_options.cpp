#include "tools/encoder/encoder_options.h"

#include <cstdlib>

#include "tools/common/version.h"

namespace tools {
namespace {

bool parse_int(const std::string& text, int low, int high, int* value) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const int number = std::atoi(text.c_str());
  if (number < low || number > high) return false;
  *value = number;
  return true;
}

// An option's value, either glued to it ("-b192") or the next argument.
bool take_value(const std::vector<std::string>& args, size_t* i, std::string* value) {
  const std::string& arg = args[*i];
  if (arg.size() > 2) {
    *value = arg.substr(2);
    return true;
  }
  if (*i + 1 >= args.size()) return false;
  *value = args[++*i];
  return true;
}

}  // namespace

bool parse_encoder_options(const std::vector<std::string>& args, EncoderOptions* options, std::string* error) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (arg == "--help") {
      options->help = true;
    } else if (arg == "--quiet") {
      options->quiet = true;
    } else if (arg.compare(0, 2, "-b") == 0) {
      if (!take_value(args, &i, &value) || !parse_int(value, 8, 320, &options->bitrate_kbit)) {
        *error = "-b takes a bit rate of 8 to 320 kbit/s";
        return false;
      }
    } else if (arg.compare(0, 2, "-m") == 0) {
      if (!take_value(args, &i, &value) || value.size() != 1 || value.find_first_of("sjmlr") != 0) {
        *error = "-m takes one of s, j, m, l, r";
        return false;
      }
      options->mode = value[0];
    } else if (arg.compare(0, 2, "-q") == 0) {
      if (!take_value(args, &i, &value) || !parse_int(value, 0, 9, &options->quality)) {
        *error = "-q takes a quality of 0 to 9";
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else {
      files.push_back(arg);
    }
  }
  if (options->help) return true;
  if (files.size() != 2) {
    *error = files.size() < 2 ? "name the WAV file and the MP3 file" : "too many file names";
    return false;
  }
  options->input = files[0];
  options->output = files[1];
  return true;
}

std::string encoder_usage() {
  return "suxx " TOOLS_VERSION ": encodes a WAV file to MP3\n"
         "usage: suxx [options] <in.wav> <out.mp3>\n"
         "  -b <kbit>   constant bit rate, 8 to 320 (default 128)\n"
         "  -m <mode>   s stereo, j joint stereo, m mono (downmix), l left, r right\n"
         "  -q <0..9>   quality, 0 best and slowest (default: the library's)\n"
         "  --quiet     print nothing but errors\n"
         "  --help      this text\n";
}

}  // namespace tools
