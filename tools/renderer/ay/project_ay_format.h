// Project AY files (see project_ay_file.h) as a format of the AY engine:
// each song runs on the machine it was ripped from, which the file does not
// name, so a short run of each song tells: a player that touches the CPC's
// PPI ports is a CPC one, any other a Spectrum one.
#pragma once

#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/project_ay_machine.h"
#include "tools/renderer/ay/song_list.h"

namespace tools::ay {

extern const Format kProjectAyFormat;

// The songs with the limits the machines run under; the format's own
// `open_songs` uses the defaults. The data is copied.
std::unique_ptr<SongList> open_project_ay(const uint8_t* data, size_t size, const project::MachineLimits& limits,
                                          double probe_seconds, std::string* error);

}  // namespace tools::ay
