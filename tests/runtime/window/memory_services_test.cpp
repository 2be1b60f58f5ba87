#include <gtest/gtest.h>

#include <vector>

#include "runtime/window/alpha_blend.h"
#include "runtime/window/object_list.h"
#include "runtime/window/runtime_heap.h"
#include "runtime/window/state_block.h"

namespace {

std::vector<int> values_newest_first(ObjectListNode* head) {
  std::vector<int> values;
  for (ObjectListNode* node = head; node; node = node->next)
    values.push_back(*static_cast<int*>(list_payload_of(node)));
  return values;
}

bool links_consistent(ObjectListNode* head) {
  if (head && head->prev) return false;
  for (ObjectListNode* node = head; node; node = node->next)
    if (node->next && node->next->prev != node) return false;
  return true;
}

TEST(ObjectListTest, InsertPutsTheNewestAtTheHeadWithAZeroPayload) {
  ObjectListNode* head = nullptr;
  int* payloads[3];
  for (int i = 0; i < 3; i++) {
    payloads[i] = static_cast<int*>(list_insert(&head, OBJECT_LIST_HEADER + 2 * sizeof(int)));
    ASSERT_NE(payloads[i], nullptr);
    EXPECT_EQ(payloads[i][0], 0);
    EXPECT_EQ(payloads[i][1], 0);
    payloads[i][0] = i;
  }
  EXPECT_EQ(values_newest_first(head), (std::vector<int>{2, 1, 0}));
  EXPECT_TRUE(links_consistent(head));
}

TEST(ObjectListTest, RemoveUnlinksHeadMiddleAndTail) {
  ObjectListNode* head = nullptr;
  std::vector<int*> payloads;
  for (int i = 0; i < 5; i++) {
    payloads.push_back(static_cast<int*>(list_insert(&head, OBJECT_LIST_HEADER + sizeof(int))));
    *payloads.back() = i;
  }
  list_remove(&head, payloads[2]);  // middle
  EXPECT_EQ(values_newest_first(head), (std::vector<int>{4, 3, 1, 0}));
  list_remove(&head, payloads[4]);  // head
  EXPECT_EQ(values_newest_first(head), (std::vector<int>{3, 1, 0}));
  list_remove(&head, payloads[0]);  // tail
  EXPECT_EQ(values_newest_first(head), (std::vector<int>{3, 1}));
  EXPECT_TRUE(links_consistent(head));
  list_remove(&head, payloads[3]);
  list_remove(&head, payloads[1]);
  EXPECT_EQ(head, nullptr);
}

TEST(StateBlockTest, InitialiserRunsOnAZeroFilledBlockThatAllThreadsShare) {
  static bool saw_zero = false;
  void* block = state_block_create(64, [](void* b) {
    saw_zero = true;
    for (int i = 0; i < 64; i++) saw_zero = saw_zero && static_cast<char*>(b)[i] == 0;
    static_cast<int*>(b)[0] = 42;
  }, nullptr);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(saw_zero);
  EXPECT_EQ(static_cast<int*>(state_block_get(block))[0], 42);
  EXPECT_EQ(state_block_get(block), block);
}

TEST(RuntimeHeapTest, ReallocKeepsContentsAndZeroesTheNewPart) {
  auto* block = static_cast<unsigned char*>(runtime_alloc_zeroed(8));
  ASSERT_NE(block, nullptr);
  block[0] = 7;
  block = static_cast<unsigned char*>(runtime_realloc(block, 4096, true));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block[0], 7);
  for (int i = 8; i < 4096; i++) ASSERT_EQ(block[i], 0) << i;
  runtime_free(block);
  runtime_free(nullptr);
}

TEST(AlphaBlendTest, LoadsTheEntryWhereTheLibraryExists) {
  alpha_blend_init();
  EXPECT_NE(alpha_blend_module, nullptr);
  EXPECT_NE(alpha_blend_entry, nullptr);
  alpha_blend_release();
  EXPECT_EQ(alpha_blend_module, nullptr);
  EXPECT_EQ(alpha_blend_entry, nullptr);
}

TEST(AlphaBlendTest, MissingLibraryLeavesTheEntryNoneAndDoesNotFail) {
  alpha_blend_init_from("no_such_library_quarvo.dll");
  EXPECT_EQ(alpha_blend_module, nullptr);
  EXPECT_EQ(alpha_blend_entry, nullptr);
  alpha_blend_release();
}

TEST(AlphaBlendTest, LibraryWithoutTheEntryLeavesItNone) {
  alpha_blend_init_from("kernel32.dll");
  EXPECT_NE(alpha_blend_module, nullptr);
  EXPECT_EQ(alpha_blend_entry, nullptr);
  alpha_blend_release();
}

}  // namespace
