#include <windows.h>

#include <shlobj.h>

#include <cstdint>
#include <cstring>

#include "runtime/base/code_page.h"
#include "runtime/base/string_workspace.h"
#include "runtime/dragdrop/drag_drop.h"
#include "runtime/window/event_state.h"
#include "runtime/window/runtime_heap.h"

static const DropPayload* current_payload() {
  EventState* state = event_state();
  return state ? state->drop_payload : nullptr;
}

int32_t event_drop_type() {
  const DropPayload* payload = current_payload();
  return payload ? payload->type : 0;
}

namespace {

// The path list of a DROPFILES block, read front to back in one pass.
// DragQueryFileA would give the same texts, but it walks the list from its
// start for every path asked for: the list of a drop of 10,000 files took
// 13 s of the GUI thread that way under Wine, 53 s for 20,000.
struct PathList {
  const BYTE* next;  // the next path
  const BYTE* end;   // the end of the dropped block: nothing is read beyond it
  bool wide;         // UTF-16 paths, else ANSI ones
};

// A path of the list: its first byte and its length in characters.
struct PathText {
  const BYTE* start;
  size_t length;
};

}  // namespace

// The list of a file drop's payload; false for any other payload, for a
// block too short for its header and for one whose list would start
// outside it.
static bool path_list_of(const DropPayload* payload, PathList* list) {
  if (!payload || payload->type != DROP_TYPE_FILES || !payload->data) return false;
  if (payload->size < static_cast<int32_t>(sizeof(DROPFILES))) return false;
  const auto* header = static_cast<const DROPFILES*>(payload->data);
  if (header->pFiles > static_cast<DWORD>(payload->size)) return false;
  const BYTE* block = static_cast<const BYTE*>(payload->data);
  *list = {block + header->pFiles, block + payload->size, header->fWide != FALSE};
  return true;
}

// The next path, up to its terminator or, when the source left that out,
// to the end of the block; false at the empty path that ends the list.
static bool next_path(PathList* list, PathText* path) {
  const size_t unit = list->wide ? sizeof(WCHAR) : 1;
  const BYTE* p = list->next;
  size_t length = 0;
  while (static_cast<size_t>(list->end - p) >= unit && (p[0] || (unit == 2 && p[1]))) {
    p += unit;
    length++;
  }
  if (length == 0) return false;
  *path = {list->next, length};
  list->next = static_cast<size_t>(list->end - p) >= unit ? p + unit : list->end;
  return true;
}

// Writes a path in the ANSI code page at `out`, at most `room` bytes, and
// returns the bytes written; a null `out` only measures. A wide path the
// code page cannot hold exactly gives -1: it is left out of the list, as a
// file that is not there, rather than best-fitted to a look-alike name
// (code_page.h). Its characters are copied out first, as a list may put
// them at an odd address.
static int64_t ansi_path(const PathText& path, bool wide, WCHAR* scratch, char* out, size_t room) {
  if (!wide) {
    if (!out) return static_cast<int64_t>(path.length);
    const size_t n = path.length < room ? path.length : room;
    std::memcpy(out, path.start, n);
    return static_cast<int64_t>(n);
  }
  if (path.length > INT32_MAX / 4) return -1;
  std::memcpy(scratch, path.start, path.length * sizeof(WCHAR));
  return ansi_from_wide(scratch, static_cast<int32_t>(path.length), out,
                        static_cast<int32_t>(room < INT32_MAX ? room : INT32_MAX));
}

// Writes the paths joined by "\n" at offset p and returns the length
// written: measured first, then reserved once and copied.
static int32_t write_drop_list(const PathList& paths, int32_t p) {
  // No path has more characters than the list has bytes: one scratch
  // buffer of that size serves every conversion.
  WCHAR* scratch = nullptr;
  if (paths.wide) {
    scratch = static_cast<WCHAR*>(runtime_alloc(static_cast<size_t>(paths.end - paths.next) + sizeof(WCHAR)));
    if (!scratch) return 0;
  }
  int64_t total = -1;
  PathList walk = paths;
  for (PathText path; next_path(&walk, &path);) {
    const int64_t length = ansi_path(path, paths.wide, scratch, nullptr, 0);
    if (length > 0) total += 1 + length;
  }
  int32_t written = 0;
  if (total > 0 && total <= INT32_MAX - 64) {
    char* list = workspace_reserve(static_cast<int32_t>(total), p);
    walk = paths;
    for (PathText path; written < total && next_path(&walk, &path);) {
      // The line feed goes in once the path is there: a path left out of
      // the measure is left out here too, with nothing of it written.
      const int32_t gap = written > 0 ? 1 : 0;
      const int64_t length = ansi_path(path, paths.wide, scratch, list + written + gap,
                                       static_cast<size_t>(total - written - gap));
      if (length <= 0) continue;
      if (gap) list[written] = '\n';
      written += gap + static_cast<int32_t>(length);
    }
  }
  runtime_free(scratch);
  return written;
}

char* event_drop_files(int32_t p) {
  PathList paths;
  const int32_t length = path_list_of(current_payload(), &paths) ? write_drop_list(paths, p) : 0;
  workspace_truncate(p + length);
  return workspace_pointer(p);
}
