#include "tools/renderer/ay_tune.h"

#include "tools/common/text_encoding.h"
#include "tools/common/version.h"
#include "tools/renderer/ay/song_player.h"
#include "tools/renderer/ay/song_sequence.h"

namespace tools {
namespace {

class AyTune : public Tune {
 public:
  AyTune(ay::AySong song, std::string format_name)
      : song_(std::move(song)), format_name_(std::move(format_name)), player_(song_) {}

  std::string format_name() const override { return format_name_; }
  TuneTags tags() const override { return ay_song_tags(song_); }
  TuneLength length() const override { return ay_song_length(song_); }
  void set_play_past_end(bool play_on) override { player_.set_play_past_end(play_on); }
  size_t render(int16_t* out, size_t frames) override { return player_.render(out, frames); }

 private:
  const ay::AySong song_;  // the player keeps a reference: declared first
  const std::string format_name_;
  ay::SongPlayer player_;
};

// A file of songs that each run a source of their own: all of them, one
// after the other, each to its own length and fade.
class SequenceTune : public Tune {
 public:
  SequenceTune(std::unique_ptr<ay::SongList> songs, std::string format_name)
      : songs_(std::move(songs)), format_name_(std::move(format_name)), sequence_(*songs_) {}

  std::string format_name() const override { return format_name_; }
  TuneTags tags() const override { return song_list_tags(*songs_); }
  TuneLength length() const override {
    // The sequence ends by itself; stated, so that the renderer's cap
    // still ends it in a fade.
    TuneLength length;
    length.kind = TuneLength::Kind::stated;
    length.seconds = ay::planned_seconds(*songs_, ay::SequencePolicy());
    return length;
  }
  void set_play_past_end(bool) override {}
  size_t render(int16_t* out, size_t frames) override { return sequence_.render(out, frames); }

 private:
  const std::unique_ptr<ay::SongList> songs_;
  const std::string format_name_;
  ay::SongSequence sequence_;
};

}  // namespace

TuneTags song_list_tags(const ay::SongList& songs) {
  // A file of one song is named by it; a file of several by its misc text,
  // which names the game or demo, or else by its first song.
  TuneTags tags;
  const std::string first = songs.songs.empty() ? std::string() : songs.songs.front().name;
  const bool one = songs.songs.size() == 1;
  const std::string& named = one ? first : songs.comment;
  tags.title = text_to_utf8(named.empty() ? (one ? songs.comment : first) : named);
  tags.artist = text_to_utf8(songs.author);
  tags.comment = text_to_utf8(songs.comment);
  return tags;
}

TuneLength ay_song_length(const ay::AySong& song) {
  TuneLength length;
  const auto frames = static_cast<long>(song.frames.size());
  length.seconds = static_cast<double>(frames) / song.frame_hz;
  if (song.loop_frame >= 0 && song.loop_frame < frames) {
    // Dumps that state a loop frame and trackers whose position list loops
    // alike: the intro, the loop twice, then the fade.
    length.kind = TuneLength::Kind::loops;
    length.loop_start = static_cast<double>(song.loop_frame) / song.frame_hz;
  } else {
    length.kind = TuneLength::Kind::ends;
  }
  return length;
}

TuneTags ay_song_tags(const ay::AySong& song) {
  // The texts come in the code page of the machine that wrote them: ZX
  // trackers from Russia in 866 or 1251, the rest ASCII or Latin-1.
  // text_to_utf8 keeps valid UTF-8, takes a text whose every high byte is a
  // Cyrillic letter in words made only of such letters as 1251 (checked
  // first) or else 866, and reads anything else as Latin-1.
  TuneTags tags;
  tags.title = text_to_utf8(song.title);
  tags.artist = text_to_utf8(song.author);
  tags.album = text_to_utf8(song.program);
  tags.copyright = text_to_utf8(song.year);
  tags.comment = text_to_utf8(song.comment);
  return tags;
}

std::unique_ptr<Tune> make_ay_tune(ay::AySong song, const std::string& format_name) {
  return std::make_unique<AyTune>(std::move(song), format_name);
}

std::unique_ptr<Tune> open_ay_tune(const std::vector<uint8_t>& data, const std::string&, std::string* error) {
  std::string first_reason;
  for (const ay::Format& format : ay::formats()) {
    if (!format.detect(data.data(), data.size())) continue;
    ay::AySong song;
    std::string reason;
    if (format.open_songs) {
      std::unique_ptr<ay::SongList> songs = format.open_songs(data.data(), data.size(), &reason);
      if (songs) return std::make_unique<SequenceTune>(std::move(songs), format.name);
      if (first_reason.empty()) first_reason = std::string(format.name) + ": " + reason;
      continue;
    }
    if (format.parse(data.data(), data.size(), &song, &reason) && ay::SongPlayer::playable(song, &reason)) {
      return make_ay_tune(std::move(song), format.name);
    }
    if (first_reason.empty()) first_reason = std::string(format.name) + ": " + reason;
  }
  *error = first_reason;
  return nullptr;
}

std::string ay_engine_version() { return "AY/YM engine " TOOLS_VERSION; }

}  // namespace tools
