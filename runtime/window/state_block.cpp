#include "runtime/window/state_block.h"

#include "runtime/window/runtime_heap.h"

void* state_block_create(size_t size, StateBlockHook initialiser, StateBlockHook /*finaliser*/) {
  void* block = runtime_alloc_zeroed(size);
  if (block && initialiser) initialiser(block);
  return block;
}
