#include "runtime/base/string_workspace.h"

static HANDLE g_string_heap = nullptr;
static INIT_ONCE g_string_heap_once = INIT_ONCE_STATIC_INIT;

static BOOL CALLBACK create_string_heap(PINIT_ONCE, PVOID, PVOID*) {
  g_string_heap = HeapCreate(0, 4096, 0);
  return g_string_heap != nullptr;
}

HANDLE string_heap() {
  InitOnceExecuteOnce(&g_string_heap_once, create_string_heap, nullptr, nullptr);
  return g_string_heap;
}

static constexpr int32_t INITIAL_CAPACITY = 16;
static constexpr int32_t GROWTH_STEP = 16384;

// One per thread; threads of this system live as long as the process, so a
// workspace is never freed.
static thread_local StringWorkspace t_workspace = {nullptr, 0, 0};

static void reset_workspace(StringWorkspace* ws) {
  if (ws->buffer) HeapFree(string_heap(), 0, ws->buffer);
  ws->buffer = static_cast<char*>(HeapAlloc(string_heap(), 0, INITIAL_CAPACITY));
  ws->capacity = INITIAL_CAPACITY;
  ws->position = 0;
  ws->buffer[0] = '\0';
}

void workspace_init() { reset_workspace(&t_workspace); }

StringWorkspace* current_workspace() {
  if (!t_workspace.buffer) reset_workspace(&t_workspace);
  return &t_workspace;
}

char* workspace_reserve(int32_t n, int32_t at) {
  StringWorkspace* ws = current_workspace();
  // The test uses the position, not `at`: callers never pass an `at` beyond
  // it, and growing early keeps three spare bytes behind every terminator.
  int32_t end = ws->position + n;
  if (end >= ws->capacity - 4) {
    int32_t capacity = end + GROWTH_STEP;
    ws->buffer = static_cast<char*>(HeapReAlloc(string_heap(), 0, ws->buffer, capacity + 5));
    ws->capacity = capacity;
  }
  ws->position = at + n;
  return ws->buffer + at;
}

char* workspace_append(const char* text) {
  StringWorkspace* ws = current_workspace();
  if (!text) {
    ws->buffer[ws->position] = '\0';
    return ws->buffer + ws->position;
  }
  int32_t n = static_cast<int32_t>(lstrlenA(text));
  char* dest = workspace_reserve(n, ws->position);
  CopyMemory(dest, text, n);
  dest[n] = '\0';
  return dest;
}

int32_t workspace_give_back(int32_t n) {
  StringWorkspace* ws = current_workspace();
  ws->position -= n;
  return ws->position;
}

int32_t workspace_offset_of(const char* p) {
  StringWorkspace* ws = current_workspace();
  if (p >= ws->buffer && p <= ws->buffer + ws->position)
    return static_cast<int32_t>(p - ws->buffer) + 1;
  return 0;
}

char* workspace_pointer(int32_t offset) { return current_workspace()->buffer + offset; }

char* workspace_pointer_from_mark(int32_t mark) { return current_workspace()->buffer + mark - 1; }

int32_t workspace_truncate(int32_t at) {
  StringWorkspace* ws = current_workspace();
  ws->position = at;
  ws->buffer[at] = '\0';
  return at;
}

int32_t workspace_position() { return current_workspace()->position; }
