#include "tools/encoder/mp3_encoder.h"

#include <lame/lame.h>
#include <memory>
#include <vector>

#include "tools/common/sndfile_io.h"
#include "tools/common/text_encoding.h"
#include "tools/common/version.h"

namespace tools {
namespace {

struct LameDeleter {
  void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using LamePtr = std::unique_ptr<lame_global_flags, LameDeleter>;

// lame wants UTF-16 with a byte order mark and a terminating zero.
std::vector<unsigned short> utf16_for_lame(const std::string& utf8) {
  std::vector<unsigned short> text;
  text.push_back(0xFEFF);
  for (char16_t unit : utf8_to_utf16(utf8)) text.push_back(unit);
  text.push_back(0);
  return text;
}

void set_frame(lame_global_flags* lame, const char* id, const std::string& utf8) {
  if (!utf8.empty()) id3tag_set_textinfo_utf16(lame, id, utf16_for_lame(utf8).data());
}

void set_tags(lame_global_flags* lame, const WavTags& tags) {
  id3tag_init(lame);
  id3tag_add_v2(lame);
  if (tags.any_title_field()) {
    // ID3v1 holds Latin-1 only; these calls fill it (and add Latin-1 frames
    // to v2, which the UTF-16 ones below then replace).
    id3tag_set_title(lame, utf8_to_latin1(tags.title).c_str());
    id3tag_set_artist(lame, utf8_to_latin1(tags.artist).c_str());
    id3tag_set_album(lame, utf8_to_latin1(tags.album).c_str());
    id3tag_set_comment(lame, utf8_to_latin1(tags.comment).c_str());
  } else {
    id3tag_v2_only(lame);
  }
  set_frame(lame, "TIT2", tags.title);
  set_frame(lame, "TPE1", tags.artist);
  set_frame(lame, "TALB", tags.album);
  set_frame(lame, "TCOP", tags.copyright);
  if (!tags.comment.empty()) {
    const std::vector<unsigned short> none = utf16_for_lame("");
    id3tag_set_comment_utf16(lame, "eng", none.data(), utf16_for_lame(tags.comment).data());
  }
  set_frame(lame, "TSSE", std::string("suxx " TOOLS_VERSION " (LAME ") + get_lame_version() + ")");
}

bool configure(lame_global_flags* lame, const WavReader& input, const EncoderOptions& options) {
  lame_set_num_channels(lame, input.channels());
  lame_set_in_samplerate(lame, input.sample_rate());
  lame_set_num_samples(lame, static_cast<unsigned long>(input.frames()));
  lame_set_brate(lame, options.bitrate_kbit);
  lame_set_VBR(lame, vbr_off);
  // The reference encoder's own default: the info frame carries the track's
  // ReplayGain, which players use to level tracks.
  lame_set_findReplayGain(lame, 1);
  if (options.quality >= 0) lame_set_quality(lame, options.quality);
  switch (options.mode) {
    case 's': lame_set_mode(lame, STEREO); break;
    case 'j': lame_set_mode(lame, JOINT_STEREO); break;
    case 'm': lame_set_mode(lame, MONO); break;
    case 'l':
    case 'r':
      // One channel alone: the downmix takes it twice and the other not.
      lame_set_mode(lame, MONO);
      lame_set_scale_left(lame, options.mode == 'l' ? 2.0f : 0.0f);
      lame_set_scale_right(lame, options.mode == 'r' ? 2.0f : 0.0f);
      break;
    default: break;
  }
  return lame_init_params(lame) >= 0;
}

bool write_all(FILE* out, const unsigned char* bytes, int count) {
  return count <= 0 || std::fwrite(bytes, 1, static_cast<size_t>(count), out) == static_cast<size_t>(count);
}

}  // namespace

bool encode_mp3(WavReader& input, const EncoderOptions& options, FILE* out, EncodeOutcome* outcome,
                std::string* error) {
  LamePtr lame(lame_init());
  if (!lame) {
    *error = "the MP3 encoder does not start";
    return false;
  }
  set_tags(lame.get(), input.tags());
  if (!configure(lame.get(), input, options)) {
    *error = "the MP3 encoder does not take " + std::to_string(input.sample_rate()) + " Hz at " +
             std::to_string(options.bitrate_kbit) + " kbit/s";
    return false;
  }
  outcome->bitrate_kbit = lame_get_brate(lame.get());

  constexpr int kFrames = 8192;
  std::vector<int32_t> samples(static_cast<size_t>(kFrames) * 2);
  std::vector<int32_t> left;
  std::vector<unsigned char> mp3(static_cast<size_t>(kFrames) * 5 / 4 + 7200);
  size_t got;
  while ((got = input.read(samples.data(), kFrames)) > 0) {
    int bytes;
    if (input.channels() == 2) {
      bytes = lame_encode_buffer_interleaved_int(lame.get(), samples.data(), static_cast<int>(got), mp3.data(),
                                                 static_cast<int>(mp3.size()));
    } else {
      bytes = lame_encode_buffer_int(lame.get(), samples.data(), samples.data(), static_cast<int>(got),
                                     mp3.data(), static_cast<int>(mp3.size()));
    }
    if (bytes < 0 || !write_all(out, mp3.data(), bytes)) {
      *error = bytes < 0 ? "the MP3 encoder failed" : "cannot write the MP3 file";
      return false;
    }
    outcome->frames += static_cast<int64_t>(got);
  }
  const int tail = lame_encode_flush(lame.get(), mp3.data(), static_cast<int>(mp3.size()));
  if (tail < 0 || !write_all(out, mp3.data(), tail)) {
    *error = "cannot finish the MP3 file";
    return false;
  }
  // The info frame was reserved as the first frame, after the ID3v2 tag;
  // now that the stream is known it is filled in.
  unsigned char info_frame[2880];
  const size_t info_size = lame_get_lametag_frame(lame.get(), info_frame, sizeof info_frame);
  if (info_size > 0 && info_size <= sizeof info_frame) {
    const size_t id3v2_size = lame_get_id3v2_tag(lame.get(), nullptr, 0);
    if (seek_file(out, static_cast<int64_t>(id3v2_size), SEEK_SET) != 0 ||
        std::fwrite(info_frame, 1, info_size, out) != info_size) {
      *error = "cannot write the MP3 info frame";
      return false;
    }
  }
  return true;
}

}  // namespace tools
