#include "tools/renderer/ay/stc_image.h"

#include <cstdlib>

#include "tools/renderer/ay/stc_player.h"

namespace tools::ay::stc {
namespace {

void put_word(std::vector<uint8_t>& out, size_t at, size_t value) {
  out[at] = static_cast<uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<uint8_t>(value >> 8 & 0xFF);
}

// The stamp the compiler leaves in the identifier field, so that the
// Sound Tracker player takes no title from it.
constexpr char kStamp[] = "SONG BY ST COMPILE";

}  // namespace

void set_line(SampleBody* body, int line, int volume, bool tone, bool noise, int noise_period, int offset) {
  const int size = std::abs(offset) & 0xFFF;
  uint8_t* at = body->data() + 3 * line;
  at[0] = static_cast<uint8_t>((volume & 0x0F) | (size >> 8) << 4);
  uint8_t masks = static_cast<uint8_t>(noise_period & 0x1F);
  if (offset > 0) masks |= 0x20;
  if (!tone) masks |= 0x40;
  if (!noise) masks |= 0x80;
  at[1] = masks;
  at[2] = static_cast<uint8_t>(size & 0xFF);
}

bool play(const Image& image, AySong* song, std::string* error) {
  if (image.positions.empty() || image.positions.size() > 256 || image.patterns.empty()) {
    *error = "the module has no positions or patterns";
    return false;
  }
  std::vector<uint8_t> out(27, 0);
  out[0] = image.delay;
  for (size_t i = 0; i < sizeof kStamp - 1; ++i) out[7 + i] = static_cast<uint8_t>(kStamp[i]);
  for (const auto& [number, body] : image.samples) {
    out.push_back(number);
    out.insert(out.end(), body.begin(), body.end());
  }
  put_word(out, 1, out.size());
  out.push_back(static_cast<uint8_t>(image.positions.size() - 1));
  for (const auto& [pattern, transposition] : image.positions) {
    out.push_back(pattern);
    out.push_back(static_cast<uint8_t>(transposition));
  }
  put_word(out, 3, out.size());
  for (const auto& [number, body] : image.ornaments) {
    out.push_back(number);
    out.insert(out.end(), body.begin(), body.end());
  }
  put_word(out, 5, out.size());
  const size_t table = out.size();
  out.resize(table + 7 * image.patterns.size() + 1);
  out[table + 7 * image.patterns.size()] = 0xFF;
  for (size_t p = 0; p < image.patterns.size(); ++p) {
    out[table + 7 * p] = image.patterns[p].number;
    for (size_t c = 0; c < 3; ++c) {
      if (out.size() > 0xFFFF) break;
      put_word(out, table + 7 * p + 1 + 2 * c, out.size());
      const std::vector<uint8_t>& track = image.patterns[p].tracks[c];
      out.insert(out.end(), track.begin(), track.end());
    }
  }
  if (out.size() > 0xFFFF) {
    *error = "the module does not fit Sound Tracker's 64K";
    return false;
  }
  put_word(out, 25, out.size());
  return kStcFormat.parse(out.data(), out.size(), song, error);
}

}  // namespace tools::ay::stc
