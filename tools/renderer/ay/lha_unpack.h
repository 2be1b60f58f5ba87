// LHA decompression for the register dumps that are stored compressed: YM
// files are whole LHA archives of one file, VTX files carry a bare -lh5-
// stream after their header. Both go through lhasa.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tools::ay {

// The unpacked data of no dump is larger than this.
constexpr size_t kMaxUnpackedBytes = 16 * 1024 * 1024;

// True when `data` begins with an LHA file header ("-lh5-" and the like).
bool looks_like_lha_archive(const uint8_t* data, size_t size);

// The first file of an LHA archive, checked against its CRC. At most
// `limit` bytes are unpacked (a prefix, for recognising the content); with
// `limit` 0 the whole file, which must not exceed kMaxUnpackedBytes.
bool unpack_lha_archive(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>* out,
                        std::string* error);

// A bare -lh5- stream that unpacks to exactly `length` bytes.
bool unpack_lh5(const uint8_t* data, size_t size, size_t length, std::vector<uint8_t>* out,
                std::string* error);

}  // namespace tools::ay
