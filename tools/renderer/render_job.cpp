#include "tools/renderer/render_job.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/common/pending_file.h"
#include "tools/common/version.h"
#include "tools/renderer/tune.h"
#include "tools/renderer/wav_writer.h"

namespace tools {
namespace {

// Chip tunes are small; a file this big is not one, and reading it whole
// would only waste memory.
constexpr long long kMaxSourceBytes = 256LL * 1024 * 1024;

bool read_whole_file(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t n;
  bool ok = true;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (static_cast<long long>(bytes.size() + n) > kMaxSourceBytes) {
      *error = path + " is too big to be a tune";
      ok = false;
      break;
    }
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  if (ok && std::ferror(file)) {
    *error = "cannot read " + path;
    ok = false;
  }
  std::fclose(file);
  if (ok) *data = std::move(bytes);
  return ok;
}

size_t file_name_start(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

std::string wav_name_for(const std::string& source) {
  std::string name = source.substr(file_name_start(source));
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name + ".wav";
}

bool render_file(const std::string& source, const std::string& wav_path, const RenderLimits& limits,
                 std::string* error) {
  std::vector<uint8_t> data;
  if (!read_whole_file(source, &data, error)) return false;
  std::unique_ptr<Tune> tune = open_tune(data, source.substr(0, std::string::npos), error);
  if (!tune) return false;

  PendingFile output(wav_path);
  if (!output.open(error)) return false;
  WavWriter writer;
  const std::string software = "amiga " TOOLS_VERSION " (" + backend_versions() + ")";
  if (!writer.open(output.stream(), tune->tags(), software, error)) return false;
  const RenderOutcome outcome = render_tune(*tune, plan_render(tune->length(), limits), limits, writer);
  if (outcome.sink_failed) {
    *error = "cannot write " + output.temp_path();
    return false;
  }
  if (outcome.written_frames == 0) {
    *error = outcome.rendered_frames == 0 ? "the " + tune->format_name() + " renders no audio"
                                          : "the " + tune->format_name() + " renders only silence";
    return false;
  }
  if (!writer.close(error)) return false;
  return output.commit(error);
}

}  // namespace tools
