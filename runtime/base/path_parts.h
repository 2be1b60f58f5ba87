// Parts of a path, written into the workspace at p. The path may itself lie
// in the workspace.
#pragma once

#include <cstdint>

// The text after the last dot of the last component (up to a double quote),
// without the dot; empty when that component has none.
char* path_extension(const char* path, int32_t p);

// The text after the last "\" or "/", without surrounding double quotes.
char* path_file_part(const char* path, int32_t p);
