#include "tools/renderer/ay/psg_dump.h"

#include <cstring>

namespace tools::ay {
namespace {

// "PSG" and the end-of-text byte, then a version, the interrupt rate
// (version 10 and later) and padding to 16 bytes.
constexpr uint8_t kMagic[4] = {'P', 'S', 'G', 0x1A};
constexpr size_t kHeaderSize = 16;

constexpr uint8_t kInterrupt = 0xFF;
constexpr uint8_t kInterrupts = 0xFE;  // followed by n: 4 * n interrupts
constexpr uint8_t kEndOfMusic = 0xFD;

bool detect(const uint8_t* data, size_t size) {
  return size >= sizeof kMagic && std::memcmp(data, kMagic, sizeof kMagic) == 0;
}

// The log between two interrupts is one player frame; writes before the
// first interrupt set the chip up and belong to no frame of their own.
class FrameBuilder {
 public:
  explicit FrameBuilder(AySong* song) : song_(song) {}

  // Returns false once the song holds kMaxFrames: the rest is cut.
  bool interrupt() {
    if (started_ && !push()) return false;
    started_ = true;
    return true;
  }

  void write(uint8_t reg, uint8_t value) {
    // R14 and R15 are the chip's I/O ports, not sound.
    if (reg > 13) return;
    current_.regs[reg] = value;
    if (reg == 13) current_.shape_written = true;
  }

  void finish() {
    if (started_) push();
  }

 private:
  bool push() {
    if (song_->frames.size() >= kMaxFrames) return false;
    Frame frame;
    frame[0] = current_;
    song_->frames.push_back(frame);
    current_.shape_written = false;
    return true;
  }

  AySong* song_;
  ChipFrame current_;
  bool started_ = false;
};

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  if (!detect(data, size)) {
    *error = "not a PSG file";
    return false;
  }
  // Some emulators write only the four magic bytes; their log starts with
  // a marker where the longer header has its version.
  size_t at = size > 4 && data[4] >= kEndOfMusic ? 4 : kHeaderSize;
  if (at == kHeaderSize && size > 5 && data[4] >= 10 && data[5] != 0) song->frame_hz = data[5];
  FrameBuilder frames(song);
  bool room = true;
  while (room && at < size) {
    const uint8_t command = data[at++];
    if (command == kInterrupt) {
      room = frames.interrupt();
    } else if (command == kInterrupts) {
      if (at >= size) break;
      for (int i = 4 * data[at++]; room && i > 0; --i) room = frames.interrupt();
    } else if (command == kEndOfMusic) {
      break;
    } else {
      // A register (0..15) or another MSX device (16..252), and its value.
      if (at >= size) break;
      frames.write(command, data[at++]);
    }
  }
  if (room) frames.finish();
  if (song->frames.empty()) {
    *error = "the PSG file holds no frames";
    return false;
  }
  return true;
}

}  // namespace

const Format kPsgFormat = {"PSG register dump", detect, parse};

}  // namespace tools::ay
