// libsndfile's virtual I/O over a FILE* that the tools open themselves, so
// that paths are handled the same way by every library and platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <sndfile.h>

namespace tools {

// Callbacks whose user data is a FILE* opened in binary mode.
SF_VIRTUAL_IO* file_virtual_io();

// 64-bit seek and tell on a FILE*.
int seek_file(FILE* file, int64_t offset, int whence);
int64_t tell_file(FILE* file);

}  // namespace tools
