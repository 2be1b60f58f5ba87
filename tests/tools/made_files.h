// Small files the tests make themselves: tunes in formats no Debian package
// ships, and WAV files with every header field under the test's control.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools_test {

using Bytes = std::vector<uint8_t>;

// A four-channel ProTracker module of two 64-row patterns with one looped
// square-wave sample. With `loops`, the last row jumps back to the second
// pattern (an intro and a loop); without, the song runs off its end.
Bytes make_mod(bool loops, const std::string& title = "made tune");

// An AdLib DOSBox capture (DRO 2.0) holding one tone of `tone_ms`, then
// `silence_ms` of nothing; `title` and `author` go into its tag block.
Bytes make_dro(int tone_ms, int silence_ms, const std::string& title, const std::string& author);

// A PSG register dump holding one steady tone for `hours`: a tune that
// plays for far longer than any render may run.
Bytes make_endless_psg(int hours);

// A canonical WAV file's layout, each field overridable.
struct WavLayout {
  uint16_t format_tag = 1;  // 1 PCM, 3 IEEE float, 0xFFFE extensible
  uint16_t channels = 2;
  uint32_t sample_rate = 44100;
  uint16_t bits = 16;
  uint32_t frames = 44100;
  bool override_data_size = false;
  uint32_t data_size = 0;  // used when override_data_size
  bool odd_chunk_before_data = false;  // a 3-byte chunk, padded to 4
  bool info_after_data = false;        // the LIST/INFO chunk at the end
  std::string title;                   // INAM; an INFO chunk only when set
  std::string artist;                  // IART
};

// A WAV with a sine-ish test signal per the layout.
Bytes make_wav(const WavLayout& layout);

// Bytes to and from files.
bool write_file(const std::string& path, const Bytes& bytes);
Bytes read_file(const std::string& path);
bool file_exists(const std::string& path);

// Decoded 16-bit stereo WAV contents for checks (via libsndfile).
struct WavContents {
  bool ok = false;
  int channels = 0;
  int sample_rate = 0;
  std::vector<int16_t> samples;  // interleaved
  std::string title, artist, album, copyright, comment, software;
  double seconds() const { return channels ? samples.size() / double(channels) / sample_rate : 0; }
};
WavContents read_wav(const std::string& path);

// Peak absolute sample value.
int peak(const std::vector<int16_t>& samples);

}  // namespace tools_test
