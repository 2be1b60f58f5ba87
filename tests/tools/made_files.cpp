#include "tests/tools/made_files.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sndfile.h>

namespace tools_test {
namespace {

void put16be(Bytes* out, unsigned value) {
  out->push_back(static_cast<uint8_t>(value >> 8));
  out->push_back(static_cast<uint8_t>(value));
}

void put16(Bytes* out, unsigned value) {
  out->push_back(static_cast<uint8_t>(value));
  out->push_back(static_cast<uint8_t>(value >> 8));
}

void put32(Bytes* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void put_text(Bytes* out, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) out->push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

void put_tag(Bytes* out, const char* id, const std::string& text) {
  out->insert(out->end(), id, id + 4);
  const uint32_t size = static_cast<uint32_t>(text.size() + 1);
  put32(out, size);
  out->insert(out->end(), text.begin(), text.end());
  out->push_back(0);
  if (size & 1) out->push_back(0);
}

}  // namespace

Bytes make_mod(bool loops, const std::string& title) {
  Bytes mod;
  put_text(&mod, title, 20);
  for (int sample = 0; sample < 31; ++sample) {
    put_text(&mod, sample == 0 ? "square" : "", 22);
    put16be(&mod, sample == 0 ? 16 : 0);  // length in words
    mod.push_back(0);                      // finetune
    mod.push_back(sample == 0 ? 64 : 0);   // volume
    put16be(&mod, 0);                      // loop start
    put16be(&mod, sample == 0 ? 16 : 1);   // loop length
  }
  mod.push_back(2);    // song length
  mod.push_back(127);  // restart (unused by ProTracker)
  for (int order = 0; order < 128; ++order) mod.push_back(order < 2 ? order : 0);
  mod.insert(mod.end(), {'M', '.', 'K', '.'});
  const unsigned periods[2] = {428, 320};  // C-2, F-2
  for (int pattern = 0; pattern < 2; ++pattern) {
    for (int row = 0; row < 64; ++row) {
      for (int channel = 0; channel < 4; ++channel) {
        unsigned sample = 0, period = 0, effect = 0, param = 0;
        if (channel == 0 && row % 16 == 0) {
          sample = 1;
          period = periods[pattern];
        }
        if (loops && pattern == 1 && row == 63 && channel == 1) effect = 0xB, param = 1;
        mod.push_back(static_cast<uint8_t>((sample & 0xF0) | (period >> 8)));
        mod.push_back(static_cast<uint8_t>(period));
        mod.push_back(static_cast<uint8_t>(((sample & 0x0F) << 4) | effect));
        mod.push_back(static_cast<uint8_t>(param));
      }
    }
  }
  for (int i = 0; i < 32; ++i) mod.push_back(i < 16 ? 0x60 : 0xA0);
  return mod;
}

Bytes make_endless_psg(int hours) {
  Bytes out = {'P', 'S', 'G', 0x1A, 10, 50};
  out.resize(16, 0);
  // Channel A at full volume on a 440-ish Hz tone, then nothing changes.
  for (uint8_t pair : {0, 0xFC, 1, 0x00, 7, 0x3E, 8, 0x0F}) out.push_back(pair);
  out.push_back(0xFF);
  // 0xFE n skips 4 * n interrupts: 255 * 4 frames at 50 Hz are 20.4 s.
  const int blocks = hours * 3600 * 50 / (255 * 4) + 1;
  for (int i = 0; i < blocks; ++i) {
    out.push_back(0xFE);
    out.push_back(0xFF);
  }
  return out;
}

Bytes make_dro(int tone_ms, int silence_ms, const std::string& title, const std::string& author) {
  // Registers through the code map: index i writes register codemap[i].
  const uint8_t codemap[] = {0x20, 0x40, 0x60, 0x80, 0x23, 0x43, 0x63, 0x83, 0xA0, 0xB0, 0xC0};
  const uint8_t short_delay = 0x70, long_delay = 0x71;
  Bytes pairs;
  const uint8_t setup[][2] = {{0, 0x01}, {1, 0x10}, {2, 0xF0}, {3, 0x77}, {4, 0x01},
                              {5, 0x00}, {6, 0xF0}, {7, 0x77}, {10, 0x01}, {8, 0x98}, {9, 0x31}};
  for (const auto& write : setup) pairs.insert(pairs.end(), write, write + 2);
  auto delay = [&](int ms) {
    while (ms >= 256) {
      const int blocks = std::min(ms / 256, 256);
      pairs.push_back(long_delay);
      pairs.push_back(static_cast<uint8_t>(blocks - 1));
      ms -= blocks * 256;
    }
    if (ms > 0) {
      pairs.push_back(short_delay);
      pairs.push_back(static_cast<uint8_t>(ms - 1));
    }
  };
  delay(tone_ms);
  pairs.push_back(9);
  pairs.push_back(0x11);  // key off
  delay(silence_ms);
  Bytes dro = {'D', 'B', 'R', 'A', 'W', 'O', 'P', 'L'};
  put16(&dro, 2);
  put16(&dro, 0);
  put32(&dro, static_cast<uint32_t>(pairs.size() / 2));
  put32(&dro, static_cast<uint32_t>(tone_ms + silence_ms));
  dro.push_back(0);  // OPL2
  dro.push_back(0);  // interleaved
  dro.push_back(0);  // uncompressed
  dro.push_back(short_delay);
  dro.push_back(long_delay);
  dro.push_back(sizeof codemap);
  dro.insert(dro.end(), codemap, codemap + sizeof codemap);
  dro.insert(dro.end(), pairs.begin(), pairs.end());
  dro.insert(dro.end(), {0xFF, 0xFF, 0x1A});
  dro.insert(dro.end(), title.begin(), title.end());
  dro.push_back(0);
  dro.push_back(0x1B);
  dro.insert(dro.end(), author.begin(), author.end());
  dro.push_back(0);
  return dro;
}

Bytes make_wav(const WavLayout& layout) {
  const uint32_t bytes_per_sample = layout.bits / 8;
  Bytes data;
  for (uint32_t frame = 0; frame < layout.frames; ++frame) {
    for (int channel = 0; channel < layout.channels; ++channel) {
      const double value = 0.5 * std::sin(2 * 3.14159265358979323846 * (440.0 + 110 * channel) * frame / layout.sample_rate);
      if (layout.format_tag == 3 && layout.bits == 32) {
        float f = static_cast<float>(value);
        uint32_t raw;
        std::memcpy(&raw, &f, 4);
        put32(&data, raw);
      } else if (layout.format_tag == 3 && layout.bits == 64) {
        double d = value;
        uint64_t raw;
        std::memcpy(&raw, &d, 8);
        put32(&data, static_cast<uint32_t>(raw));
        put32(&data, static_cast<uint32_t>(raw >> 32));
      } else if (layout.bits == 8) {
        data.push_back(static_cast<uint8_t>(128 + std::lround(value * 127)));
      } else {
        const int64_t full = std::llround(value * ((1LL << (layout.bits - 1)) - 1));
        for (uint32_t i = 0; i < bytes_per_sample; ++i) data.push_back(static_cast<uint8_t>(full >> (8 * i)));
      }
    }
  }
  Bytes info;
  if (!layout.title.empty() || !layout.artist.empty()) {
    Bytes body = {'I', 'N', 'F', 'O'};
    if (!layout.title.empty()) put_tag(&body, "INAM", layout.title);
    if (!layout.artist.empty()) put_tag(&body, "IART", layout.artist);
    info = {'L', 'I', 'S', 'T'};
    put32(&info, static_cast<uint32_t>(body.size()));
    info.insert(info.end(), body.begin(), body.end());
  }
  Bytes fmt = {'f', 'm', 't', ' '};
  const bool extensible = layout.format_tag == 0xFFFE;
  put32(&fmt, extensible ? 40 : 16);
  put16(&fmt, layout.format_tag);
  put16(&fmt, layout.channels);
  put32(&fmt, layout.sample_rate);
  put32(&fmt, layout.sample_rate * layout.channels * bytes_per_sample);
  put16(&fmt, static_cast<unsigned>(layout.channels * bytes_per_sample));
  put16(&fmt, layout.bits);
  if (extensible) {
    put16(&fmt, 22);
    put16(&fmt, layout.bits);
    put32(&fmt, layout.channels == 2 ? 3 : 4);  // channel mask
    // KSDATAFORMAT_SUBTYPE_PCM
    const uint8_t guid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    fmt.insert(fmt.end(), guid, guid + 16);
  }
  Bytes body = {'W', 'A', 'V', 'E'};
  body.insert(body.end(), fmt.begin(), fmt.end());
  if (layout.odd_chunk_before_data) body.insert(body.end(), {'j', 'u', 'n', 'k', 3, 0, 0, 0, 'x', 'y', 'z', 0});
  if (!layout.info_after_data) body.insert(body.end(), info.begin(), info.end());
  body.insert(body.end(), {'d', 'a', 't', 'a'});
  put32(&body, layout.override_data_size ? layout.data_size : static_cast<uint32_t>(data.size()));
  body.insert(body.end(), data.begin(), data.end());
  if (data.size() & 1) body.push_back(0);
  if (layout.info_after_data) body.insert(body.end(), info.begin(), info.end());
  Bytes wav = {'R', 'I', 'F', 'F'};
  put32(&wav, static_cast<uint32_t>(body.size()));
  wav.insert(wav.end(), body.begin(), body.end());
  return wav;
}

bool write_file(const std::string& path, const Bytes& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

Bytes read_file(const std::string& path) {
  Bytes bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  return bytes;
}

bool file_exists(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file) std::fclose(file);
  return file != nullptr;
}

WavContents read_wav(const std::string& path) {
  WavContents contents;
  SF_INFO info = {};
  SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
  if (!sound) return contents;
  contents.channels = info.channels;
  contents.sample_rate = info.samplerate;
  contents.samples.resize(static_cast<size_t>(info.frames * info.channels));
  sf_readf_short(sound, contents.samples.data(), info.frames);
  auto text = [&](int field) {
    const char* value = sf_get_string(sound, field);
    return std::string(value ? value : "");
  };
  contents.title = text(SF_STR_TITLE);
  contents.artist = text(SF_STR_ARTIST);
  contents.album = text(SF_STR_ALBUM);
  contents.copyright = text(SF_STR_COPYRIGHT);
  contents.comment = text(SF_STR_COMMENT);
  contents.software = text(SF_STR_SOFTWARE);
  contents.ok = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV;
  sf_close(sound);
  return contents;
}

int peak(const std::vector<int16_t>& samples) {
  int top = 0;
  for (int16_t s : samples) top = std::max(top, std::abs(static_cast<int>(s)));
  return top;
}

}  // namespace tools_test
