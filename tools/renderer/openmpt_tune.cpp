#include "tools/renderer/openmpt_tune.h"

#include <cmath>
#include <libopenmpt/libopenmpt.h>

#include "tools/common/text_encoding.h"

namespace tools {
namespace {

struct ModuleDeleter {
  void operator()(openmpt_module* module) const { openmpt_module_destroy(module); }
};
using ModulePtr = std::unique_ptr<openmpt_module, ModuleDeleter>;

ModulePtr create_module(const std::vector<uint8_t>& data, std::string* error) {
  int code = 0;
  const char* message = nullptr;
  openmpt_module* module = openmpt_module_create_from_memory2(
      data.data(), data.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_store, nullptr,
      &code, &message, nullptr);
  if (!module) {
    *error = message && *message ? message : "libopenmpt does not open it";
    if (code == OPENMPT_ERROR_OUT_OF_MEMORY) *error = "out of memory while loading";
  }
  openmpt_free_string(message);
  if (module) {
    // The first sub-song is the module's own song; the rest are hidden ones
    // reached only through the order list.
    openmpt_module_select_subsong(module, 0);
    openmpt_module_ctl_set_text(module, "play.at_end", "stop");
    // No dither: the same file renders to the same samples on every run and
    // every platform.
    openmpt_module_ctl_set_integer(module, "dither", 0);
  }
  return ModulePtr(module);
}

std::string metadata(openmpt_module* module, const char* key) {
  const char* value = openmpt_module_get_metadata(module, key);
  std::string text = value ? value : "";
  openmpt_free_string(value);
  // libopenmpt already converts to UTF-8; the pass still tidies control
  // characters and padding.
  return text_to_utf8(text);
}

struct Position {
  int32_t order;
  int32_t row;
};

Position current_position(openmpt_module* module) {
  return {openmpt_module_get_current_order(module), openmpt_module_get_current_row(module)};
}

// Where the song goes on after its end: a second instance is placed just
// before the end, plays into it and one frame past it. When that is not the
// song's start, the module has an intro and loops (a jump back, or the
// format's restart position); when it is the start, the module simply ends.
TuneLength probe_length(const std::vector<uint8_t>& data, double duration) {
  TuneLength length;
  if (!std::isfinite(duration) || duration <= 0) return length;
  length.kind = TuneLength::Kind::ends;
  length.seconds = duration;
  std::string ignored;
  ModulePtr probe = create_module(data, &ignored);
  if (!probe) return length;
  openmpt_module_ctl_set_text(probe.get(), "play.at_end", "continue");
  openmpt_module_set_position_seconds(probe.get(), 0);
  const Position start = current_position(probe.get());
  openmpt_module_set_position_seconds(probe.get(), std::max(0.0, duration - 1.0));
  int16_t buffer[2 * 1024];
  // Two seconds at most: the end lies one second ahead.
  for (int block = 0; block < 2 * kSampleRate / 1024 + 2; ++block) {
    if (openmpt_module_read_interleaved_stereo(probe.get(), kSampleRate, 1024, buffer) == 0) {
      if (openmpt_module_read_interleaved_stereo(probe.get(), kSampleRate, 1, buffer) == 0) {
        return length;
      }
      const Position after = current_position(probe.get());
      if (after.order == start.order && after.row == start.row) return length;
      const double loop_start = openmpt_module_set_position_order_row(probe.get(), after.order, after.row);
      if (loop_start > 0 && loop_start < duration) {
        length.kind = TuneLength::Kind::loops;
        length.loop_start = loop_start;
      }
      return length;
    }
  }
  return length;
}

class OpenmptTune : public Tune {
 public:
  OpenmptTune(ModulePtr module, TuneLength length) : module_(std::move(module)), length_(length) {}

  std::string format_name() const override {
    const char* type = openmpt_module_get_metadata(module_.get(), "type_long");
    std::string name = type ? type : "module";
    openmpt_free_string(type);
    return name;
  }

  TuneTags tags() const override {
    TuneTags tags;
    tags.title = metadata(module_.get(), "title");
    tags.artist = metadata(module_.get(), "artist");
    tags.comment = metadata(module_.get(), "message_raw");
    return tags;
  }

  TuneLength length() const override { return length_; }

  void set_play_past_end(bool play_on) override {
    play_past_end_ = play_on;
    openmpt_module_ctl_set_text(module_.get(), "play.at_end", play_on ? "continue" : "stop");
  }

  size_t render(int16_t* out, size_t frames) override {
    size_t done = 0;
    while (done < frames) {
      size_t n = openmpt_module_read_interleaved_stereo(module_.get(), kSampleRate, frames - done,
                                                        out + 2 * done);
      if (n == 0 && play_past_end_) {
        // With "continue" the end reads 0 once, then the song goes on.
        n = openmpt_module_read_interleaved_stereo(module_.get(), kSampleRate, frames - done,
                                                   out + 2 * done);
      }
      if (n == 0) break;
      done += n;
    }
    return done;
  }

 private:
  ModulePtr module_;
  TuneLength length_;
  bool play_past_end_ = false;
};

}  // namespace

std::unique_ptr<Tune> open_openmpt_tune(const std::vector<uint8_t>& data, const std::string&,
                                        std::string* error) {
  const int probe = openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, data.data(),
                                              data.size(), data.size(), openmpt_log_func_silent,
                                              nullptr, openmpt_error_func_ignore, nullptr, nullptr,
                                              nullptr);
  if (probe == OPENMPT_PROBE_FILE_HEADER_RESULT_FAILURE) return nullptr;
  ModulePtr module = create_module(data, error);
  if (!module) {
    // A file too short for the probe to tell is no module libopenmpt knew.
    if (probe != OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS) error->clear();
    return nullptr;
  }
  const TuneLength length = probe_length(data, openmpt_module_get_duration_seconds(module.get()));
  return std::make_unique<OpenmptTune>(std::move(module), length);
}

std::string openmpt_version() {
  const char* version = openmpt_get_string("library_version");
  std::string text = std::string("libopenmpt ") + (version ? version : "?");
  openmpt_free_string(version);
  return text;
}

}  // namespace tools
