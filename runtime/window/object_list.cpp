#include "runtime/window/object_list.h"

#include "runtime/window/runtime_heap.h"

ObjectListNode* list_node_of(void* payload) {
  return reinterpret_cast<ObjectListNode*>(static_cast<char*>(payload) - OBJECT_LIST_HEADER);
}

void* list_payload_of(ObjectListNode* node) {
  return reinterpret_cast<char*>(node) + OBJECT_LIST_HEADER;
}

void* list_insert(ObjectListNode** head, size_t size) {
  if (size < OBJECT_LIST_HEADER) size = OBJECT_LIST_HEADER;
  auto* node = static_cast<ObjectListNode*>(runtime_alloc_zeroed(size));
  if (!node) return nullptr;
  if (*head) {
    (*head)->prev = node;
    node->next = *head;
  }
  *head = node;
  return list_payload_of(node);
}

void list_remove(ObjectListNode** head, void* payload) {
  if (!payload) return;
  ObjectListNode* node = list_node_of(payload);
  if (node == *head) {
    *head = node->next;
    if (*head) (*head)->prev = nullptr;
  } else {
    if (node->prev) node->prev->next = node->next;
    if (node->next) node->next->prev = node->prev;
  }
  runtime_free(node);
}
