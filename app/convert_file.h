// Converting one file: the renderer "amiga.exe" writes a WAV into the
// current directory, the encoder "suxx.exe" makes the MP3 beside the
// source, then the WAV and the renderer's "Ay_Emul.ayl" are deleted.
// Failures pass the file over silently. Blocks until both programs end.
#pragma once

#include <cstdint>

// `path` may lie in the calling thread's workspace. Returns 0.
int32_t convert_file(const char* path);
