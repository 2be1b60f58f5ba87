#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "runtime/base/string_workspace.h"
#include "runtime/dragdrop/drag_drop.h"
#include "runtime/window/event_state.h"

// Zero bytes put behind the dropped block: whatever the source wrote,
// DragQueryFileA then meets a double terminator, of bytes or of wide
// characters at either alignment, before it leaves our copy.
static constexpr SIZE_T TERMINATOR_ROOM = 8;

static const DropPayload* current_payload() {
  EventState* state = event_state();
  return state ? state->drop_payload : nullptr;
}

int32_t event_drop_type() {
  const DropPayload* payload = current_payload();
  return payload ? payload->type : 0;
}

// The payload's DROPFILES block as a movable memory block, the form
// DragQueryFileA reads, or null. A block too short for its header, or one
// whose list would start outside it, gives null.
static HGLOBAL drop_handle_of(const DropPayload* payload) {
  if (!payload || payload->type != DROP_TYPE_FILES || !payload->data) return nullptr;
  const SIZE_T size = static_cast<SIZE_T>(payload->size);
  if (payload->size < static_cast<int32_t>(sizeof(DROPFILES))) return nullptr;
  if (static_cast<const DROPFILES*>(payload->data)->pFiles > size) return nullptr;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + TERMINATOR_ROOM);
  if (!block) return nullptr;
  void* memory = GlobalLock(block);
  if (!memory) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(memory, payload->data, size);
  GlobalUnlock(block);
  return block;
}

// Writes the paths of `block` joined by "\n" at offset p; returns the
// length written.
static int32_t write_drop_list(HDROP block, int32_t p) {
  const UINT count = DragQueryFileA(block, 0xFFFFFFFF, nullptr, 0);
  if (count == 0 || count > INT32_MAX) return 0;
  int64_t total = count - 1;
  for (UINT i = 0; i < count; i++) total += DragQueryFileA(block, i, nullptr, 0);
  if (total <= 0 || total > INT32_MAX - 64) return 0;
  char* list = workspace_reserve(static_cast<int32_t>(total), p);
  int32_t written = 0;
  for (UINT i = 0; i < count && written < total; i++) {
    // Each copy gets only the room that is left, and the end of that room
    // is terminated by hand: a path whose ANSI form is longer than the
    // length first reported (wide lists in a multi-byte code page) is cut
    // short instead of running past the reservation, and a failed
    // conversion leaves no unterminated bytes behind.
    const UINT room = static_cast<UINT>(total - written) + 1;
    DragQueryFileA(block, i, list + written, room);
    list[total] = '\0';
    written += static_cast<int32_t>(std::strlen(list + written));
    if (i + 1 < count && written < total) list[written++] = '\n';
  }
  // Only a path that came out empty can leave a line feed last.
  if (written > 0 && list[written - 1] == '\n') written--;
  return written;
}

char* event_drop_files(int32_t p) {
  HGLOBAL block = drop_handle_of(current_payload());
  int32_t length = block ? write_drop_list(static_cast<HDROP>(block), p) : 0;
  if (block) GlobalFree(block);
  workspace_truncate(p + length);
  return workspace_pointer(p);
}
