// A file of several songs that each play from a source of their own, as a
// Project AY file's songs each run the machine afresh: what the file says
// of each, and the way to start one.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "tools/renderer/ay/chip_source.h"

namespace tools::ay {

struct SongEntry {
  std::string name;         // raw bytes, any code page
  double seconds = 0;       // how long it plays; 0: not known
  double fade_seconds = 0;  // the fade that follows
};

class SongList {
 public:
  virtual ~SongList() = default;

  // A source playing song `index` from its start, or null with the reason.
  virtual std::unique_ptr<ChipSource> open(size_t index, std::string* error) = 0;

  std::vector<SongEntry> songs;  // in file order, at least one
  // Raw bytes, any code page.
  std::string author;
  std::string comment;
};

}  // namespace tools::ay
