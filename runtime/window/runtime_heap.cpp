#include "runtime/window/runtime_heap.h"

static HANDLE g_runtime_heap = nullptr;

HANDLE runtime_heap_create() {
  // No HEAP_NO_SERIALIZE: worker threads allocate from this heap too.
  g_runtime_heap = HeapCreate(0, 4096, 0);
  return g_runtime_heap;
}

HANDLE runtime_heap() { return g_runtime_heap; }

void runtime_heap_destroy() {
  if (g_runtime_heap) {
    HeapDestroy(g_runtime_heap);
    g_runtime_heap = nullptr;
  }
}

void* runtime_alloc(size_t size) {
  return g_runtime_heap ? HeapAlloc(g_runtime_heap, 0, size) : nullptr;
}

void* runtime_alloc_zeroed(size_t size) {
  return g_runtime_heap ? HeapAlloc(g_runtime_heap, HEAP_ZERO_MEMORY, size) : nullptr;
}

void* runtime_realloc(void* block, size_t size, bool zero_new) {
  if (!g_runtime_heap) return nullptr;
  if (!block) return zero_new ? runtime_alloc_zeroed(size) : runtime_alloc(size);
  return HeapReAlloc(g_runtime_heap, zero_new ? HEAP_ZERO_MEMORY : 0, block, size);
}

void runtime_free(void* block) {
  if (block && g_runtime_heap) HeapFree(g_runtime_heap, 0, block);
}
