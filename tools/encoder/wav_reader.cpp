#include "tools/encoder/wav_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tools/common/sndfile_io.h"
#include "tools/common/text_encoding.h"

namespace tools {
namespace {

using Source = WavReader::Source;

Source* as_source(void* user) { return static_cast<Source*>(user); }

sf_count_t source_length(void* user) {
  Source* source = as_source(user);
  return source->size - source->base;
}

sf_count_t source_seek(sf_count_t offset, int whence, void* user) {
  Source* source = as_source(user);
  sf_count_t base = 0;
  if (whence == SEEK_CUR) base = source->position;
  if (whence == SEEK_END) base = source->size - source->base;
  const sf_count_t target = base + offset;
  if (target < 0) return -1;
  source->position = target;
  return target;
}

// Up to `count` bytes at `offset` of the whole file or memory.
size_t read_at(Source& source, int64_t offset, void* buffer, int64_t count) {
  if (count <= 0 || offset < 0 || offset >= source.size) return 0;
  const int64_t n = std::min<int64_t>(count, source.size - offset);
  if (source.data) {
    std::memcpy(buffer, source.data + offset, static_cast<size_t>(n));
    return static_cast<size_t>(n);
  }
  // Samples are read in order: a seek only where the reads jump. (The
  // Windows C library drops its buffer at every seek.)
  if (offset != source.file_position && seek_file(source.file, offset, SEEK_SET) != 0) {
    source.file_position = -1;
    return 0;
  }
  const size_t got = std::fread(buffer, 1, static_cast<size_t>(n), source.file);
  source.file_position = got == static_cast<size_t>(n) ? offset + static_cast<int64_t>(got) : -1;
  return got;
}

sf_count_t source_read(void* buffer, sf_count_t count, void* user) {
  Source* source = as_source(user);
  const int64_t start = source->base + source->position;
  const size_t got = read_at(*source, start, buffer, count);
  // A damaged list reads as a JUNK chunk, which libsndfile skips whole.
  for (int64_t id : source->masked_ids) {
    for (int64_t i = std::max(id, start); i < std::min<int64_t>(id + 4, start + static_cast<int64_t>(got)); ++i) {
      static_cast<char*>(buffer)[i - start] = "JUNK"[i - id];
    }
  }
  source->position += static_cast<int64_t>(got);
  return static_cast<sf_count_t>(got);
}

sf_count_t source_write(const void*, sf_count_t, void*) { return 0; }

sf_count_t source_tell(void* user) { return as_source(user)->position; }

SF_VIRTUAL_IO g_source_io = {source_length, source_seek, source_read, source_write, source_tell};

bool is_wav(int format) {
  const int container = format & SF_FORMAT_TYPEMASK;
  return container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX;
}

bool is_supported_encoding(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
      return true;
    default:
      return false;
  }
}

std::string text(SNDFILE* sound, int field) {
  const char* value = sf_get_string(sound, field);
  return value ? text_to_utf8(value) : std::string();
}

// A data chunk of this size is a stream whose writer did not know its
// length; it means "to the end of the file", not a false claim.
constexpr long long kStreamingSize = 0xFFFFFFFFLL;

uint32_t little_endian_32(const uint8_t* bytes) {
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// Whether the items of a LIST chunk's `length` bytes at `start` each lie
// inside it, walked as libsndfile walks them: an id, then a size (read even
// when the id ends the chunk), except for the list types that have none.
bool list_items_fit(Source& source, int64_t start, int64_t length) {
  int64_t at = 0;
  uint8_t head[4];
  while (at < length) {
    if (read_at(source, start + at, head, 4) != 4) return true;
    at += 4;
    if (std::memcmp(head, "INFO", 4) == 0 || std::memcmp(head, "adtl", 4) == 0) continue;
    // Past the end of the file libsndfile reads a size of 0, which fits.
    if (read_at(source, start + at, head, 4) != 4) return true;
    at += 4;
    const uint32_t size = little_endian_32(head);
    const int64_t padded = static_cast<int64_t>(size) + (size & 1);
    if (padded > length - at) return false;
    at += padded;
  }
  return true;
}

// The chunks are 2,000 at most in any WAV a program writes; the walk stops
// there rather than read through a file of forged tiny ones.
constexpr int kMaxChunks = 2000;

}  // namespace

WavReader::~WavReader() {
  if (sound_) sf_close(sound_);
}

bool WavReader::open_file(FILE* file, std::string* error) {
  source_ = Source();
  source_.file = file;
  if (seek_file(file, 0, SEEK_END) != 0) {
    *error = "cannot read the WAV file";
    return false;
  }
  source_.size = tell_file(file);
  return open(error);
}

bool WavReader::open_memory(const uint8_t* data, size_t size, std::string* error) {
  source_ = Source();
  source_.data = data;
  source_.size = static_cast<int64_t>(size);
  return open(error);
}

bool WavReader::open(std::string* error) {
  if (source_.size == 0) {
    *error = "the WAV file is empty";
    return false;
  }
  mask_damaged_lists();
  info_ = SF_INFO();
  sound_ = sf_open_virtual(&g_source_io, SFM_READ, &info_, &source_);
  if (!sound_) {
    *error = std::string("not a WAV file this encoder reads: ") + sf_strerror(nullptr);
    return false;
  }
  if (!is_wav(info_.format)) {
    *error = "not a RIFF WAV file";
    return false;
  }
  if (info_.channels < 1) {
    *error = "the WAV file has no channels";
    return false;
  }
  if (info_.channels > 2) {
    *error = "the WAV file has " + std::to_string(info_.channels) + " channels; only mono and stereo are encoded";
    return false;
  }
  if (!is_supported_encoding(info_.format)) {
    *error = "the WAV file's sample format is not PCM of 8 to 32 bits nor IEEE float";
    return false;
  }
  read_tags();
  note_claimed_size();
  // libsndfile leaves the stream at the start of the samples.
  const int64_t data_offset = source_.position;
  if (info_.frames == 0 && data_offset < source_.size) {
    // A data chunk that claims no bytes, written by a program that never
    // came back to fill in the size: the samples run to the end of the file.
    if (!reopen_as_raw(data_offset, error)) return false;
  }
  if (info_.frames == 0) {
    *error = "the WAV file holds no audio";
    return false;
  }
  return true;
}

bool WavReader::reopen_as_raw(int64_t data_offset, std::string* error) {
  SF_INFO raw = {};
  raw.samplerate = info_.samplerate;
  raw.channels = info_.channels;
  raw.format = SF_FORMAT_RAW | (info_.format & SF_FORMAT_SUBMASK) | SF_ENDIAN_LITTLE;
  sf_close(sound_);
  source_.base = data_offset;
  source_.position = 0;
  sound_ = sf_open_virtual(&g_source_io, SFM_READ, &raw, &source_);
  if (!sound_) {
    *error = "cannot read the samples of the WAV file";
    return false;
  }
  info_ = raw;
  return true;
}

// libsndfile trusts the sizes inside a LIST chunk: an item claiming nearly
// 4 GiB wraps its bounds check and sends its parser back to the same item
// for ever. A list whose items do not fit in it is hidden from it (its texts
// are lost, the audio is not); so is one too short to hold its type.
void WavReader::mask_damaged_lists() {
  uint8_t head[8];
  if (read_at(source_, 0, head, 4) != 4 || std::memcmp(head, "RIFF", 4) != 0) return;
  int64_t at = 12;
  for (int chunk = 0; chunk < kMaxChunks && read_at(source_, at, head, 8) == 8; ++chunk) {
    const uint32_t size = little_endian_32(head + 4);
    const int64_t body = at + 8;
    const bool is_data = std::memcmp(head, "data", 4) == 0;
    if (is_data && (size == 0 || size == kStreamingSize)) return;
    if (std::memcmp(head, "LIST", 4) == 0 || std::memcmp(head, "INFO", 4) == 0) {
      const int64_t length = std::min<int64_t>(size, source_.size - body);
      if (size < 4 || !list_items_fit(source_, body, length)) {
        source_.masked_ids.push_back(at);
        warnings_.push_back("the LIST chunk at byte " + std::to_string(at) +
                            " is damaged; its texts are ignored");
      }
    }
    at = body + size + (size & 1);
  }
}

void WavReader::note_claimed_size() {
  char log[4096] = {};
  sf_command(sound_, SFC_GET_LOG_INFO, log, sizeof log);
  // libsndfile notes "data : <claimed> (should be <present>)" when the data
  // chunk claims more than the file holds, then reads what is there.
  const char* line = std::strstr(log, "data : ");
  if (!line) return;
  const char* end = std::strchr(line, '\n');
  const char* should = std::strstr(line, "(should be ");
  if (!should || (end && should > end)) return;
  const long long claimed = std::strtoll(line + 7, nullptr, 10);
  const long long present = std::strtoll(should + 11, nullptr, 10);
  if (claimed == kStreamingSize) return;
  warnings_.push_back("the data chunk claims " + std::to_string(claimed) + " bytes but the file holds " +
                      std::to_string(present) + "; encoding what is there");
}

void WavReader::read_tags() {
  tags_.title = text(sound_, SF_STR_TITLE);
  tags_.artist = text(sound_, SF_STR_ARTIST);
  tags_.album = text(sound_, SF_STR_ALBUM);
  tags_.copyright = text(sound_, SF_STR_COPYRIGHT);
  tags_.comment = text(sound_, SF_STR_COMMENT);
  tags_.software = text(sound_, SF_STR_SOFTWARE);
}

size_t WavReader::read(int32_t* samples, size_t count) {
  const int subtype = info_.format & SF_FORMAT_SUBMASK;
  if (subtype != SF_FORMAT_FLOAT && subtype != SF_FORMAT_DOUBLE) {
    const sf_count_t got = sf_readf_int(sound_, samples, static_cast<sf_count_t>(count));
    return got > 0 ? static_cast<size_t>(got) : 0;
  }
  // libsndfile truncates float samples read as integers (or scales them by
  // the file's peak); they are scaled here at full scale and clipped.
  float_buffer_.resize(count * static_cast<size_t>(info_.channels));
  const sf_count_t got = sf_readf_double(sound_, float_buffer_.data(), static_cast<sf_count_t>(count));
  if (got <= 0) return 0;
  const size_t values = static_cast<size_t>(got) * static_cast<size_t>(info_.channels);
  for (size_t i = 0; i < values; ++i) {
    const double scaled = float_buffer_[i] * 2147483648.0;
    // A NaN (a writer's fault; no sound has it) has no level: silence.
    samples[i] = std::isnan(scaled)         ? 0
                 : scaled >= 2147483647.0   ? INT32_MAX
                 : scaled <= -2147483648.0  ? INT32_MIN
                                            : static_cast<int32_t>(scaled);
  }
  return static_cast<size_t>(got);
}

}  // namespace tools
