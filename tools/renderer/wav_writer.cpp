#include "tools/renderer/wav_writer.h"

#include "tools/common/sndfile_io.h"
#include "tools/common/text_encoding.h"

namespace tools {
namespace {

// Song messages can run to pages; the INFO chunk keeps a sensible part.
constexpr size_t kMaxTextBytes = 4000;

void set_text(SNDFILE* sound, int field, const std::string& text) {
  if (!text.empty()) sf_set_string(sound, field, utf8_prefix(text, kMaxTextBytes).c_str());
}

}  // namespace

WavWriter::~WavWriter() {
  if (sound_) sf_close(sound_);
}

bool WavWriter::open(FILE* file, const TuneTags& tags, const std::string& software, std::string* error) {
  SF_INFO info = {};
  info.samplerate = kSampleRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  sound_ = sf_open_virtual(file_virtual_io(), SFM_WRITE, &info, file);
  if (!sound_) {
    *error = std::string("cannot start the WAV file: ") + sf_strerror(nullptr);
    return false;
  }
  // The texts go in before any audio so that the INFO chunk precedes it.
  set_text(sound_, SF_STR_TITLE, tags.title);
  set_text(sound_, SF_STR_ARTIST, tags.artist);
  set_text(sound_, SF_STR_ALBUM, tags.album);
  set_text(sound_, SF_STR_COPYRIGHT, tags.copyright);
  set_text(sound_, SF_STR_COMMENT, tags.comment);
  set_text(sound_, SF_STR_SOFTWARE, software);
  return true;
}

bool WavWriter::write(const int16_t* frames, size_t count) {
  return sf_writef_short(sound_, frames, static_cast<sf_count_t>(count)) == static_cast<sf_count_t>(count);
}

bool WavWriter::close(std::string* error) {
  const int status = sf_close(sound_);
  sound_ = nullptr;
  if (status != 0) {
    *error = std::string("cannot complete the WAV file: ") + sf_error_number(status);
    return false;
  }
  return true;
}

}  // namespace tools
