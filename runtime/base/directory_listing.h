// Numbered directory listings, read entry by entry. Opening a number that
// is open releases the old listing, so a recursive walk keeps one number
// per depth. Used by one thread at a time (no lock).
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int32_t ENTRY_FILE = 1;
constexpr int32_t ENTRY_DIRECTORY = 2;

struct DirectoryListing {
  HANDLE find_handle;  // INVALID_HANDLE_VALUE: a listing that matched nothing
  int32_t started;
  WIN32_FIND_DATAW find_data;
  // The entry's name in the ANSI code page: up to three bytes a UTF-16 unit.
  char name[3 * MAX_PATH + 1];
};

// Lists `directory` (a "\" is added when missing) with `pattern` (null or
// empty: "*.*") under `number` (or OBJECT_ANY). The listing (non-zero), or
// 0 when the folder cannot be listed or the search text would not fit the
// platform's path limit. A pattern that matches nothing is a listing with
// no entries.
INT_PTR open_directory_listing(int32_t number, const char* directory, const char* pattern);

// Non-zero when the next entry is there ("." and ".." included). An entry
// whose name the ANSI code page cannot hold is passed over (code_page.h).
int32_t next_directory_entry(INT_PTR number);

// ENTRY_FILE, ENTRY_DIRECTORY, or 0 when there is no such listing.
int32_t directory_entry_type(INT_PTR number);

// The current entry's name at p; empty without such a listing.
char* directory_entry_name(INT_PTR number, int32_t p);

// Closes the search and frees the number.
void close_directory_listing(INT_PTR number);
