// Long random sequences of registry and pool operations, checked after every
// step against plain standard-library models.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <vector>

#include "runtime/window/block_pool.h"
#include "runtime/window/registry.h"

namespace {

struct Record {
  uintptr_t handle;
  uint32_t stamp;
};

ObjectRegistry* g_model_registry = nullptr;
std::map<ObjectId, uint32_t>* g_model = nullptr;

void release_model_object(int32_t number) {
  if (registry_lookup(g_model_registry, number)) {
    registry_free(g_model_registry, number);
    g_model->erase(number);
  }
}

TEST(RegistryModelTest, RandomOperationsAgreeWithAMap) {
  std::mt19937 random(20261207);
  std::map<ObjectId, uint32_t> model;
  g_model = &model;
  ObjectRegistry* registry = g_model_registry =
      registry_create(sizeof(Record), 16, release_model_object);
  ASSERT_NE(registry, nullptr);
  uint32_t next_stamp = 1;

  for (int step = 0; step < 20000; step++) {
    int op = random() % 10;
    if (op < 4) {  // create, a number or an OBJECT_ANY object
      int32_t number = (random() % 4 == 0) ? OBJECT_ANY : static_cast<int32_t>(random() % 80);
      auto* record = static_cast<Record*>(registry_allocate(registry, number));
      ASSERT_NE(record, nullptr);
      ASSERT_EQ(record->handle, 0u) << "slot of " << number << " not released";
      record->stamp = next_stamp;
      record->handle = next_stamp;
      ObjectId id = number == OBJECT_ANY ? reinterpret_cast<ObjectId>(record) : number;
      ASSERT_EQ(model.count(id), 0u);
      model[id] = next_stamp++;
    } else if (op < 7 && !model.empty()) {  // free a live object
      auto it = model.begin();
      std::advance(it, random() % model.size());
      registry_free(registry, it->first);
      model.erase(it);
    } else if (op < 9) {  // look up a live id, a free number or a stray one
      ObjectId id;
      if (!model.empty() && random() % 2) {
        auto it = model.begin();
        std::advance(it, random() % model.size());
        id = it->first;
      } else {
        id = static_cast<ObjectId>(random() % 200);
      }
      auto* record = static_cast<Record*>(registry_lookup(registry, id));
      auto expected = model.find(id);
      if (expected == model.end()) {
        ASSERT_EQ(record, nullptr) << id;
      } else {
        ASSERT_NE(record, nullptr) << id;
        ASSERT_EQ(record->stamp, expected->second);
      }
    } else {  // iterate: exactly the live objects, numbers in order first
      std::map<ObjectId, uint32_t> seen;
      std::vector<ObjectId> numbers;
      registry_first(registry);
      ObjectId id = 0;
      while (auto* record = static_cast<Record*>(registry_next(registry, &id))) {
        ASSERT_EQ(seen.count(id), 0u);
        seen[id] = record->stamp;
        if (id >= 0 && id < registry->capacity) numbers.push_back(id);
      }
      ASSERT_EQ(seen, model);
      ASSERT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    }
  }
}

TEST(BlockPoolModelTest, RandomAllocationsNeverOverlapAndAllChunksReturn) {
  std::mt19937 random(7);
  BlockPool* pool = pool_create(20, 16, 256);
  ASSERT_NE(pool, nullptr);
  std::map<uint32_t*, uint32_t> live;
  uint32_t next_stamp = 1;
  for (int step = 0; step < 50000; step++) {
    // Drift between growing and shrinking phases so that chunks of every
    // size are made and freed.
    bool grow = (step / 5000) % 2 == 0 ? random() % 10 < 7 : random() % 10 < 3;
    if (grow || live.empty()) {
      auto* item = static_cast<uint32_t*>(pool_alloc(pool));
      ASSERT_NE(item, nullptr);
      ASSERT_EQ(reinterpret_cast<uintptr_t>(item) % sizeof(void*), 0u);
      ASSERT_EQ(live.count(item), 0u) << "item handed out twice";
      for (int w = 0; w < 5; w++) item[w] = next_stamp;
      live[item] = next_stamp++;
    } else {
      auto it = live.begin();
      std::advance(it, random() % live.size());
      for (int w = 0; w < 5; w++) ASSERT_EQ(it->first[w], it->second) << "item overwritten";
      pool_free(pool, it->first);
      live.erase(it);
    }
  }
  for (auto& [item, stamp] : live) {
    for (int w = 0; w < 5; w++) ASSERT_EQ(item[w], stamp);
    pool_free(pool, item);
  }
  EXPECT_EQ(pool->total_blocks, 0);
  EXPECT_EQ(pool->open_chunks, nullptr);
  EXPECT_EQ(pool->full_chunks, nullptr);
}

}  // namespace
