#include "tools/renderer/ay/vtx_dump.h"

#include <cstring>

#include "tools/renderer/ay/lha_unpack.h"
#include "tools/renderer/ay/register_block.h"
#include "tools/renderer/ay/song_player.h"

namespace tools::ay {
namespace {

constexpr size_t kFixedHeader = 16;

uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The fields of the fixed header that can be checked before unpacking.
bool detect(const uint8_t* data, size_t size) {
  if (size < kFixedHeader + 5) return false;
  const bool ay = data[0] == 'a' && data[1] == 'y';
  const bool ym = data[0] == 'y' && data[1] == 'm';
  if (!ay && !ym) return false;
  if ((data[2] & 7) == 7) return false;
  const uint32_t clock = le32(data + 5);
  const uint32_t unpacked = le32(data + 12);
  return clock >= kMinClockHz && clock <= kMaxClockHz && data[9] != 0 && unpacked != 0 && unpacked % 14 == 0;
}

// Stereo modes 0..6: mono, ABC, ACB, BAC, BCA, CAB, CBA. The last three are
// the first three mirrored and play as them.
StereoLayout layout_of(uint8_t mode) {
  switch (mode & 7) {
    case 0: return StereoLayout::mono;
    case 2: case 4: return StereoLayout::acb;
    case 3: case 5: return StereoLayout::bac;
    default: return StereoLayout::abc;
  }
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  if (!detect(data, size)) {
    *error = "not a VTX file";
    return false;
  }
  song->chip = data[0] == 'a' ? ChipType::ay : ChipType::ym;
  song->layout = layout_of(data[2]);
  const uint16_t loop = le16(data + 3);
  song->clock_hz = le32(data + 5);
  song->frame_hz = data[9];
  const uint16_t year = le16(data + 10);
  const uint32_t unpacked_size = le32(data + 12);
  if (year != 0) song->year = std::to_string(year);

  // Title, author, the program it came from, the tracker, a comment.
  std::string texts[5];
  size_t at = kFixedHeader;
  for (std::string& text : texts) {
    const void* end = std::memchr(data + at, 0, size - at);
    if (!end) {
      *error = "the VTX header's texts are truncated";
      return false;
    }
    const size_t length = static_cast<const uint8_t*>(end) - (data + at);
    text.assign(reinterpret_cast<const char*>(data + at), length);
    at += length + 1;
  }
  song->title = texts[0];
  song->author = texts[1];
  song->program = texts[2].empty() ? texts[3] : texts[2];
  song->comment = texts[4];

  std::vector<uint8_t> block;
  if (!unpack_lh5(data + at, size - at, unpacked_size, &block, error)) return false;
  const size_t count = block.size() / 14;
  append_register_block(block.data(), count, 14, true, song);
  song->loop_frame = loop < count ? loop : 0;
  return true;
}

}  // namespace

const Format kVtxFormat = {"VTX register dump", detect, parse};

}  // namespace tools::ay
