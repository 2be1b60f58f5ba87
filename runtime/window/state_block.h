// Library state blocks: one zero-filled block per runtime library, made once
// at start-up and shared by all threads; it lives until the runtime heap goes.
#pragma once

#include <cstddef>

typedef void (*StateBlockHook)(void* block);

// The new block after `initialiser` (if any) has run on it; null when the
// heap is out. The finaliser is accepted for symmetry and never run.
void* state_block_create(size_t size, StateBlockHook initialiser, StateBlockHook finaliser);

// The block itself: one instance serves every thread.
inline void* state_block_get(void* block) { return block; }
