#include "tools/renderer/ay/pt3_player.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "tools/renderer/ay/pt3_chip.h"
#include "tools/renderer/ay/zx_tracker.h"

namespace tools::ay {
namespace {

using pt3::Chip;
using pt3::Module;

constexpr char kProTracker[] = "ProTracker 3.";
constexpr char kVortex[] = "Vortex Tracker II";

// Vortex Tracker's TurboSound footer: "PT3!", the first module's size,
// "PT3!", the second's, "02TS".
constexpr size_t kFooterSize = 16;

bool starts_with(const uint8_t* data, size_t size, const char* text) {
  const size_t length = std::strlen(text);
  return size >= length && std::memcmp(data, text, length) == 0;
}

int version_of(const uint8_t* data) {
  const uint8_t digit = data[pt3::kVersionDigit];
  return digit >= '0' && digit <= '9' ? digit - '0' : 6;
}

// Pro Tracker 3.7 marks a TurboSound module by the number of patterns in
// the byte after the author, where older versions leave a space; 0 when
// the module drives one chip.
int second_chip_patterns(const uint8_t* data) {
  const uint8_t count = data[pt3::kSecondChipPatterns];
  return version_of(data) >= 7 && count != ' ' ? count : 0;
}

// Whether pattern `pattern`'s three track pointers lie in the module.
bool pattern_inside(const uint8_t* data, size_t size, int pattern) {
  const size_t table = data[pt3::kPatternTable] | data[pt3::kPatternTable + 1] << 8;
  const size_t entry = table + 6 * static_cast<size_t>(pattern);
  if (entry + 6 > size) return false;
  for (size_t i = 0; i < 3; ++i) {
    const size_t track = data[entry + 2 * i] | data[entry + 2 * i + 1] << 8;
    if (track >= size) return false;
  }
  return true;
}

// The header of one module: its text, and a position list that ends inside
// the file and names only patterns whose tracks lie inside it.
bool module_valid(const uint8_t* data, size_t size) {
  if (size <= pt3::kPositions + 1) return false;
  if (!starts_with(data, size, kProTracker) && !starts_with(data, size, kVortex)) return false;
  const int mirror = second_chip_patterns(data);
  size_t at = pt3::kPositions;
  for (; at < size && data[at] != pt3::kEndOfPositions; ++at) {
    if (data[at] % 3 != 0) return false;
    const int pattern = data[at] / 3;
    if (!pattern_inside(data, size, pattern)) return false;
    if (mirror != 0 && (pattern >= mirror || !pattern_inside(data, size, mirror - 1 - pattern))) return false;
  }
  return at < size && at > pt3::kPositions;
}

struct Layout {
  size_t first_size = 0;
  size_t second_size = 0;  // 0: no second module
};

bool layout_of(const uint8_t* data, size_t size, Layout* layout) {
  if (size >= kFooterSize) {
    const uint8_t* footer = data + size - kFooterSize;
    if (std::memcmp(footer, "PT3!", 4) == 0 && std::memcmp(footer + 6, "PT3!", 4) == 0 &&
        std::memcmp(footer + 12, "02TS", 4) == 0) {
      const size_t first = footer[4] | footer[5] << 8;
      const size_t second = footer[10] | footer[11] << 8;
      if (first + second > size - kFooterSize) return false;
      if (!module_valid(data, first) || !module_valid(data + first, second)) return false;
      *layout = {first, second};
      return true;
    }
  }
  if (!module_valid(data, size)) return false;
  *layout = {size, 0};
  return true;
}

// One module's position list, driving one chip, or two in Pro Tracker
// 3.7's TurboSound layout.
class ModulePlayer {
 public:
  ModulePlayer(const uint8_t* data, size_t size)
      : bytes_(data, size), mirror_(second_chip_patterns(data)) {
    module_.bytes = &bytes_;
    module_.version = version_of(data);
    module_.notes = &zx::pro_tracker3_notes(data[pt3::kNoteTable], module_.version);
    module_.volumes = &zx::pro_tracker3_volumes(module_.version);
    chips_[0] = std::make_unique<Chip>(module_);
    if (mirror_ != 0) chips_[1] = std::make_unique<Chip>(module_);
    while (data[pt3::kPositions + count_] != pt3::kEndOfPositions) ++count_;
    loop_ = data[pt3::kLoopPosition] < count_ ? data[pt3::kLoopPosition] : 0;
    delay_ = data[pt3::kDelay];
  }

  int loop_position() const { return loop_; }
  int position() const { return position_; }
  bool wrapped() const { return wrapped_; }
  bool broken() const { return bytes_.broken(); }
  bool drives_two_chips() const { return mirror_ != 0; }

  // Starts at the first position that has rows.
  bool start() {
    enter(0);
    return !chips_[0]->track_ended() || next_position();
  }

  // One frame; `second` receives the second chip's registers when this
  // module drives two. False when no position of the list has rows.
  bool play_frame(ChipFrame* first, ChipFrame* second) {
    wrapped_ = false;
    if (--delay_counter_ == 0) {
      if (chips_[0]->track_ends_at_next_row() && !next_position()) return false;
      for (auto& chip : chips_) {
        if (chip) chip->play_row(&delay_);
      }
      delay_counter_ = delay_;
    }
    chips_[0]->play_frame(first);
    if (chips_[1]) chips_[1]->play_frame(second);
    return true;
  }

 private:
  void enter(int position) {
    position_ = position;
    const int pattern = bytes_.byte(pt3::kPositions + static_cast<size_t>(position)) / 3;
    chips_[0]->start_pattern(pattern);
    if (chips_[1]) chips_[1]->start_pattern(mirror_ - 1 - pattern);
  }

  // Moves on past positions whose pattern has no rows, but at most once
  // round the list: a list of empty patterns has nothing to play.
  bool next_position() {
    for (int tried = 0; tried <= count_; ++tried) {
      int next = position_ + 1;
      if (next >= count_) {
        next = loop_;
        wrapped_ = true;
      }
      enter(next);
      if (!chips_[0]->track_ended()) return true;
    }
    return false;
  }

  zx::ModuleBytes bytes_;
  Module module_;
  int mirror_;
  std::unique_ptr<Chip> chips_[2];
  int count_ = 0, loop_ = 0, position_ = 0;
  uint8_t delay_ = 1, delay_counter_ = 1;
  bool wrapped_ = false;
};

// The whole song: one module, or modules side by side, one chip each, the
// first module's position list leading. Only the first may drive two
// chips in Pro Tracker 3.7's layout; a later module's mirrored chip has no
// chip of its own to play on.
class Pt3Song : public zx::PositionPlayer {
 public:
  void add(const uint8_t* data, size_t size) { modules_.push_back(std::make_unique<ModulePlayer>(data, size)); }

  int chips() const {
    const int mirrored = modules_[0]->drives_two_chips() ? 2 : 1;
    return std::max(mirrored, static_cast<int>(modules_.size()));
  }
  int loop_position() const { return modules_[0]->loop_position(); }

  bool start(std::string* error) {
    for (auto& module : modules_) {
      if (!module->start()) {
        *error = "no pattern of the position list has rows";
        return false;
      }
    }
    return true;
  }

  bool play_frame(Frame* frame, std::string* error) override {
    bool played = modules_[0]->play_frame(&(*frame)[0], &(*frame)[1]);
    ChipFrame unheard;
    for (size_t i = 1; played && i < modules_.size(); ++i) played = modules_[i]->play_frame(&(*frame)[i], &unheard);
    for (const auto& module : modules_) {
      if (module->broken()) {
        *error = "the module's data points past its end";
        return false;
      }
    }
    if (!played) {
      *error = "no pattern of the position list has rows";
      return false;
    }
    return true;
  }
  int position() const override { return modules_[0]->position(); }
  bool wrapped() const override { return modules_[0]->wrapped(); }

 private:
  std::vector<std::unique_ptr<ModulePlayer>> modules_;
};

bool detect(const uint8_t* data, size_t size) {
  Layout layout;
  return layout_of(data, size, &layout);
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  Layout layout;
  if (!layout_of(data, size, &layout)) {
    *error = "not a Pro Tracker 3 module";
    return false;
  }
  Pt3Song player;
  player.add(data, layout.first_size);
  if (layout.second_size != 0) player.add(data + layout.first_size, layout.second_size);
  if (!player.start(error)) return false;
  song->chip = ChipType::ay;
  song->clock_hz = 1773400;
  song->frame_hz = 50;
  song->chips = player.chips();
  song->title = zx::field_text(data + pt3::kTitle, 32);
  song->author = zx::field_text(data + pt3::kAuthor, 32);
  song->program = starts_with(data, size, kVortex) ? "Vortex Tracker II" : "Pro Tracker 3";
  return zx::record_pass(player, player.loop_position(), song, error);
}

}  // namespace

bool play_pt3_side_by_side(const std::vector<std::vector<uint8_t>>& modules, AySong* song, std::string* error) {
  if (modules.empty() || modules.size() > static_cast<size_t>(kMaxChips)) {
    *error = "no room for " + std::to_string(modules.size()) + " chips";
    return false;
  }
  Pt3Song player;
  for (const std::vector<uint8_t>& module : modules) {
    if (!module_valid(module.data(), module.size())) {
      *error = "not a Pro Tracker 3 module";
      return false;
    }
    player.add(module.data(), module.size());
  }
  if (!player.start(error)) return false;
  song->chips = player.chips();
  return zx::record_pass(player, player.loop_position(), song, error);
}

const Format kPt3Format = {"Pro Tracker 3", detect, parse};

}  // namespace tools::ay
