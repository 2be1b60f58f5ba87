// How a file of several songs plays: every song in file order, each for its
// stated length and then its fade, with a gap of silence between songs. A
// song of unknown length plays until it has been silent for a while (that
// silence is left out), at most a few minutes, and then fades.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/renderer/ay/song_list.h"
#include "tools/renderer/ay/song_player.h"

namespace tools::ay {

struct SequencePolicy {
  double gap_seconds = 1.5;
  double silence_end_seconds = 3;
  double unknown_max_seconds = 180;
  double unknown_fade_seconds = 8;
};

// One song's share of the output, in frames at 44,100 Hz.
struct SongPlan {
  int64_t play_frames = 0;
  int64_t fade_frames = 0;
  bool until_silence = false;
};

SongPlan plan_song(const SongEntry& song, const SequencePolicy& policy);

// The longest the whole sequence can take: every song to its plan's end,
// the gaps between them.
double planned_seconds(const SongList& list, const SequencePolicy& policy);

class SongSequence {
 public:
  // `list` must outlive the sequence.
  explicit SongSequence(SongList& list, const SequencePolicy& policy = {});
  ~SongSequence();

  // Up to `frames` interleaved stereo frames; fewer only at the end.
  size_t render(int16_t* out, size_t frames);

  // The song playing now (or last played), from 0.
  size_t song() const { return song_; }
  // Why a song stopped early or did not start, if one did.
  const std::string& error() const { return error_; }

 private:
  bool advance();
  void start_song(size_t index);
  void finish_song();
  void keep(const int16_t* frames, size_t count);

  SongList& list_;
  const SequencePolicy policy_;
  size_t song_ = 0;
  size_t next_song_ = 0;
  std::unique_ptr<ChipSource> source_;
  std::unique_ptr<SongPlayer> player_;
  SongPlan plan_;
  int64_t song_frames_ = 0;  // rendered of the current song
  int64_t gap_left_ = 0;
  std::vector<int16_t> silence_;  // a silent stretch held back until sound follows
  std::vector<int16_t> ready_;
  size_t read_ = 0;
  std::string error_;
};

}  // namespace tools::ay
