// Sizes and kinds of paths, deleting files and the current directory.
// Paths longer than the platform's 260-character limit are refused, never
// cut: a cut path could name another, existing file.
#pragma once

#include <cstdint>

constexpr int64_t FILE_MISSING = -1;
constexpr int64_t FILE_IS_FOLDER = -2;  // a folder, a drive root or a share

// The size in bytes of a file; -2 for a folder, a drive root ("C:" or
// "C:\") or a network share; -1 for an empty, missing or too long path.
int64_t file_size(const char* path);

// Deletes a file: non-zero on success, 0 for a null or too long name.
int32_t remove_file(const char* name);

// The current directory at p, always ending in exactly one "\".
char* current_directory(int32_t p);
