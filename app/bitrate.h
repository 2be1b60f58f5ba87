// The MP3 bit rate, asked for with the requester on a click on the status
// bar and shown in its field 0.
#pragma once

#include <cstdint>

// The accepted rate for an entry: its leading number if 56..320, else 128.
int32_t bitrate_from_entry(const char* entry);

// Runs the modal dialogue, stores the rate in converter_state.bitrate_kbit
// and shows it. GUI thread.
void ask_bitrate();
