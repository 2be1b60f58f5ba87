// libFuzzer target: the encoder's WAV reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/encoder/wav_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tools::WavReader reader;
  std::string error;
  if (!reader.open_memory(data, size, &error)) return 0;
  (void)reader.tags();
  std::vector<int32_t> samples(2 * 4096);
  size_t total = 0;
  // A forged size can claim far more than the bytes hold; the reader must
  // still stop at their end.
  while (total < (1u << 22)) {
    const size_t got = reader.read(samples.data(), 4096);
    if (got == 0) break;
    total += got;
  }
  return 0;
}
