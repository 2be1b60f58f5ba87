#include "app/batch_worker.h"

#include <cstring>

#include "app/convert_file.h"
#include "app/converter_state.h"
#include "runtime/base/directory_listing.h"
#include "runtime/base/files.h"
#include "runtime/base/string_functions.h"
#include "runtime/base/string_workspace.h"
#include "runtime/base/threads.h"
#include "runtime/gadgets/status_bar.h"

// The list grows in place with a running count of its line feeds, so that a
// folder of 100,000 files costs no more per file than one of ten: rebuilding
// the list and recounting it for every file would be quadratic.
struct JobListBuilder {
  HANDLE heap;  // the one `text` lives on; string_heap until a test sets another
  char* text;
  size_t length;
  size_t capacity;
  int32_t line_feeds;
  bool full;  // a growth failed: the expansion ends with the files found so far
};

static JobListBuilder g_builder = {};

static HANDLE builder_heap() { return g_builder.heap ? g_builder.heap : string_heap(); }

void set_job_list_heap(HANDLE heap) {
  if (g_builder.text) HeapFree(builder_heap(), 0, g_builder.text);
  g_builder = {};
  g_builder.heap = heap;
}

// Room for `n` more bytes and the terminator. When the heap has none the
// list stays as it was, still whole, and the builder counts as full.
static bool reserve(size_t n) {
  if (g_builder.full) return false;
  if (g_builder.length + n + 1 <= g_builder.capacity) return true;
  size_t capacity = g_builder.capacity ? g_builder.capacity : 4096;
  while (g_builder.length + n + 1 > capacity) capacity *= 2;
  void* grown = g_builder.text ? HeapReAlloc(builder_heap(), 0, g_builder.text, capacity)
                               : HeapAlloc(builder_heap(), 0, capacity);
  if (!grown) {
    g_builder.full = true;
    return false;
  }
  g_builder.text = static_cast<char*>(grown);
  g_builder.capacity = capacity;
  return true;
}

static void append(const char* piece, size_t n) {
  memcpy(g_builder.text + g_builder.length, piece, n);
  g_builder.length += n;
  g_builder.text[g_builder.length] = '\0';
}

// The whole line or nothing, so that a full list ends on a complete path.
static bool append_line(const char* folder, const char* name) {
  size_t folder_length = strlen(folder);
  size_t name_length = name ? strlen(name) : 0;
  if (!reserve(folder_length + name_length + 1)) return false;
  append(folder, folder_length);
  append(name ? name : "", name_length);
  append("\n", 1);
  g_builder.line_feeds++;
  return true;
}

static void show_counter(int32_t done, int32_t total, bool expanding) {
  int32_t s = workspace_position();
  if (expanding) {
    workspace_append("0/");
    int_to_text(total, workspace_position());
  } else {
    int_to_text(done, s);
    workspace_append("/");
    int_to_text(total, workspace_position());
  }
  workspace_reserve(1, workspace_position());
  status_bar_set_text(0, 2, workspace_pointer(s), FIELD_ALIGN_CENTRE);
  workspace_truncate(s);
}

void collect_directory_files(const char* directory, int32_t listing) {
  RuntimeString dir = nullptr;
  string_init(&dir, directory ? directory : "");
  int32_t length = text_length(dir);
  if (length == 0 || dir[length - 1] != '\\') {
    int32_t s = workspace_position();
    workspace_append(dir);
    workspace_append("\\");
    string_assign(&dir, s);
  }
  if (open_directory_listing(listing, dir, "*.*")) {
    RuntimeString name = nullptr;
    while (next_directory_entry(listing)) {
      int32_t s = workspace_position();
      directory_entry_name(listing, s);
      string_assign(&name, s);
      int32_t type = directory_entry_type(listing);
      if (type == ENTRY_FILE) {
        if (!append_line(dir, name)) break;
        show_counter(0, g_builder.line_feeds + 1, true);
      } else if (type == ENTRY_DIRECTORY && !strings_equal(name, ".") && !strings_equal(name, "..")) {
        workspace_append(dir);
        workspace_append(name);
        workspace_append("\\");
        RuntimeString sub = nullptr;
        string_assign(&sub, s);
        collect_directory_files(sub, listing + 1);
        string_free(sub);
        if (g_builder.full) break;
      }
    }
    string_free(name);
  }
  // The listing stays open: the next folder at this depth reuses its number.
  string_free(dir);
}

void expand_drop() {
  g_builder.length = 0;
  g_builder.line_feeds = 0;
  g_builder.full = false;
  if (reserve(0)) g_builder.text[0] = '\0';
  const char* drop = converter_state.dropped_paths ? converter_state.dropped_paths : "";
  RuntimeString item = nullptr;
  for (const char* cursor = drop; *cursor;) {
    const char* end = strchr(cursor, '\n');
    size_t n = end ? static_cast<size_t>(end - cursor) : strlen(cursor);
    if (n == 0) break;  // an empty line ends the list
    int32_t s = workspace_position();
    left_chars(cursor, static_cast<int32_t>(n), s);
    string_assign(&item, s);
    show_counter(0, g_builder.line_feeds + 1, true);
    // The low 32 bits: a size that is a multiple of 4 GiB counts as empty.
    auto size = static_cast<int32_t>(file_size(item));
    if (size == -2) collect_directory_files(item, 0);
    else if (size >= 1) append_line(item, nullptr);
    if (!end || g_builder.full) break;
    cursor = end + 1;
  }
  string_free(item);
  if (g_builder.length && g_builder.text[g_builder.length - 1] == '\n') {
    g_builder.text[--g_builder.length] = '\0';
    g_builder.line_feeds--;
  }
  string_set(&converter_state.job_list, g_builder.text ? g_builder.text : "");
  converter_state.job_total = g_builder.line_feeds + 1;
}

void convert_jobs() {
  // Walks the list once instead of searching field d from the start.
  const char* list = converter_state.job_list ? converter_state.job_list : "";
  RuntimeString file = nullptr;
  int32_t d = 1;
  for (const char* cursor = list; *cursor; d++) {
    const char* end = strchr(cursor, '\n');
    size_t n = end ? static_cast<size_t>(end - cursor) : strlen(cursor);
    if (n == 0) break;
    int32_t s = workspace_position();
    left_chars(cursor, static_cast<int32_t>(n), s);
    string_assign(&file, s);
    show_counter(d, converter_state.job_total, false);
    convert_file(file);
    if (!end) break;
    cursor = end + 1;
  }
  string_free(file);
}

void run_batch() {
  expand_drop();
  convert_jobs();
}

void batch_worker(int32_t) {
  for (;;) {
    delay_ms(50);
    if (converter_state.busy.load(std::memory_order_acquire) == 0) continue;
    run_batch();
    converter_state.busy.store(0, std::memory_order_release);
  }
}
