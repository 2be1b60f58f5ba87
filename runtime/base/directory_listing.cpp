#include "runtime/base/directory_listing.h"

#include <cstring>

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

// The search text: directory, a "\" when it lacks one, the pattern; false
// when it would pass the platform's path limit.
static bool search_text(char* buffer, const char* directory, const char* pattern) {
  if (!directory) directory = "";
  if (!pattern || !pattern[0]) pattern = "*.*";
  size_t length = strlen(directory);
  bool add_separator = length && directory[length - 1] != '\\';
  if (length + add_separator + strlen(pattern) > PATH_LIMIT) return false;
  memcpy(buffer, directory, length);
  if (add_separator) buffer[length++] = '\\';
  strcpy(buffer + length, pattern);
  return true;
}

INT_PTR open_directory_listing(int32_t number, const char* directory, const char* pattern) {
  if (!g_listings) g_listings = registry_create(sizeof(DirectoryListing), 16, release_listing);
  char buffer[MAX_PATH + 1];
  if (!search_text(buffer, directory, pattern)) {
    // Refused like a folder that cannot be listed: the number is free.
    if (number != OBJECT_ANY) close_directory_listing(number);
    return 0;
  }
  auto* listing = static_cast<DirectoryListing*>(registry_allocate(g_listings, number));
  if (!listing) return 0;
  ObjectId id = number == OBJECT_ANY ? reinterpret_cast<ObjectId>(listing) : number;
  HANDLE handle = FindFirstFileA(buffer, &listing->find_data);
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
    return 1;
  }
  return FindNextFileA(listing->find_handle, &listing->find_data) ? 1 : 0;
}

int32_t directory_entry_type(INT_PTR number) {
  DirectoryListing* listing = find_listing(number);
  if (!listing) return 0;
  return (listing->find_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ENTRY_DIRECTORY : ENTRY_FILE;
}

char* directory_entry_name(INT_PTR number, int32_t p) {
  DirectoryListing* listing = find_listing(number);
  return left_chars(listing ? listing->find_data.cFileName : "", MAX_PATH, p);
}
