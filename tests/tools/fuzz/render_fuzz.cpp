// libFuzzer target: the renderer's open-and-render path on arbitrary bytes,
// under a short cap. The first byte picks the file name's extension, since
// AdPlug trusts the extension for a few headerless formats.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/renderer/render_plan.h"
#include "tools/renderer/tune.h"

namespace {

class NullSink : public tools::PcmSink {
 public:
  bool write(const int16_t*, size_t) override { return true; }
};

const char* const kNames[] = {"fuzz.mod", "fuzz.xm", "fuzz.s3m", "fuzz.it", "fuzz.rad", "fuzz.d00",
                              "fuzz.hsc", "fuzz.a2m", "fuzz.cmf", "fuzz.dro", "fuzz.imf", "fuzz"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string name = kNames[data[0] % (sizeof kNames / sizeof kNames[0])];
  const std::vector<uint8_t> bytes(data + 1, data + size);
  std::string error;
  std::unique_ptr<tools::Tune> tune = tools::open_tune(bytes, name, &error);
  if (!tune) return 0;
  (void)tune->tags();
  (void)tune->format_name();
  tools::RenderLimits limits;
  limits.max_audio_seconds = 2;
  limits.fade_seconds = 0.5;
  NullSink sink;
  tools::render_tune(*tune, tools::plan_render(tune->length(), limits), limits, sink);
  return 0;
}
