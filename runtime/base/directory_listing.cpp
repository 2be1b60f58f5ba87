#include "runtime/base/directory_listing.h"

#include <cstring>

#include "runtime/base/code_page.h"
#include "runtime/base/path_buffer.h"
#include "runtime/base/string_functions.h"
#include "runtime/base/string_workspace.h"
#include "runtime/window/registry.h"

static ObjectRegistry* g_listings = nullptr;

static DirectoryListing* find_listing(INT_PTR number) {
  return static_cast<DirectoryListing*>(registry_lookup(g_listings, number));
}

void close_directory_listing(INT_PTR number) {
  DirectoryListing* listing = find_listing(number);
  if (!listing) return;
  if (listing->find_handle != INVALID_HANDLE_VALUE) FindClose(listing->find_handle);
  registry_free(g_listings, number);
}

static void release_listing(int32_t number) { close_directory_listing(number); }

// The search text in UTF-16: directory, a "\\" when it lacks one, the
// pattern; false when it would pass the platform's path limit or is no
// text of the ANSI code page.
static bool search_text(WCHAR* buffer, const char* directory, const char* pattern) {
  if (!directory) directory = "";
  if (!pattern || !pattern[0]) pattern = "*.*";
  const int32_t length = wide_from_ansi(directory, buffer, MAX_PATH);
  if (length < 0) return false;
  const bool add_separator = length && buffer[length - 1] != L'\\';
  if (add_separator) buffer[length] = L'\\';
  const int32_t pattern_at = length + add_separator;
  const int32_t pattern_length = wide_from_ansi(pattern, buffer + pattern_at, MAX_PATH - pattern_at);
  return pattern_length >= 0 && static_cast<size_t>(pattern_at + pattern_length) <= PATH_LIMIT;
}

// Takes the current entry's name, or false when the ANSI code page cannot
// hold it.
static bool take_name(DirectoryListing* listing) {
  const WCHAR* name = listing->find_data.cFileName;
  const int32_t length = ansi_from_wide(name, lstrlenW(name), listing->name,
                                        static_cast<int32_t>(sizeof listing->name - 1));
  if (length < 0) return false;
  listing->name[length] = '\0';
  return true;
}

INT_PTR open_directory_listing(int32_t number, const char* directory, const char* pattern) {
  if (!g_listings) g_listings = registry_create(sizeof(DirectoryListing), 16, release_listing);
  WCHAR buffer[MAX_PATH + 1];
  if (!search_text(buffer, directory, pattern)) {
    // Refused like a folder that cannot be listed: the number is free.
    if (number != OBJECT_ANY) close_directory_listing(number);
    return 0;
  }
  auto* listing = static_cast<DirectoryListing*>(registry_allocate(g_listings, number));
  if (!listing) return 0;
  ObjectId id = number == OBJECT_ANY ? reinterpret_cast<ObjectId>(listing) : number;
  HANDLE handle = FindFirstFileW(buffer, &listing->find_data);
  if (handle != INVALID_HANDLE_VALUE) {
    listing->started = 0;
  } else if (GetLastError() == ERROR_FILE_NOT_FOUND) {
    listing->started = 1;  // a listing with no entries
  } else {
    listing->find_handle = nullptr;
    registry_free(g_listings, id);
    return 0;
  }
  listing->find_handle = handle;  // live from here on
  return number == OBJECT_ANY ? id : reinterpret_cast<INT_PTR>(listing);
}

int32_t next_directory_entry(INT_PTR number) {
  DirectoryListing* listing = find_listing(number);
  if (!listing || listing->find_handle == INVALID_HANDLE_VALUE) return 0;
  if (!listing->started) {
    listing->started = 1;
    if (take_name(listing)) return 1;
  }
  while (FindNextFileW(listing->find_handle, &listing->find_data))
    if (take_name(listing)) return 1;
  return 0;
}

int32_t directory_entry_type(INT_PTR number) {
  DirectoryListing* listing = find_listing(number);
  if (!listing) return 0;
  return (listing->find_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ENTRY_DIRECTORY : ENTRY_FILE;
}

char* directory_entry_name(INT_PTR number, int32_t p) {
  DirectoryListing* listing = find_listing(number);
  return left_chars(listing ? listing->name : "", static_cast<int32_t>(sizeof listing->name), p);
}
