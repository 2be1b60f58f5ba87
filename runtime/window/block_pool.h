// Fixed-size blocks carved from chunks, so that the event queue costs no
// heap call per event. Each block starts with a back pointer to its chunk;
// callers get the address just after it. No lock: GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

struct PoolChunk {
  PoolChunk* next;
  PoolChunk* prev;
  void* free_list;     // first returned block; each holds the next in its first word
  int32_t capacity;    // blocks in this chunk
  int32_t used;        // blocks handed out from the fresh area (high-water mark)
  int32_t free_count;  // blocks on free_list
  // capacity * block_size bytes follow
};

struct BlockPool {
  PoolChunk* full_chunks;  // chunks with no block to give
  PoolChunk* open_chunks;  // chunks that can still give one
  int32_t total_blocks;    // capacities of all chunks added up
  int32_t block_size;      // item size + back pointer, rounded to the pointer size
  int32_t min_chunk;
  int32_t max_chunk;
};

// A pool with no chunks yet, or null when the heap is out.
BlockPool* pool_create(int32_t item_size, int32_t min_chunk, int32_t max_chunk);

// An item of item_size bytes, contents undefined; null only when not even a
// one-block chunk could be had.
void* pool_alloc(BlockPool* pool);

// Returns an item; a chunk whose every block is back is freed.
void pool_free(BlockPool* pool, void* item);
