// libFuzzer target: the register dump parsers (PSG, YM, VTX), lhasa's
// unpacking behind them, and the player on what they accept. The first
// byte picks how the rest is presented:
//   0 PSG, 1 YM as it is, 2 YM content in an LHA archive made here (so the
//   CRC holds and the fuzzer reaches the YM5/YM6 parser through lhasa),
//   3 VTX as it is, 4 a VTX header with its register block packed here,
//   5 a bare -lh5- stream, its unpacked length in the next two bytes.
// Parses must return, stay inside the input (the sanitizers watch that),
// never take what their detection refused, and give songs within the cap;
// the player then plays 20 ms of each (the filters cost the fuzzer more
// than the parsers do; a high frame rate reaches more frames).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/tools/ay/made_ay_files.h"
#include "tools/renderer/ay/lha_unpack.h"
#include "tools/renderer/ay/psg_dump.h"
#include "tools/renderer/ay/song_player.h"
#include "tools/renderer/ay/vtx_dump.h"
#include "tools/renderer/ay/ym_dump.h"

namespace {

using tools_test::Bytes;

void play(const tools::ay::AySong& song) {
  if (song.frames.empty() || song.frames.size() > tools::ay::kMaxFrames) std::abort();
  if (song.loop_frame >= static_cast<long>(song.frames.size())) std::abort();
  if (!song.effects.empty() && song.effects.size() != song.frames.size()) std::abort();
  std::string error;
  if (!tools::ay::SongPlayer::playable(song, &error)) return;
  tools::ay::SongPlayer player(song);
  player.set_play_past_end(true);
  std::vector<int16_t> out(2 * 882);
  player.render(out.data(), 882);
}

void try_format(const tools::ay::Format& format, const Bytes& file) {
  const bool detected = format.detect(file.data(), file.size());
  tools::ay::AySong song;
  std::string error;
  const bool parsed = format.parse(file.data(), file.size(), &song, &error);
  if (parsed && !detected) std::abort();
  if (!parsed && error.empty()) std::abort();
  if (parsed) play(song);
}

// The header as given up to its fifth text, then the rest packed.
Bytes vtx_with_packed_block(const Bytes& payload) {
  size_t at = 16, texts = 0;
  while (at < payload.size() && texts < 5) {
    if (payload[at++] == 0) ++texts;
  }
  if (texts < 5) return payload;
  Bytes block(payload.begin() + at, payload.end());
  block.resize(block.size() - block.size() % 14);
  Bytes file(payload.begin(), payload.begin() + at);
  const auto size = static_cast<uint32_t>(block.size());
  for (int i = 0; i < 4; ++i) file[12 + i] = static_cast<uint8_t>(size >> (8 * i));
  const Bytes packed = tools_test::lh5_stream(block);
  file.insert(file.end(), packed.begin(), packed.end());
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const Bytes payload(data + 1, data + size);
  switch (data[0] % 6) {
    case 0:
      try_format(tools::ay::kPsgFormat, payload);
      break;
    case 1:
      try_format(tools::ay::kYmFormat, payload);
      break;
    case 2:
      try_format(tools::ay::kYmFormat, tools_test::lha_archive(payload, "fuzz.bin"));
      break;
    case 3:
      try_format(tools::ay::kVtxFormat, payload);
      break;
    case 4:
      try_format(tools::ay::kVtxFormat, vtx_with_packed_block(payload));
      break;
    default: {
      if (payload.size() < 2) break;
      const size_t length = payload[0] | (payload[1] << 8);
      std::vector<uint8_t> out;
      std::string error;
      if (tools::ay::unpack_lh5(payload.data() + 2, payload.size() - 2, length, &out, &error) && out.size() != length) {
        std::abort();
      }
      break;
    }
  }
  return 0;
}
