#include "tools/renderer/ay/lha_unpack.h"

#include <algorithm>
#include <cstring>
#include <memory>

extern "C" {
#include <lha_decoder.h>
#include <lha_input_stream.h>
#include <lha_reader.h>
}

namespace tools::ay {
namespace {

// The input, read through lhasa's callbacks.
struct MemoryInput {
  const uint8_t* data;
  size_t size;
  size_t at = 0;

  size_t read(void* buffer, size_t length) {
    const size_t n = std::min(length, size - at);
    std::memcpy(buffer, data + at, n);
    at += n;
    return n;
  }
};

int stream_read(void* handle, void* buffer, size_t length) {
  return static_cast<int>(static_cast<MemoryInput*>(handle)->read(buffer, std::min<size_t>(length, 1 << 20)));
}

size_t decoder_read(void* buffer, size_t length, void* handle) {
  return static_cast<MemoryInput*>(handle)->read(buffer, length);
}

const LHAInputStreamType kMemoryStream = {stream_read, nullptr, nullptr};

struct StreamDeleter {
  void operator()(LHAInputStream* stream) const { lha_input_stream_free(stream); }
};
struct ReaderDeleter {
  void operator()(LHAReader* reader) const { lha_reader_free(reader); }
};
struct DecoderDeleter {
  void operator()(LHADecoder* decoder) const { lha_decoder_free(decoder); }
};

// CRC-16 as LHA stores it: polynomial 0x8005, bits reflected, starting at 0.
uint16_t lha_crc(const uint8_t* data, size_t size) {
  uint16_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

// Reads `want` bytes from a decoder; false when the data runs out first.
bool read_decoded(LHADecoder* decoder, size_t want, std::vector<uint8_t>* out) {
  out->assign(want, 0);
  size_t got = 0;
  while (got < want) {
    const size_t n = lha_decoder_read(decoder, out->data() + got, want - got);
    if (n == 0) break;
    got += n;
  }
  return got == want;
}

bool unpack_with_lhasa(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>* out,
                       uint16_t* crc, std::string* error) {
  MemoryInput input{data, size};
  std::unique_ptr<LHAInputStream, StreamDeleter> stream(lha_input_stream_new(&kMemoryStream, &input));
  if (!stream) {
    *error = "out of memory";
    return false;
  }
  std::unique_ptr<LHAReader, ReaderDeleter> reader(lha_reader_new(stream.get()));
  if (!reader) {
    *error = "out of memory";
    return false;
  }
  LHAFileHeader* header = lha_reader_next_file(reader.get());
  if (!header) {
    *error = "the LHA archive has no readable file";
    return false;
  }
  if (limit == 0 && header->length > kMaxUnpackedBytes) {
    *error = "the LHA archive's file is too big for a register dump";
    return false;
  }
  const size_t want = limit == 0 ? header->length : std::min<size_t>(header->length, limit);
  out->assign(want, 0);
  size_t got = 0;
  while (got < want) {
    const size_t n = lha_reader_read(reader.get(), out->data() + got, want - got);
    if (n == 0) break;
    got += n;
  }
  if (got < want) {
    *error = "the LHA archive is truncated or damaged";
    return false;
  }
  *crc = header->crc;
  return true;
}

// Archives passed around for decades carry headers that some tool
// scribbled on: a header size, checksum or packed size that no longer
// fits, while the fields a level-0 header keeps at fixed places (method,
// unpacked size, name, CRC) and the packed data are intact. lhasa refuses
// such a header, so it is read here by those fields alone, and the packed
// data run to the end of the file; the CRC still decides whether what
// comes out is the file.
bool unpack_by_fixed_fields(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>* out,
                            uint16_t* crc, std::string* error) {
  *error = "the LHA archive has no readable file";
  if (size < 24 || data[20] != 0) return false;
  const size_t name_length = data[21];
  const size_t packed_at = 24 + name_length;
  if (packed_at > size) return false;
  char method[6];
  std::memcpy(method, data + 2, 5);
  method[5] = '\0';
  LHADecoderType* type = lha_decoder_for_name(method);
  if (!type) return false;
  const size_t length = data[11] | (data[12] << 8) | (data[13] << 16) | (size_t{data[14]} << 24);
  if (limit == 0 && length > kMaxUnpackedBytes) {
    *error = "the LHA archive's file is too big for a register dump";
    return false;
  }
  MemoryInput input{data + packed_at, size - packed_at};
  std::unique_ptr<LHADecoder, DecoderDeleter> decoder(lha_decoder_new(type, decoder_read, &input, length));
  if (!decoder) {
    *error = "out of memory";
    return false;
  }
  if (!read_decoded(decoder.get(), limit == 0 ? length : std::min(length, limit), out)) {
    *error = "the LHA archive is truncated or damaged";
    return false;
  }
  *crc = static_cast<uint16_t>(data[22 + name_length] | (data[23 + name_length] << 8));
  return true;
}

}  // namespace

bool looks_like_lha_archive(const uint8_t* data, size_t size) {
  // Header level 0 and 1: size, checksum, then the method at offset 2;
  // level 2 the same place. The method is "-lh" digit "-" or "-lz" ... "-".
  if (size < 22) return false;
  if (data[2] != '-' || data[3] != 'l' || data[6] != '-') return false;
  if (data[4] != 'h' && data[4] != 'z') return false;
  return data[20] <= 2;  // the header level
}

bool unpack_lha_archive(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>* out,
                        std::string* error) {
  uint16_t crc = 0;
  const auto whole = [&] { return limit != 0 || lha_crc(out->data(), out->size()) == crc; };
  if (unpack_with_lhasa(data, size, limit, out, &crc, error)) {
    if (whole()) return true;
    *error = "the LHA archive fails its CRC check";
  }
  std::string ignored;
  return unpack_by_fixed_fields(data, size, limit, out, &crc, &ignored) && whole();
}

bool unpack_lh5(const uint8_t* data, size_t size, size_t length, std::vector<uint8_t>* out, std::string* error) {
  if (length > kMaxUnpackedBytes) {
    *error = "the packed data claims to be too big for a register dump";
    return false;
  }
  char method[] = "-lh5-";
  LHADecoderType* type = lha_decoder_for_name(method);
  MemoryInput input{data, size};
  std::unique_ptr<LHADecoder, DecoderDeleter> decoder(
      type ? lha_decoder_new(type, decoder_read, &input, length) : nullptr);
  if (!decoder) {
    *error = "out of memory";
    return false;
  }
  if (!read_decoded(decoder.get(), length, out)) {
    *error = "the packed data is truncated or damaged";
    return false;
  }
  return true;
}

}  // namespace tools::ay
