#include "tools/renderer/tune.h"

#include "tools/renderer/adplug_tune.h"
#include "tools/renderer/ay_tune.h"
#include "tools/renderer/openmpt_tune.h"

namespace tools {

const std::vector<Backend>& tune_backends() {
  // The AY engine's formats are checked strictly by their content and no
  // other engine knows them, yet libopenmpt's oldest formats (Soundtracker
  // modules without a signature) could take a headerless ZX module, so it
  // goes first. libopenmpt checks every format by its content; AdPlug
  // trusts the extension for a few headerless formats, so it comes last.
  static const std::vector<Backend> backends = {
      {"AY/YM engine", open_ay_tune},
      {"libopenmpt", open_openmpt_tune},
      {"AdPlug", open_adplug_tune},
  };
  return backends;
}

std::unique_ptr<Tune> open_tune(const std::vector<uint8_t>& data, const std::string& path,
                                std::string* error) {
  if (data.empty()) {
    *error = "the file is empty";
    return nullptr;
  }
  std::string refusal;  // from the first engine that knew the format
  for (const Backend& backend : tune_backends()) {
    std::string reason;
    std::unique_ptr<Tune> tune;
    try {
      tune = backend.open(data, path, &reason);
    } catch (const std::exception&) {
      // A loader that runs out of memory on a forged size rejects the file.
      tune = nullptr;
    }
    if (tune) return tune;
    if (refusal.empty()) refusal = reason;
  }
  *error = "not a tune in any format this renderer plays";
  if (!refusal.empty()) *error = "the file cannot be played: " + refusal;
  return nullptr;
}

std::string backend_versions() {
  return openmpt_version() + ", " + adplug_version() + ", " + ay_engine_version();
}

}  // namespace tools
