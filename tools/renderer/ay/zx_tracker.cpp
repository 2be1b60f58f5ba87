#include "tools/renderer/ay/zx_tracker.h"

namespace tools::ay::zx {

bool record_pass(PositionPlayer& player, int loop_position, AySong* song, std::string* error) {
  song->frames.clear();
  song->loop_frame = -1;
  bool reached_loop = false;
  long loop_frame = -1;
  const size_t cap = max_frames(song->frame_hz);
  while (song->frames.size() < cap) {
    Frame frame{};
    if (!player.play_frame(&frame, error)) return false;
    if (player.wrapped()) break;
    if (!reached_loop && player.position() == loop_position) {
      reached_loop = true;
      loop_frame = static_cast<long>(song->frames.size());
    }
    song->frames.push_back(frame);
  }
  if (song->frames.size() >= cap) {
    // The list did not come round within the cap: what follows the last
    // recorded frame is not the loop.
    song->loop_frame = -1;
  } else {
    song->loop_frame = loop_frame;
  }
  if (song->frames.empty()) {
    *error = "the module plays no frames";
    return false;
  }
  return true;
}

std::string field_text(const uint8_t* data, size_t size) {
  size_t begin = 0, end = size;
  while (begin < end && (data[begin] == ' ' || data[begin] == 0)) ++begin;
  while (end > begin && (data[end - 1] == ' ' || data[end - 1] == 0)) --end;
  return std::string(reinterpret_cast<const char*>(data) + begin, end - begin);
}

}  // namespace tools::ay::zx
