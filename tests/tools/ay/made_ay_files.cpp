#include "tests/tools/ay/made_ay_files.h"

#include <algorithm>

namespace tools_test {
namespace {

void put_be32(Bytes* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(v >> shift));
}
void put_be16(Bytes* out, uint16_t v) {
  out->push_back(static_cast<uint8_t>(v >> 8));
  out->push_back(static_cast<uint8_t>(v));
}
void put_le32(Bytes* out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>(v >> shift));
}
void put_le16(Bytes* out, uint16_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}
void put_text(Bytes* out, const std::string& text) {
  out->insert(out->end(), text.begin(), text.end());
  out->push_back(0);
}

// The register block, `width` registers a frame.
void put_block(Bytes* out, const std::vector<RegisterFrame>& frames, size_t width, bool interleaved) {
  if (interleaved) {
    for (size_t r = 0; r < width; ++r) {
      for (const RegisterFrame& frame : frames) out->push_back(frame[r]);
    }
  } else {
    for (const RegisterFrame& frame : frames) out->insert(out->end(), frame.begin(), frame.begin() + width);
  }
}

class BitWriter {
 public:
  void put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      current_ = static_cast<uint8_t>((current_ << 1) | ((value >> i) & 1));
      if (++filled_ == 8) {
        bytes_.push_back(current_);
        current_ = 0;
        filled_ = 0;
      }
    }
  }
  Bytes finish() {
    if (filled_) put(0, 8 - filled_);
    return bytes_;
  }

 private:
  Bytes bytes_;
  uint8_t current_ = 0;
  int filled_ = 0;
};

uint16_t crc16(const Bytes& data) {
  uint16_t crc = 0;
  for (uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

}  // namespace

RegisterFrame tone_frame(int period, int volume) {
  RegisterFrame frame{};
  frame[0] = static_cast<uint8_t>(period & 0xFF);
  frame[1] = static_cast<uint8_t>((period >> 8) & 0x0F);
  frame[7] = 0x3E;  // tone A only
  frame[8] = static_cast<uint8_t>(volume);
  frame[13] = 0xFF;
  return frame;
}

std::vector<RegisterFrame> scale_frames(size_t frames, size_t step) {
  static const int kPeriods[] = {424, 378, 337, 318, 283, 252, 225, 212};
  std::vector<RegisterFrame> out;
  for (size_t f = 0; f < frames; ++f) out.push_back(tone_frame(kPeriods[(f / step) % 8], 15));
  return out;
}

Bytes make_psg(const std::vector<RegisterFrame>& frames, int rate_hz) {
  Bytes out = {'P', 'S', 'G', 0x1A, 10, static_cast<uint8_t>(rate_hz)};
  out.resize(16, 0);
  RegisterFrame last{};
  bool first = true;
  for (const RegisterFrame& frame : frames) {
    out.push_back(0xFF);
    for (int r = 0; r < 14; ++r) {
      if (r == 13 ? frame[13] == 0xFF : !first && frame[r] == last[r]) continue;
      out.push_back(static_cast<uint8_t>(r));
      out.push_back(frame[r]);
    }
    last = frame;
    first = false;
  }
  return out;
}

Bytes make_ym(const YmFile& made, const std::vector<RegisterFrame>& frames) {
  Bytes out(made.kind.begin(), made.kind.end());
  if (made.kind == "YM2!" || made.kind == "YM3!" || made.kind == "YM3b") {
    put_block(&out, frames, 14, true);
    if (made.kind == "YM3b") put_le32(&out, made.loop_frame);
    return out;
  }
  const std::string check = "LeOnArD!";
  out.insert(out.end(), check.begin(), check.end());
  put_be32(&out, static_cast<uint32_t>(frames.size()));
  put_be32(&out, made.interleaved ? 1 : 0);
  put_be16(&out, static_cast<uint16_t>(made.drums.size()));
  put_be32(&out, made.clock_hz);
  put_be16(&out, made.rate_hz);
  put_be32(&out, made.loop_frame);
  put_be16(&out, 0);
  for (const Bytes& drum : made.drums) {
    put_be32(&out, static_cast<uint32_t>(drum.size()));
    out.insert(out.end(), drum.begin(), drum.end());
  }
  put_text(&out, made.title);
  put_text(&out, made.author);
  put_text(&out, made.comment);
  put_block(&out, frames, 16, made.interleaved);
  const std::string end = "End!";
  out.insert(out.end(), end.begin(), end.end());
  return out;
}

// Each block: its number of codes, a code-length table that holds one
// symbol (10: "length 8"), the literal table read through it (256 codes
// of 8 bits, so every byte is its own code), a position table of one
// unused symbol, then the bytes.
Bytes lh5_stream(const Bytes& data) {
  BitWriter bits;
  size_t at = 0;
  while (at < data.size()) {
    const size_t count = std::min<size_t>(data.size() - at, 65535);
    bits.put(static_cast<uint32_t>(count), 16);
    bits.put(0, 5);
    bits.put(10, 5);
    bits.put(256, 9);
    bits.put(0, 4);
    bits.put(0, 4);
    for (size_t i = 0; i < count; ++i) bits.put(data[at + i], 8);
    at += count;
  }
  return bits.finish();
}

Bytes lha_archive(const Bytes& data, const std::string& name) {
  const Bytes packed = lh5_stream(data);
  Bytes header = {'-', 'l', 'h', '5', '-'};
  put_le32(&header, static_cast<uint32_t>(packed.size()));
  put_le32(&header, static_cast<uint32_t>(data.size()));
  put_le32(&header, 0x4E210000);  // an MS-DOS time stamp
  header.push_back(0x20);         // archive attribute
  header.push_back(0);            // header level 0
  header.push_back(static_cast<uint8_t>(name.size()));
  header.insert(header.end(), name.begin(), name.end());
  put_le16(&header, crc16(data));
  uint8_t sum = 0;
  for (uint8_t byte : header) sum = static_cast<uint8_t>(sum + byte);
  Bytes out;
  out.reserve(2 + header.size() + packed.size() + 1);
  out.push_back(static_cast<uint8_t>(header.size()));
  out.push_back(sum);
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), packed.begin(), packed.end());
  out.push_back(0);  // the end of the archive
  return out;
}

Bytes make_vtx(const VtxFile& made, const std::vector<RegisterFrame>& frames) {
  Bytes out = {static_cast<uint8_t>(made.ym ? 'y' : 'a'), static_cast<uint8_t>(made.ym ? 'm' : 'y'), made.stereo};
  put_le16(&out, made.loop_frame);
  put_le32(&out, made.clock_hz);
  out.push_back(made.rate_hz);
  put_le16(&out, made.year);
  Bytes block;
  put_block(&block, frames, 14, true);
  put_le32(&out, static_cast<uint32_t>(block.size()));
  for (const std::string* text : {&made.title, &made.author, &made.program, &made.tracker, &made.comment}) {
    put_text(&out, *text);
  }
  const Bytes packed = lh5_stream(block);
  out.insert(out.end(), packed.begin(), packed.end());
  return out;
}

}  // namespace tools_test
