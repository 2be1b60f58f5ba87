#include "tools/renderer/ay/song_sequence.h"

#include <algorithm>
#include <cmath>

#include "tools/renderer/render_plan.h"
#include "tools/renderer/tune.h"

namespace tools::ay {
namespace {

int64_t to_frames(double seconds) { return static_cast<int64_t>(std::llround(seconds * kSampleRate)); }

bool is_silent(const int16_t* frame) {
  return std::abs(frame[0]) <= kSilenceLevel && std::abs(frame[1]) <= kSilenceLevel;
}

constexpr size_t kBlock = 1024;

}  // namespace

SongPlan plan_song(const SongEntry& song, const SequencePolicy& policy) {
  SongPlan plan;
  if (song.seconds > 0) {
    plan.play_frames = to_frames(song.seconds);
    plan.fade_frames = to_frames(song.fade_seconds);
  } else {
    plan.play_frames = to_frames(policy.unknown_max_seconds);
    plan.fade_frames = to_frames(policy.unknown_fade_seconds);
    plan.until_silence = true;
  }
  return plan;
}

double planned_seconds(const SongList& list, const SequencePolicy& policy) {
  int64_t frames = 0;
  for (const SongEntry& song : list.songs) {
    const SongPlan plan = plan_song(song, policy);
    frames += plan.play_frames + plan.fade_frames;
  }
  if (list.songs.size() > 1) frames += static_cast<int64_t>(list.songs.size() - 1) * to_frames(policy.gap_seconds);
  return static_cast<double>(frames) / kSampleRate;
}

SongSequence::SongSequence(SongList& list, const SequencePolicy& policy) : list_(list), policy_(policy) {}

SongSequence::~SongSequence() = default;

size_t SongSequence::render(int16_t* out, size_t frames) {
  size_t done = 0;
  while (done < frames) {
    if (read_ < ready_.size()) {
      const size_t n = std::min(frames - done, (ready_.size() - read_) / 2);
      std::copy(ready_.begin() + static_cast<std::ptrdiff_t>(read_),
                ready_.begin() + static_cast<std::ptrdiff_t>(read_ + 2 * n), out + 2 * done);
      read_ += 2 * n;
      done += n;
      continue;
    }
    ready_.clear();
    read_ = 0;
    if (!advance()) break;
  }
  return done;
}

void SongSequence::start_song(size_t index) {
  song_ = index;
  song_frames_ = 0;
  plan_ = plan_song(list_.songs[index], policy_);
  std::string reason;
  source_ = list_.open(index, &reason);
  if (!source_) {
    if (error_.empty()) error_ = "song " + std::to_string(index + 1) + ": " + reason;
    return;
  }
  player_ = std::make_unique<SongPlayer>(*source_);
}

void SongSequence::finish_song() {
  if (player_ && !player_->error().empty() && error_.empty()) {
    error_ = "song " + std::to_string(song_ + 1) + ": " + player_->error();
  }
  player_.reset();
  source_.reset();
  silence_.clear();
  if (next_song_ < list_.songs.size()) gap_left_ = to_frames(policy_.gap_seconds);
}

bool SongSequence::advance() {
  if (gap_left_ > 0) {
    const auto n = static_cast<size_t>(std::min<int64_t>(gap_left_, kBlock));
    ready_.assign(2 * n, 0);
    gap_left_ -= static_cast<int64_t>(n);
    return true;
  }
  if (!player_) {
    if (next_song_ >= list_.songs.size()) return false;
    start_song(next_song_++);
    if (!player_) {
      finish_song();
      return true;
    }
  }
  const int64_t left = plan_.play_frames + plan_.fade_frames - song_frames_;
  if (left <= 0) {
    finish_song();
    return true;
  }
  const auto want = static_cast<size_t>(std::min<int64_t>(kBlock, left));
  int16_t block[2 * kBlock];
  const size_t got = player_->render(block, want);
  for (size_t i = 0; i < got; ++i) {
    const int64_t into_fade = song_frames_ + static_cast<int64_t>(i) - plan_.play_frames;
    if (into_fade < 0) continue;
    const double gain = 1.0 - static_cast<double>(into_fade) / static_cast<double>(plan_.fade_frames);
    for (int c = 0; c < 2; ++c) block[2 * i + c] = static_cast<int16_t>(std::lround(block[2 * i + c] * gain));
  }
  song_frames_ += static_cast<int64_t>(got);
  keep(block, got);
  if (got < want) finish_song();
  return true;
}

void SongSequence::keep(const int16_t* frames, size_t count) {
  if (!plan_.until_silence) {
    ready_.insert(ready_.end(), frames, frames + 2 * count);
    return;
  }
  // A silent stretch waits until sound follows it; one that lasts long
  // enough is the song's end, and is dropped with the rest of the song.
  for (size_t i = 0; i < count; ++i) {
    const int16_t* frame = frames + 2 * i;
    if (is_silent(frame)) {
      silence_.insert(silence_.end(), frame, frame + 2);
      if (static_cast<int64_t>(silence_.size() / 2) >= to_frames(policy_.silence_end_seconds)) {
        finish_song();
        return;
      }
      continue;
    }
    ready_.insert(ready_.end(), silence_.begin(), silence_.end());
    silence_.clear();
    ready_.insert(ready_.end(), frame, frame + 2);
  }
}

}  // namespace tools::ay
