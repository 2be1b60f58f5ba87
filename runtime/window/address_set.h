// A set of record addresses on the runtime heap: open addressing with linear
// probing and tombstones. The registry uses it to answer lookups of ids that
// are no slot number with "none" instead of reading a wild address.
#pragma once

#include <cstddef>
#include <cstdint>

struct AddressSet {
  uintptr_t* cells;  // 0 = empty, 1 = removed, anything else = an address
  size_t capacity;   // a power of two, or 0 before the first insert
  size_t used;       // cells that are not empty (live plus removed)
  size_t live;
};

// False when the heap could not make room; the set is then unchanged.
bool address_set_insert(AddressSet* set, const void* address);
void address_set_remove(AddressSet* set, const void* address);
bool address_set_contains(const AddressSet* set, const void* address);
