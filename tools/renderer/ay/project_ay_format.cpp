#include "tools/renderer/ay/project_ay_format.h"

#include <vector>

#include "tools/renderer/ay/project_ay_file.h"

namespace tools::ay {
namespace {

// The beeper's loudness beside the AY: like one channel at full volume
// when a song uses both, louder alone, so that a beeper tune is not quiet.
constexpr float kBeeperWithChip = 1.0f;
constexpr float kBeeperAlone = 2.0f;

// How long each song runs before it is played, to see which machine it
// wants and whether it makes a sound.
constexpr double kProbeSeconds = 2;

class ProjectAySongs : public SongList {
 public:
  ProjectAySongs(std::vector<uint8_t> data, const project::MachineLimits& limits)
      : data_(std::move(data)), limits_(limits) {}

  bool load(double probe_seconds, std::string* error) {
    if (!project::parse_file(data_.data(), data_.size(), &file_, error)) return false;
    author = file_.author;
    comment = file_.misc;
    for (size_t i = 0; i < file_.songs.size(); ++i) {
      const project::Song& song = file_.songs[i];
      project::Probe probe = project::Machine::probe(data_.data(), song, project::MachineKind::spectrum,
                                                     probe_seconds, limits_);
      Played played;
      if (probe.cpc_ports) {
        played.kind = project::MachineKind::cpc;
        probe = project::Machine::probe(data_.data(), song, project::MachineKind::cpc, probe_seconds, limits_);
      }
      if (!probe.ok) {
        *error = "song " + std::to_string(i + 1) + ": " + probe.error;
        return false;
      }
      if (probe.beeper && played.kind == project::MachineKind::spectrum) {
        played.beeper_level = probe.chip ? kBeeperWithChip : kBeeperAlone;
      }
      played_.push_back(played);
      SongEntry entry;
      entry.name = song.name;
      entry.seconds = song.length_frames / 50.0;
      entry.fade_seconds = song.fade_frames / 50.0;
      songs.push_back(entry);
    }
    return true;
  }

  std::unique_ptr<ChipSource> open(size_t index, std::string* error) override {
    if (index >= played_.size()) {
      *error = "no such song";
      return nullptr;
    }
    return std::make_unique<project::Machine>(data_.data(), file_.songs[index], played_[index].kind, limits_,
                                              played_[index].beeper_level);
  }

  const project::File& file() const { return file_; }

 private:
  struct Played {
    project::MachineKind kind = project::MachineKind::spectrum;
    float beeper_level = 0;
  };

  const std::vector<uint8_t> data_;
  const project::MachineLimits limits_;
  project::File file_;
  std::vector<Played> played_;
};

bool detect(const uint8_t* data, size_t size) { return project::is_project_ay(data, size); }

std::unique_ptr<SongList> open_songs(const uint8_t* data, size_t size, std::string* error) {
  return open_project_ay(data, size, {}, kProbeSeconds, error);
}

}  // namespace

std::unique_ptr<SongList> open_project_ay(const uint8_t* data, size_t size, const project::MachineLimits& limits,
                                          double probe_seconds, std::string* error) {
  auto songs = std::make_unique<ProjectAySongs>(std::vector<uint8_t>(data, data + size), limits);
  if (!songs->load(probe_seconds, error)) return nullptr;
  return songs;
}

const Format kProjectAyFormat = {"Project AY", detect, nullptr, open_songs};

}  // namespace tools::ay
