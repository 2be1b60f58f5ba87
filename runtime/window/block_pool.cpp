#include "runtime/window/block_pool.h"

#include "runtime/window/runtime_heap.h"

static constexpr int32_t BACK_POINTER = sizeof(void*);

BlockPool* pool_create(int32_t item_size, int32_t min_chunk, int32_t max_chunk) {
  auto* pool = static_cast<BlockPool*>(runtime_alloc(sizeof(BlockPool)));
  if (!pool) return nullptr;
  pool->full_chunks = nullptr;
  pool->open_chunks = nullptr;
  pool->total_blocks = 0;
  // Rounded to the pointer size so that the back pointer and the free-list
  // link of every block stay aligned.
  pool->block_size = (item_size + BACK_POINTER + BACK_POINTER - 1) & ~(BACK_POINTER - 1);
  pool->min_chunk = min_chunk < 1 ? 1 : min_chunk;
  pool->max_chunk = max_chunk < pool->min_chunk ? pool->min_chunk : max_chunk;
  return pool;
}

static char* block_at(PoolChunk* chunk, int32_t index, int32_t block_size) {
  return reinterpret_cast<char*>(chunk + 1) + static_cast<size_t>(index) * block_size;
}

static void push_chunk(PoolChunk** list, PoolChunk* chunk) {
  chunk->prev = nullptr;
  chunk->next = *list;
  if (*list) (*list)->prev = chunk;
  *list = chunk;
}

static void unlink_chunk(PoolChunk** list, PoolChunk* chunk) {
  if (chunk->prev) chunk->prev->next = chunk->next; else *list = chunk->next;
  if (chunk->next) chunk->next->prev = chunk->prev;
  chunk->next = chunk->prev = nullptr;
}

static bool chunk_is_full(const PoolChunk* chunk) {
  return chunk->free_count == 0 && chunk->used >= chunk->capacity;
}

// Chunks grow with the pool: a sixteenth of what it holds, in steps of 16,
// between min_chunk and max_chunk blocks.
static int32_t next_chunk_blocks(const BlockPool* pool) {
  int32_t n = (pool->total_blocks >> 4) & ~15;
  if (n < pool->min_chunk) return pool->min_chunk;
  if (n > pool->max_chunk) return pool->max_chunk;
  return n;
}

static char* take_from_new_chunk(BlockPool* pool) {
  int32_t n = next_chunk_blocks(pool);
  auto* chunk = static_cast<PoolChunk*>(runtime_alloc(sizeof(PoolChunk) + static_cast<size_t>(n) * pool->block_size));
  if (!chunk) {
    n = 1;
    chunk = static_cast<PoolChunk*>(runtime_alloc(sizeof(PoolChunk) + pool->block_size));
    if (!chunk) return nullptr;
  }
  pool->total_blocks += n;
  chunk->capacity = n;
  chunk->used = 1;
  chunk->free_count = 0;
  chunk->free_list = nullptr;
  push_chunk(n > 1 ? &pool->open_chunks : &pool->full_chunks, chunk);
  char* block = block_at(chunk, 0, pool->block_size);
  *reinterpret_cast<PoolChunk**>(block) = chunk;
  return block;
}

void* pool_alloc(BlockPool* pool) {
  if (!pool) return nullptr;
  PoolChunk* chunk = pool->open_chunks;
  if (!chunk) {
    char* block = take_from_new_chunk(pool);
    return block ? block + BACK_POINTER : nullptr;
  }
  char* block;
  if (chunk->free_count > 0) {
    block = static_cast<char*>(chunk->free_list);
    chunk->free_list = *reinterpret_cast<void**>(block);
    chunk->free_count--;
  } else {
    block = block_at(chunk, chunk->used++, pool->block_size);
  }
  if (chunk_is_full(chunk)) {
    unlink_chunk(&pool->open_chunks, chunk);
    push_chunk(&pool->full_chunks, chunk);
  }
  *reinterpret_cast<PoolChunk**>(block) = chunk;
  return block + BACK_POINTER;
}

void pool_free(BlockPool* pool, void* item) {
  if (!pool || !item) return;
  char* block = static_cast<char*>(item) - BACK_POINTER;
  PoolChunk* chunk = *reinterpret_cast<PoolChunk**>(block);
  bool was_full = chunk_is_full(chunk);
  *reinterpret_cast<void**>(block) = chunk->free_list;
  chunk->free_list = block;
  chunk->free_count++;
  if (chunk->free_count == chunk->used) {
    unlink_chunk(was_full ? &pool->full_chunks : &pool->open_chunks, chunk);
    pool->total_blocks -= chunk->capacity;
    runtime_free(chunk);
  } else if (was_full) {
    unlink_chunk(&pool->full_chunks, chunk);
    push_chunk(&pool->open_chunks, chunk);
  }
}
