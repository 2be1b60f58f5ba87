// The renderer's own engine for AY-3-8910 / YM2149 music: register dumps
// (PSG, YM, VTX), ZX Spectrum tracker modules and Project AY programs,
// recognised by content and played through the chip emulation: the first
// kinds as an AySong, the programs on the machine they were written for.
#pragma once

#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/song_list.h"
#include "tools/renderer/tune.h"

namespace tools {

std::unique_ptr<Tune> open_ay_tune(const std::vector<uint8_t>& data, const std::string& path,
                                   std::string* error);

// Plays a song already parsed (the tests' and the benchmark's way in).
std::unique_ptr<Tune> make_ay_tune(ay::AySong song, const std::string& format_name);

// How long a song plays, by its frames and loop frame.
TuneLength ay_song_length(const ay::AySong& song);

// The tags of a song, converted to UTF-8.
TuneTags ay_song_tags(const ay::AySong& song);

// The tags of a file of songs, converted to UTF-8.
TuneTags song_list_tags(const ay::SongList& songs);

// "AY/YM engine 1.0 (lhasa 0.3.1)".
std::string ay_engine_version();

}  // namespace tools
