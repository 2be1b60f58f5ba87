#include "tools/renderer/ay/ym_dump.h"

#include <cmath>
#include <cstring>

#include "tools/renderer/ay/ay_chip.h"
#include "tools/renderer/ay/lha_unpack.h"
#include "tools/renderer/ay/register_block.h"

namespace tools::ay {
namespace {

enum class Kind { none, ym2, ym3, ym3b, ym5, ym6 };

// The files begin with their kind; YM5 and YM6 follow it with a check word.
Kind kind_of(const uint8_t* data, size_t size) {
  if (size < 4) return Kind::none;
  if (std::memcmp(data, "YM2!", 4) == 0) return Kind::ym2;
  if (std::memcmp(data, "YM3!", 4) == 0) return Kind::ym3;
  if (std::memcmp(data, "YM3b", 4) == 0) return Kind::ym3b;
  const bool checked = size >= 12 && std::memcmp(data + 4, "LeOnArD!", 8) == 0;
  if (checked && std::memcmp(data, "YM5!", 4) == 0) return Kind::ym5;
  if (checked && std::memcmp(data, "YM6!", 4) == 0) return Kind::ym6;
  return Kind::none;
}

bool detect(const uint8_t* data, size_t size) {
  if (kind_of(data, size) != Kind::none) return true;
  if (!looks_like_lha_archive(data, size)) return false;
  // Only as much is unpacked as the kind needs.
  std::vector<uint8_t> head;
  std::string ignored;
  return unpack_lha_archive(data, size, 12, &head, &ignored) && kind_of(head.data(), head.size()) != Kind::none;
}

// Big-endian ("Motorola") numbers of YM5 and YM6.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool has(size_t n) const { return n <= size_ - at_; }
  uint32_t u32() {
    const uint32_t v = (uint32_t{data_[at_]} << 24) | (data_[at_ + 1] << 16) | (data_[at_ + 2] << 8) | data_[at_ + 3];
    at_ += 4;
    return v;
  }
  uint16_t u16() {
    const uint16_t v = static_cast<uint16_t>((data_[at_] << 8) | data_[at_ + 1]);
    at_ += 2;
    return v;
  }
  void skip(size_t n) { at_ += n; }
  const uint8_t* here() const { return data_ + at_; }
  size_t at() const { return at_; }
  // A NUL-terminated text; false when the NUL is missing.
  bool text(std::string* out) {
    const void* end = std::memchr(data_ + at_, 0, size_ - at_);
    if (!end) return false;
    const size_t length = static_cast<const uint8_t*>(end) - (data_ + at_);
    out->assign(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += length + 1;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// YM2 and YM3 hold the register block alone; YM3b adds the loop frame.
bool parse_old(Kind kind, const uint8_t* data, size_t size, AySong* song, std::string* error) {
  const size_t tail = kind == Kind::ym3b ? 4 : 0;
  if (size < 4 + tail || (size - 4 - tail) % 14 != 0 || size - 4 - tail == 0) {
    *error = "the register block is not a whole number of frames";
    return false;
  }
  const size_t count = (size - 4 - tail) / 14;
  append_register_block(data + 4, count, 14, true, song);
  if (kind == Kind::ym3b) {
    const uint8_t* p = data + size - 4;
    // The format's note does not say the byte order; both are in use.
    const uint32_t little = p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
    const uint32_t big = (uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    song->loop_frame = little < count ? static_cast<long>(little) : big < count ? static_cast<long>(big) : 0;
  }
  // YM2's digidrums are samples built into the original player, which
  // the file does not carry; the registers play as YM3.
  return true;
}

// Samples become the fixed volume whose level lies nearest.
std::vector<uint8_t> drum_levels(const uint8_t* data, size_t size, bool is_signed, bool four_bit) {
  const auto amplitude = [](int volume) { return volume ? ym_level(2 * volume + 1) : 0.0f; };
  uint8_t nearest[256];
  for (int value = 0; value < 256; ++value) {
    const float target = value / 255.0f;
    int best = 0;
    for (int volume = 1; volume < 16; ++volume) {
      if (std::fabs(amplitude(volume) - target) < std::fabs(amplitude(best) - target)) best = volume;
    }
    nearest[value] = static_cast<uint8_t>(best);
  }
  std::vector<uint8_t> levels(size);
  for (size_t i = 0; i < size; ++i) {
    levels[i] = four_bit ? data[i] & 15 : nearest[is_signed ? data[i] ^ 0x80 : data[i]];
  }
  return levels;
}

// The MFP's prescalers, by the 3-bit code; 0 stops the timer.
constexpr int kPrescalers[8] = {0, 4, 10, 16, 50, 64, 100, 200};
constexpr double kMfpClock = 2457600;

double timer_hz(uint8_t prescaler_code, uint8_t count) {
  const int prescaler = kPrescalers[prescaler_code & 7];
  if (prescaler == 0) return 0;
  return kMfpClock / (prescaler * (count == 0 ? 256 : count));
}

// The effects of one frame, from the registers' spare bits and the two
// extra registers R14 and R15.
FrameEffects frame_effects(Kind kind, const uint8_t* r) {
  FrameEffects effects;
  if (kind == Kind::ym5) {
    // A SID voice on the voice in R1 bits 5-4, timer in R6 bits 7-5 and
    // R14; a drum on the voice in R3 bits 5-4, timer in R8 bits 7-5 and R15.
    const int sid_voice = (r[1] >> 4) & 3;
    if (sid_voice) {
      const int voice = sid_voice - 1;
      effects[0] = {TimerEffect::Kind::sid, static_cast<uint8_t>(voice), static_cast<uint8_t>(r[8 + voice] & 15),
                    timer_hz(r[6] >> 5, r[14])};
    }
    const int drum_voice = (r[3] >> 4) & 3;
    if (drum_voice) {
      const int voice = drum_voice - 1;
      effects[1] = {TimerEffect::Kind::digidrum, static_cast<uint8_t>(voice),
                    static_cast<uint8_t>(r[8 + voice] & 31), timer_hz(r[8] >> 5, r[15])};
    }
    return effects;
  }
  // YM6: two slots, R1/R6/R14 and R3/R8/R15; the code's bits 7-6 the kind,
  // bits 5-4 the voice plus one. Sinus-SID (10) has no description to
  // play it by and stays silent, as in the format author's own player.
  const uint8_t codes[2] = {r[1], r[3]};
  const uint8_t prescalers[2] = {static_cast<uint8_t>(r[6] >> 5), static_cast<uint8_t>(r[8] >> 5)};
  const uint8_t counts[2] = {r[14], r[15]};
  for (int slot = 0; slot < 2; ++slot) {
    const int voice_code = (codes[slot] >> 4) & 3;
    if (!voice_code) continue;
    const int voice = voice_code - 1;
    TimerEffect& effect = effects[slot];
    effect.voice = static_cast<uint8_t>(voice);
    effect.hz = timer_hz(prescalers[slot], counts[slot]);
    switch (codes[slot] >> 6) {
      case 0:
        effect.kind = TimerEffect::Kind::sid;
        effect.value = r[8 + voice] & 15;
        break;
      case 1:
        effect.kind = TimerEffect::Kind::digidrum;
        effect.value = r[8 + voice] & 31;
        break;
      case 3:
        effect.kind = TimerEffect::Kind::sync_buzzer;
        effect.value = r[8 + voice] & 15;
        break;
      default:
        effect = TimerEffect();
        break;
    }
  }
  return effects;
}

bool parse_new(Kind kind, const uint8_t* data, size_t size, AySong* song, std::string* error) {
  Reader in(data, size);
  if (!in.has(34)) {
    *error = "the YM header is truncated";
    return false;
  }
  in.skip(12);
  const uint32_t count = in.u32();
  const uint32_t attributes = in.u32();
  const uint16_t drums = in.u16();
  const uint32_t clock = in.u32();
  const uint16_t rate = in.u16();
  const uint32_t loop = in.u32();
  const uint16_t extra = in.u16();
  if (count == 0) {
    *error = "the YM file has no frames";
    return false;
  }
  if (!in.has(extra)) {
    *error = "the YM header is truncated";
    return false;
  }
  in.skip(extra);
  const bool interleaved = attributes & 1;
  const bool drums_signed = attributes & 2;
  const bool drums_four_bit = attributes & 4;
  for (uint16_t d = 0; d < drums; ++d) {
    if (!in.has(4)) {
      *error = "the YM file's samples are truncated";
      return false;
    }
    const uint32_t length = in.u32();
    if (!in.has(length)) {
      *error = "the YM file's samples are truncated";
      return false;
    }
    song->digidrums.push_back(drum_levels(in.here(), length, drums_signed, drums_four_bit));
    in.skip(length);
  }
  if (!in.text(&song->title) || !in.text(&song->author) || !in.text(&song->comment)) {
    *error = "the YM file's texts are truncated";
    return false;
  }
  // The frames are what counts, not the end mark after them: real files
  // end with it whole, cut to a few bytes, or without it. A few tools lost
  // a byte or so of the block yet closed the file with the mark; such a
  // block, short of its frames by less than one frame, plays with the
  // missing registers at zero.
  const size_t left = size - in.at();
  if (count > left / 16 + 1) {
    *error = "the YM register block is truncated";
    return false;
  }
  const size_t wanted = 16 * size_t{count};
  const uint8_t* block = in.here();
  std::vector<uint8_t> padded;
  if (left < wanted) {
    const bool closed = left >= 4 && std::memcmp(block + left - 4, "End!", 4) == 0;
    if (!closed || wanted - (left - 4) >= 16) {
      *error = "the YM register block is truncated";
      return false;
    }
    padded.assign(block, block + left - 4);
    padded.resize(wanted, 0);
    block = padded.data();
  }
  append_register_block(block, count, 16, interleaved, song);
  song->effects.reserve(song->frames.size());
  for (size_t f = 0; f < song->frames.size(); ++f) {
    uint8_t regs[16];
    for (size_t r = 0; r < 16; ++r) regs[r] = block_register(block, count, 16, interleaved, f, r);
    song->effects.push_back(frame_effects(kind, regs));
  }
  song->clock_hz = clock;
  song->frame_hz = rate;
  song->loop_frame = loop < count ? static_cast<long>(loop) : 0;
  return true;
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  std::vector<uint8_t> unpacked;
  if (kind_of(data, size) == Kind::none) {
    if (!looks_like_lha_archive(data, size)) {
      *error = "not a YM file";
      return false;
    }
    if (!unpack_lha_archive(data, size, 0, &unpacked, error)) return false;
    data = unpacked.data();
    size = unpacked.size();
  }
  const Kind kind = kind_of(data, size);
  song->chip = ChipType::ym;
  song->clock_hz = 2000000;  // the Atari ST, for the kinds that do not say
  song->frame_hz = 50;
  switch (kind) {
    case Kind::none:
      *error = "the LHA archive holds no YM file";
      return false;
    case Kind::ym2:
    case Kind::ym3:
    case Kind::ym3b:
      return parse_old(kind, data, size, song, error);
    case Kind::ym5:
    case Kind::ym6:
      return parse_new(kind, data, size, song, error);
  }
  return false;
}

}  // namespace

const Format kYmFormat = {"YM register dump", detect, parse};

}  // namespace tools::ay
