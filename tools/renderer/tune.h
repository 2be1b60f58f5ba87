// The renderer's view of one playable track, whatever engine plays it. A
// backend opens a file from memory and hands back a Tune; the length policy
// and the WAV writer work on Tunes only, so another engine plugs in by
// adding one Backend to the list in backends.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tools {

// Every backend renders 16-bit stereo at this rate.
constexpr int kSampleRate = 44100;

// What the file tells about itself, as UTF-8 (empty when it tells nothing).
struct TuneTags {
  std::string title;
  std::string artist;
  std::string album;  // the game or album the track belongs to
  std::string copyright;
  std::string comment;
};

// What is known of the track's length before it is played.
struct TuneLength {
  enum class Kind {
    stated,   // the file states how long the track plays: `seconds`
    loops,    // it plays an intro, then loops: the loop starts at
              // `loop_start` and jumps back at `seconds`
    ends,     // it plays once and stops by itself (about `seconds`)
    unknown,  // nothing is known; it may never stop
  };
  Kind kind = Kind::unknown;
  double seconds = 0;
  double loop_start = 0;
};

class Tune {
 public:
  virtual ~Tune() = default;
  // The format's name for messages ("ProTracker MOD", "AdLib DRO").
  virtual std::string format_name() const = 0;
  virtual TuneTags tags() const = 0;
  virtual TuneLength length() const = 0;
  // With true, the track plays on past its end (from its loop start, or
  // wherever its engine goes on) instead of stopping there.
  virtual void set_play_past_end(bool play_on) = 0;
  // Renders up to `frames` interleaved stereo frames into `out`; returns
  // how many it rendered, fewer only at the track's end (0 after it).
  virtual size_t render(int16_t* out, size_t frames) = 0;
};

// One engine. `open` returns null when it does not play the data: with
// `error` left empty when the data is in none of its formats, with a
// one-line reason when it knows the format but cannot play this file.
// `path` is the file's name for engines that look at the extension or
// load companion files beside it.
struct Backend {
  const char* name;
  std::unique_ptr<Tune> (*open)(const std::vector<uint8_t>& data, const std::string& path,
                                std::string* error);
};

// The backends in the order they are tried: strict content checks first,
// engines that also go by the extension last.
const std::vector<Backend>& tune_backends();

// Tries every backend; null with a reason when none plays the data, which
// names why the engine that knew the format refused it.
std::unique_ptr<Tune> open_tune(const std::vector<uint8_t>& data, const std::string& path,
                                std::string* error);

// The engines' names and versions for the WAV's software field.
std::string backend_versions();

}  // namespace tools
