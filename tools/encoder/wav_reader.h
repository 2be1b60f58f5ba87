// The encoder's input: a RIFF WAV file read through libsndfile, with PCM of
// 8, 16, 24 or 32 bits or IEEE float of 32 or 64 bits, mono or stereo, and
// the texts of its LIST/INFO chunk.
#pragma once

#include <cstdint>
#include <cstdio>
#include <sndfile.h>
#include <string>
#include <vector>

namespace tools {

// The INFO texts, as UTF-8.
struct WavTags {
  std::string title;     // INAM
  std::string artist;    // IART
  std::string album;     // IPRD
  std::string copyright; // ICOP
  std::string comment;   // ICMT
  std::string software;  // ISFT
  bool any_title_field() const {
    return !title.empty() || !artist.empty() || !album.empty() || !copyright.empty() || !comment.empty();
  }
};

class WavReader {
 public:
  WavReader() = default;
  ~WavReader();
  WavReader(const WavReader&) = delete;
  WavReader& operator=(const WavReader&) = delete;

  // Opens a WAV in `file` (binary, at its start; it must stay open) or in
  // `size` bytes at `data` (they must outlive the reader). False with a
  // one-line reason when it is no WAV this encoder takes.
  bool open_file(FILE* file, std::string* error);
  bool open_memory(const uint8_t* data, size_t size, std::string* error);

  int channels() const { return info_.channels; }
  int sample_rate() const { return info_.samplerate; }
  int64_t frames() const { return info_.frames; }
  const WavTags& tags() const { return tags_; }
  // Things worth telling that do not stop the encoding.
  const std::vector<std::string>& warnings() const { return warnings_; }

  // Reads up to `count` frames as interleaved 32-bit samples (full scale at
  // the top of the range, whatever the file's depth); 0 at the end.
  size_t read(int32_t* samples, size_t count);

  // Where the bytes come from; public for libsndfile's callbacks only.
  struct Source {
    FILE* file = nullptr;
    const uint8_t* data = nullptr;
    int64_t size = 0;      // of the whole file or memory
    int64_t base = 0;      // where the view libsndfile sees begins
    int64_t position = 0;  // within the view
    std::vector<int64_t> masked_ids;  // chunk ids that read as "JUNK"
    int64_t file_position = -1;       // where `file` stands, when known
  };

 private:
  bool open(std::string* error);
  bool reopen_as_raw(int64_t data_offset, std::string* error);
  void mask_damaged_lists();
  void note_claimed_size();
  void read_tags();

  Source source_;
  SNDFILE* sound_ = nullptr;
  SF_INFO info_ = {};
  WavTags tags_;
  std::vector<std::string> warnings_;
  std::vector<double> float_buffer_;
};

}  // namespace tools
