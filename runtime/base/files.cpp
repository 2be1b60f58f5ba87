#include "runtime/base/files.h"

#include "runtime/base/code_page.h"
#include "runtime/base/path_buffer.h"
#include "runtime/base/string_workspace.h"
#include "runtime/window/runtime_heap.h"

static int64_t drive_root_kind(char* buffer, size_t length) {
  if (length == 2) {
    buffer[2] = '\\';
    buffer[3] = '\0';
  }
  // Unknown (0) and no root directory (1) mean no such drive.
  return GetDriveTypeA(buffer) > DRIVE_NO_ROOT_DIR ? FILE_IS_FOLDER : FILE_MISSING;
}

int64_t file_size(const char* path) {
  if (!path || !path[0]) return FILE_MISSING;
  char buffer[PATH_BUFFER_BYTES];
  if (!copy_path(buffer, path)) return FILE_MISSING;
  size_t length = strlen(buffer);
  if ((length == 2 || length == 3) && buffer[1] == ':' && (length == 2 || buffer[2] == '\\'))
    return drive_root_kind(buffer, length);
  while (length > 0 && buffer[length - 1] == '\\') buffer[--length] = '\0';
  if (!length) return FILE_MISSING;

  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(buffer, &found);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return FILE_IS_FOLDER;
    return (static_cast<int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  }
  // A share's root lists nothing; its attributes still tell.
  if (buffer[0] == '\\' && buffer[1] == '\\') {
    DWORD attributes = GetFileAttributesA(buffer);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return FILE_IS_FOLDER;
  }
  return FILE_MISSING;
}

int32_t remove_file(const char* name) {
  if (!name) return 0;
  char buffer[PATH_BUFFER_BYTES];
  if (!copy_path(buffer, name)) return 0;
  return DeleteFileA(buffer) ? 1 : 0;
}

char* current_directory(int32_t p) {
  // Read in UTF-16 and converted here: the ANSI function would best-fit a
  // folder the code page cannot hold to a look-alike, and the WAV files
  // are made and deleted there; such a folder reads as none. The length is
  // asked for first: a deep folder needs more than 260 units, and a cut
  // one would name another folder.
  DWORD needed = GetCurrentDirectoryW(0, nullptr);
  auto* wide = static_cast<WCHAR*>(runtime_alloc((needed + 1) * sizeof(WCHAR)));
  DWORD length = wide ? GetCurrentDirectoryW(needed, wide) : 0;
  if (length >= needed) length = 0;  // changed meanwhile: report nothing
  const int32_t room = 3 * static_cast<int32_t>(length) + 2;
  char* out = workspace_reserve(room, p);
  int32_t written = ansi_from_wide(wide, static_cast<int32_t>(length), out, room - 2);
  runtime_free(wide);
  if (written < 0) written = 0;
  if (written && out[written - 1] != '\\') out[written++] = '\\';
  out[written] = '\0';
  workspace_give_back(room - written);
  return out;
}
