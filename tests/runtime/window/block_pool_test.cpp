#include <gtest/gtest.h>

#include <vector>

#include "runtime/window/block_pool.h"

namespace {

int chunks_in(const PoolChunk* list) {
  int n = 0;
  for (; list; list = list->next) n++;
  return n;
}

PoolChunk* chunk_of(void* item) {
  return *reinterpret_cast<PoolChunk**>(static_cast<char*>(item) - sizeof(void*));
}

class BlockPoolTest : public ::testing::Test {
 protected:
  void SetUp() override { pool = pool_create(20, 16, 256); }
  BlockPool* pool = nullptr;
};

TEST_F(BlockPoolTest, BlockHoldsTheItemAndABackPointerRoundedToPointerSize) {
  // 24 bytes on 32-bit Windows, 32 on 64-bit: the back pointer and the
  // free-list link are pointers.
  EXPECT_EQ(pool->block_size, sizeof(void*) == 4 ? 24 : 32);
  EXPECT_EQ(pool->total_blocks, 0);
  EXPECT_EQ(pool_create(1, 16, 256)->block_size, static_cast<int32_t>(2 * sizeof(void*)));
}

TEST_F(BlockPoolTest, FirstAllocationMakesAnOpenChunkOfSixteen) {
  void* item = pool_alloc(pool);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(pool->total_blocks, 16);
  EXPECT_EQ(chunks_in(pool->open_chunks), 1);
  EXPECT_EQ(chunks_in(pool->full_chunks), 0);
  EXPECT_EQ(chunk_of(item), pool->open_chunks);
  EXPECT_EQ(pool->open_chunks->used, 1);
}

TEST_F(BlockPoolTest, FullChunkMovesAsideAndTheNextAllocationMakesASecond) {
  std::vector<void*> items;
  for (int i = 0; i < 16; i++) items.push_back(pool_alloc(pool));
  EXPECT_EQ(chunks_in(pool->open_chunks), 0);
  EXPECT_EQ(chunks_in(pool->full_chunks), 1);
  void* seventeenth = pool_alloc(pool);
  EXPECT_EQ(pool->total_blocks, 32);
  EXPECT_EQ(chunks_in(pool->open_chunks), 1);
  EXPECT_NE(chunk_of(seventeenth), chunk_of(items[0]));

  // One block back makes the full chunk open again, in front.
  PoolChunk* first = chunk_of(items[0]);
  pool_free(pool, items[3]);
  EXPECT_EQ(chunks_in(pool->full_chunks), 0);
  EXPECT_EQ(pool->open_chunks, first);
  EXPECT_EQ(first->free_count, 1);
  // The freed block is the next one handed out.
  EXPECT_EQ(pool_alloc(pool), items[3]);
  EXPECT_EQ(chunks_in(pool->full_chunks), 1);
}

TEST_F(BlockPoolTest, ReturningEveryBlockOfAChunkFreesIt) {
  std::vector<void*> items;
  for (int i = 0; i < 20; i++) items.push_back(pool_alloc(pool));
  ASSERT_EQ(pool->total_blocks, 32);
  for (int i = 0; i < 16; i++) pool_free(pool, items[i]);
  EXPECT_EQ(pool->total_blocks, 16);
  EXPECT_EQ(chunks_in(pool->full_chunks), 0);
  EXPECT_EQ(chunks_in(pool->open_chunks), 1);
  for (int i = 16; i < 20; i++) pool_free(pool, items[i]);
  EXPECT_EQ(pool->total_blocks, 0);
  EXPECT_EQ(pool->open_chunks, nullptr);
}

TEST_F(BlockPoolTest, ChunksGrowWithThePoolUpToTheMaximum) {
  std::vector<int32_t> sizes;
  int32_t last_total = 0;
  for (int i = 0; i < 12000; i++) {
    pool_alloc(pool);
    if (pool->total_blocks != last_total) {
      sizes.push_back(pool->total_blocks - last_total);
      last_total = pool->total_blocks;
    }
  }
  // Sixteen at a time up to 512 blocks held, then a sixteenth of the total
  // in steps of 16, never more than 256.
  for (size_t i = 0; i < 32; i++) EXPECT_EQ(sizes[i], 16) << i;
  EXPECT_EQ(sizes[32], 32);
  int32_t total = 0;
  for (size_t i = 0; i < sizes.size(); i++) {
    int32_t expected = (total >> 4) & ~15;
    if (expected < 16) expected = 16;
    if (expected > 256) expected = 256;
    EXPECT_EQ(sizes[i], expected) << i;
    total += sizes[i];
  }
  EXPECT_EQ(sizes.back(), 256);
}

}  // namespace
