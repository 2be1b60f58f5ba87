// The runtime heap: one private heap for every runtime record (registries,
// list nodes, window and gadget records, payloads, images, command lines).
// The program creates it first and destroys it last.
#pragma once

#include <windows.h>
#include <cstddef>

// Creates the heap (no options, 4096 bytes committed, no maximum) and makes
// it the one the runtime allocates from. Returns the heap handle, or null.
HANDLE runtime_heap_create();

// The heap made by runtime_heap_create, or null before it.
HANDLE runtime_heap();

// Destroys the heap; every runtime record goes with it.
void runtime_heap_destroy();

// A block of `size` bytes, zero-filled or not; null when the heap is out.
void* runtime_alloc(size_t size);
void* runtime_alloc_zeroed(size_t size);

// Resizes a block, keeping its contents; new bytes are zero with `zero_new`.
// Null when the heap cannot satisfy it; the old block is then untouched.
void* runtime_realloc(void* block, size_t size, bool zero_new);

// Frees a block of the runtime heap; null is ignored.
void runtime_free(void* block);
