#include "runtime/window/address_set.h"

#include "runtime/window/runtime_heap.h"

static constexpr uintptr_t CELL_EMPTY = 0;
static constexpr uintptr_t CELL_REMOVED = 1;

static size_t home_cell(uintptr_t address, size_t capacity) {
  // Heap blocks are aligned, so the low bits carry nothing.
  uint64_t mixed = static_cast<uint64_t>(address >> 3) * 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(mixed >> 32) & (capacity - 1);
}

static size_t find_cell(const AddressSet* set, uintptr_t address) {
  size_t i = home_cell(address, set->capacity);
  while (set->cells[i] != CELL_EMPTY) {
    if (set->cells[i] == address) return i;
    i = (i + 1) & (set->capacity - 1);
  }
  return set->capacity;
}

static bool rehash(AddressSet* set, size_t capacity) {
  auto* cells = static_cast<uintptr_t*>(runtime_alloc_zeroed(capacity * sizeof(uintptr_t)));
  if (!cells) return false;
  for (size_t i = 0; i < set->capacity; i++) {
    uintptr_t a = set->cells[i];
    if (a == CELL_EMPTY || a == CELL_REMOVED) continue;
    size_t j = home_cell(a, capacity);
    while (cells[j] != CELL_EMPTY) j = (j + 1) & (capacity - 1);
    cells[j] = a;
  }
  runtime_free(set->cells);
  set->cells = cells;
  set->capacity = capacity;
  set->used = set->live;
  return true;
}

bool address_set_insert(AddressSet* set, const void* address) {
  auto a = reinterpret_cast<uintptr_t>(address);
  if (a <= CELL_REMOVED) return false;
  if (set->capacity && find_cell(set, a) != set->capacity) return true;
  // Keep at least a quarter of the cells empty so that probes end quickly.
  if ((set->used + 1) * 4 > set->capacity * 3) {
    size_t capacity = set->capacity ? set->capacity : 16;
    while ((set->live + 1) * 2 > capacity) capacity *= 2;
    if (!rehash(set, capacity)) return false;
  }
  size_t i = home_cell(a, set->capacity);
  while (set->cells[i] != CELL_EMPTY && set->cells[i] != CELL_REMOVED) i = (i + 1) & (set->capacity - 1);
  if (set->cells[i] == CELL_EMPTY) set->used++;
  set->cells[i] = a;
  set->live++;
  return true;
}

void address_set_remove(AddressSet* set, const void* address) {
  if (!set->capacity) return;
  size_t i = find_cell(set, reinterpret_cast<uintptr_t>(address));
  if (i == set->capacity) return;
  set->cells[i] = CELL_REMOVED;
  set->live--;
}

bool address_set_contains(const AddressSet* set, const void* address) {
  auto a = reinterpret_cast<uintptr_t>(address);
  if (!set->capacity || a <= CELL_REMOVED) return false;
  return find_cell(set, a) != set->capacity;
}
