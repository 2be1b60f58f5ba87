// Doubly linked object lists: a list is one head pointer to its newest node;
// each node carries its payload right after the two links, in one block on
// the runtime heap. No lock: owners that share a list guard it themselves.
#pragma once

#include <cstddef>

struct ObjectListNode {
  ObjectListNode* next;  // older node, or null for the oldest
  ObjectListNode* prev;  // newer node, or null for the head
  // payload follows
};

// Bytes of the two link fields; a node of payload size n takes
// n + OBJECT_LIST_HEADER bytes.
constexpr size_t OBJECT_LIST_HEADER = sizeof(ObjectListNode);

// Inserts a node of `size` bytes (links included) as the newest and returns
// its zero-filled payload, or null when the heap is out (list unchanged).
void* list_insert(ObjectListNode** head, size_t size);

// Unlinks and frees the node whose payload is `payload`.
void list_remove(ObjectListNode** head, void* payload);

// The node that carries `payload`, and the payload of `node`.
ObjectListNode* list_node_of(void* payload);
void* list_payload_of(ObjectListNode* node);
