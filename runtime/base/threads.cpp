#include "runtime/base/threads.h"

#include <mmsystem.h>

#include "runtime/window/object_list.h"
#include "runtime/window/runtime_heap.h"

struct ThreadRecord {
  HANDLE handle;
  int32_t number;
};

struct ThreadStart {
  ThreadProcedure procedure;
  int32_t parameter;
};

static CRITICAL_SECTION g_thread_list_lock;
static ObjectListNode* g_thread_list = nullptr;
static int32_t g_next_thread_number = 1;

void init_thread_lock() { InitializeCriticalSection(&g_thread_list_lock); }

static DWORD WINAPI thread_entry(void* parameter) {
  ThreadStart start = *static_cast<ThreadStart*>(parameter);
  runtime_free(parameter);
  start.procedure(start.parameter);
  return 0;
}

static bool has_ended(HANDLE handle) { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }

static void prune_ended_threads() {
  ObjectListNode* node = g_thread_list;
  while (node) {
    ObjectListNode* older = node->next;
    auto* record = static_cast<ThreadRecord*>(list_payload_of(node));
    if (has_ended(record->handle)) {
      CloseHandle(record->handle);
      list_remove(&g_thread_list, record);
    }
    node = older;
  }
}

int32_t start_thread(ThreadProcedure procedure, int32_t parameter) {
  auto* start = static_cast<ThreadStart*>(runtime_alloc(sizeof(ThreadStart)));
  if (!start) return 0;
  start->procedure = procedure;
  start->parameter = parameter;
  // 4096 is the initial commit; the reservation stays the program's default.
  HANDLE handle = CreateThread(nullptr, 4096, thread_entry, start, 0, nullptr);
  if (!handle) {
    runtime_free(start);
    return 0;
  }
  EnterCriticalSection(&g_thread_list_lock);
  prune_ended_threads();
  int32_t number = g_next_thread_number++;
  auto* record = static_cast<ThreadRecord*>(list_insert(&g_thread_list, OBJECT_LIST_HEADER + sizeof(ThreadRecord)));
  if (record) {
    record->handle = handle;
    record->number = number;
  } else {
    CloseHandle(handle);  // the thread runs on; only its record is missing
  }
  LeaveCriticalSection(&g_thread_list_lock);
  return number;
}

HANDLE thread_running(int32_t number) {
  HANDLE result = nullptr;
  EnterCriticalSection(&g_thread_list_lock);
  for (ObjectListNode* node = g_thread_list; node; node = node->next) {
    auto* record = static_cast<ThreadRecord*>(list_payload_of(node));
    if (record->number == number) {
      if (!has_ended(record->handle)) result = record->handle;
      break;
    }
  }
  LeaveCriticalSection(&g_thread_list_lock);
  return result;
}

void close_thread_handles() {
  EnterCriticalSection(&g_thread_list_lock);
  while (g_thread_list) {
    auto* record = static_cast<ThreadRecord*>(list_payload_of(g_thread_list));
    CloseHandle(record->handle);
    list_remove(&g_thread_list, record);
  }
  LeaveCriticalSection(&g_thread_list_lock);
}

void delay_ms(int32_t milliseconds) {
  timeBeginPeriod(1);
  Sleep(milliseconds < 0 ? 0 : static_cast<DWORD>(milliseconds));
  timeEndPeriod(1);
}
