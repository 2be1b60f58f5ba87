#include "runtime/window/registry.h"

#include <cstring>

#include "runtime/window/runtime_heap.h"

ObjectRegistry* registry_create(int32_t element_size, int32_t growth_step, ReleaseAction release_action) {
  if (element_size < static_cast<int32_t>(sizeof(uintptr_t)) || growth_step < 1) return nullptr;
  auto* registry = static_cast<ObjectRegistry*>(runtime_alloc_zeroed(sizeof(ObjectRegistry)));
  if (!registry) return nullptr;
  registry->element_size = element_size;
  registry->growth_step = growth_step;
  registry->release_action = release_action;
  registry->slots = static_cast<uint8_t*>(
      runtime_alloc_zeroed(static_cast<size_t>(element_size) * growth_step));
  if (!registry->slots) {
    runtime_free(registry);
    return nullptr;
  }
  registry->capacity = growth_step;
  return registry;
}

static void* slot_of(const ObjectRegistry* registry, int32_t number) {
  return registry->slots + static_cast<size_t>(number) * registry->element_size;
}

static bool is_slot_number(const ObjectRegistry* registry, ObjectId id) {
  return id >= 0 && id < registry->capacity;
}

static void* allocate_any(ObjectRegistry* registry) {
  void* record = list_insert(&registry->any_objects, OBJECT_LIST_HEADER + registry->element_size);
  if (!record) return nullptr;
  if (!address_set_insert(&registry->live_any, record)) {
    list_remove(&registry->any_objects, record);
    return nullptr;
  }
  return record;
}

void* registry_allocate(ObjectRegistry* registry, int32_t number) {
  if (!registry) return nullptr;
  if (number == OBJECT_ANY) return allocate_any(registry);
  if (number < 0) return nullptr;
  if (number >= registry->capacity) {
    // Grow to number + growth_step without overflowing the int32 capacity.
    int64_t capacity = static_cast<int64_t>(number) + registry->growth_step;
    if (capacity > INT32_MAX) capacity = INT32_MAX;
    size_t bytes = static_cast<size_t>(capacity) * registry->element_size;
    if (bytes / registry->element_size != static_cast<size_t>(capacity)) return nullptr;
    void* slots = runtime_realloc(registry->slots, bytes, true);
    if (!slots) return nullptr;
    registry->slots = static_cast<uint8_t*>(slots);
    registry->capacity = static_cast<int32_t>(capacity);
  }
  if (registry->release_action) registry->release_action(number);
  return slot_of(registry, number);
}

void* registry_lookup(const ObjectRegistry* registry, ObjectId id) {
  if (!registry) return nullptr;
  void* candidate;
  if (is_slot_number(registry, id)) {
    candidate = slot_of(registry, static_cast<int32_t>(id));
  } else {
    candidate = reinterpret_cast<void*>(id);
    if (!address_set_contains(&registry->live_any, candidate)) return nullptr;
  }
  return registry_record_live(candidate) ? candidate : nullptr;
}

void registry_free(ObjectRegistry* registry, ObjectId id) {
  if (!registry) return;
  if (is_slot_number(registry, id)) {
    memset(slot_of(registry, static_cast<int32_t>(id)), 0, registry->element_size);
    return;
  }
  void* record = reinterpret_cast<void*>(id);
  if (!address_set_contains(&registry->live_any, record)) return;
  address_set_remove(&registry->live_any, record);
  // Freeing the node the cursor stands on would leave it dangling.
  if (registry->iter_node == list_node_of(record)) registry->iter_node = registry->iter_node->prev;
  list_remove(&registry->any_objects, record);
}

void registry_first(ObjectRegistry* registry) {
  if (!registry) return;
  registry->iter_index = 0;
  ObjectListNode* node = registry->any_objects;
  while (node && node->next) node = node->next;
  registry->iter_node = node;
}

void* registry_next(ObjectRegistry* registry, ObjectId* out_id) {
  if (!registry) return nullptr;
  while (registry->iter_index >= 0 && registry->iter_index < registry->capacity) {
    int32_t index = registry->iter_index++;
    void* slot = slot_of(registry, index);
    if (registry_record_live(slot)) {
      if (out_id) *out_id = index;
      return slot;
    }
  }
  while (registry->iter_node) {
    ObjectListNode* node = registry->iter_node;
    registry->iter_node = node->prev;
    void* record = list_payload_of(node);
    // A record allocated but not yet filled is no object yet.
    if (!registry_record_live(record)) continue;
    if (out_id) *out_id = reinterpret_cast<ObjectId>(record);
    return record;
  }
  return nullptr;
}
