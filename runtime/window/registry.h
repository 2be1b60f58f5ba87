// Numbered objects. Each runtime library keeps its records (windows,
// gadgets, images, status bars, directory listings) in an ObjectRegistry
// that maps an object number to a fixed-size record. OBJECT_ANY asks for an
// object without a number, whose id is then the address of its record.
//
// Record convention: a record's first field is pointer-sized and nonzero
// exactly while the object exists (a native handle, set last, after the
// native object exists). No locks: used from the GUI thread.
#pragma once

#include <windows.h>
#include <cstdint>

#include "runtime/window/address_set.h"
#include "runtime/window/object_list.h"

constexpr int32_t OBJECT_ANY = -1;

// An object id: a number (0 or more) or, for OBJECT_ANY objects, the record
// address, hence pointer-sized.
typedef INT_PTR ObjectId;

// Run with a number before its slot is handed out again; it closes the live
// object of that number, if any, and leaves the slot free.
typedef void (*ReleaseAction)(int32_t number);

struct ObjectRegistry {
  int32_t element_size;
  int32_t growth_step;
  int32_t capacity;
  ObjectListNode* any_objects;  // newest OBJECT_ANY record first
  ReleaseAction release_action;
  int32_t iter_index;
  ObjectListNode* iter_node;
  uint8_t* slots;               // capacity * element_size bytes
  AddressSet live_any;          // payload addresses of the OBJECT_ANY records
};

// A registry with growth_step free slots, or null when the heap is out.
// element_size is at least the size of a pointer (the live field).
ObjectRegistry* registry_create(int32_t element_size, int32_t growth_step, ReleaseAction release_action);

// The record to fill for `number`: its slot (after the release action has
// closed any object of that number), or a new zero-filled record for
// OBJECT_ANY whose address is the object's id. Null for numbers below -1 or
// when the heap is out.
void* registry_allocate(ObjectRegistry* registry, int32_t number);

// The record of a live object, or null. Ids from capacity on (and negative
// ones) are taken as OBJECT_ANY addresses and answered only if live.
void* registry_lookup(const ObjectRegistry* registry, ObjectId id);

// Frees the slot, or unlinks and frees the OBJECT_ANY record. The release
// action is not run: the caller has released the native object already.
void registry_free(ObjectRegistry* registry, ObjectId id);

// Iteration: numbered objects in number order, then OBJECT_ANY objects in
// creation order. The cursor moves past an object before returning it, so
// the caller may free what it was just given.
void registry_first(ObjectRegistry* registry);
void* registry_next(ObjectRegistry* registry, ObjectId* out_id);

// True when a record's live field is set.
inline bool registry_record_live(const void* record) {
  return record && *static_cast<const uintptr_t*>(record) != 0;
}
