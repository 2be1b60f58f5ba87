#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "runtime/window/registry.h"

namespace {

// A record as the libraries keep them: the live handle first, data after.
struct TestRecord {
  uintptr_t handle;
  int value;
};

ObjectRegistry* g_registry = nullptr;
std::vector<int32_t> g_released;

// Closes the live object of a number, as every release action does.
void close_test_object(int32_t number) {
  g_released.push_back(number);
  if (registry_lookup(g_registry, number)) registry_free(g_registry, number);
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_released.clear();
    registry = g_registry = registry_create(sizeof(TestRecord), 16, close_test_object);
    ASSERT_NE(registry, nullptr);
  }

  TestRecord* make(int32_t number, int value) {
    auto* record = static_cast<TestRecord*>(registry_allocate(registry, number));
    record->value = value;
    record->handle = 0x1000 + static_cast<uintptr_t>(value);
    return record;
  }

  std::vector<ObjectId> iterate() {
    std::vector<ObjectId> ids;
    registry_first(registry);
    ObjectId id = 0;
    while (registry_next(registry, &id)) ids.push_back(id);
    return ids;
  }

  ObjectRegistry* registry = nullptr;
};

TEST_F(RegistryTest, NumberInsideCapacityUsesTheExistingArray) {
  uint8_t* slots = registry->slots;
  TestRecord* record = make(0, 5);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(record), slots);
  EXPECT_EQ(registry->capacity, 16);
  EXPECT_EQ(registry_lookup(registry, 0), record);
}

TEST_F(RegistryTest, NumberBeyondCapacityGrowsToNumberPlusStepAndKeepsRecords) {
  for (int n = 0; n < 16; n++) make(n, 100 + n);
  make(20, 120);
  EXPECT_EQ(registry->capacity, 36);
  for (int n = 0; n < 16; n++) {
    auto* record = static_cast<TestRecord*>(registry_lookup(registry, n));
    ASSERT_NE(record, nullptr) << n;
    EXPECT_EQ(record->value, 100 + n);
  }
  for (int n = 16; n < 36; n++) {
    if (n != 20) {
      EXPECT_EQ(registry_lookup(registry, n), nullptr) << n;
    }
  }
}

TEST_F(RegistryTest, ReusingALiveNumberReleasesTheOldObjectFirst) {
  make(3, 1);
  g_released.clear();
  auto* record = static_cast<TestRecord*>(registry_allocate(registry, 3));
  ASSERT_EQ(g_released, std::vector<int32_t>{3});
  // The release left the slot free: the new record starts all zero.
  TestRecord zero = {};
  EXPECT_EQ(memcmp(record, &zero, sizeof zero), 0);
  EXPECT_EQ(registry_lookup(registry, 3), nullptr);
}

TEST_F(RegistryTest, FreeSlotsLookUpAsNone) {
  EXPECT_EQ(registry_lookup(registry, 0), nullptr);
  EXPECT_EQ(registry_lookup(registry, 15), nullptr);
  make(4, 4);
  registry_free(registry, 4);
  EXPECT_EQ(registry_lookup(registry, 4), nullptr);
}

TEST_F(RegistryTest, RecordAllocatedButNotYetFilledIsNoObject) {
  registry_allocate(registry, 2);
  EXPECT_EQ(registry_lookup(registry, 2), nullptr);
  EXPECT_TRUE(iterate().empty());
}

TEST_F(RegistryTest, AnyObjectsAreFoundByTheirAddressUntilFreed) {
  TestRecord* a = make(OBJECT_ANY, 1);
  auto id = reinterpret_cast<ObjectId>(a);
  EXPECT_EQ(registry_lookup(registry, id), a);
  EXPECT_EQ(registry->capacity, 16);
  registry_free(registry, id);
  EXPECT_EQ(registry_lookup(registry, id), nullptr);
  EXPECT_TRUE(g_released.empty());
}

TEST_F(RegistryTest, IdsThatNameNoObjectAnswerNoneAndFreeNothing) {
  make(1, 1);
  TestRecord* a = make(OBJECT_ANY, 2);
  TestRecord on_stack = {0xBAD, 3};
  const ObjectId bogus[] = {16, 17, 1000, 0x7FFFFFFF, -2,
                            reinterpret_cast<ObjectId>(&on_stack),
                            reinterpret_cast<ObjectId>(a) + 8};
  for (ObjectId id : bogus) {
    EXPECT_EQ(registry_lookup(registry, id), nullptr) << id;
    registry_free(registry, id);
  }
  EXPECT_EQ(on_stack.handle, 0xBADu);
  EXPECT_EQ(registry_lookup(registry, 1), registry->slots + sizeof(TestRecord));
  EXPECT_EQ(registry_lookup(registry, reinterpret_cast<ObjectId>(a)), a);
}

TEST_F(RegistryTest, NumbersBelowAnyAreRefused) {
  EXPECT_EQ(registry_allocate(registry, -2), nullptr);
  EXPECT_EQ(registry->capacity, 16);
}

TEST_F(RegistryTest, IterationGivesNumbersInOrderThenAnyObjectsOldestFirst) {
  make(3, 3);
  make(1, 1);
  TestRecord* a = make(OBJECT_ANY, 10);
  TestRecord* b = make(OBJECT_ANY, 11);
  std::vector<ObjectId> expected = {1, 3, reinterpret_cast<ObjectId>(a), reinterpret_cast<ObjectId>(b)};
  EXPECT_EQ(iterate(), expected);
}

TEST_F(RegistryTest, FreeingWhatIterationJustReturnedDoesNotDisturbIt) {
  make(0, 0);
  make(5, 5);
  make(9, 9);
  std::vector<TestRecord*> any = {make(OBJECT_ANY, 20), make(OBJECT_ANY, 21), make(OBJECT_ANY, 22)};
  std::vector<ObjectId> visited;
  registry_first(registry);
  ObjectId id = 0;
  while (registry_next(registry, &id)) {
    visited.push_back(id);
    registry_free(registry, id);
  }
  EXPECT_EQ(visited.size(), 6u);
  EXPECT_EQ(visited[3], reinterpret_cast<ObjectId>(any[0]));
  EXPECT_EQ(visited[5], reinterpret_cast<ObjectId>(any[2]));
  EXPECT_TRUE(iterate().empty());
  EXPECT_EQ(registry->any_objects, nullptr);
}

TEST_F(RegistryTest, FreeingTheNextAnyObjectDuringIterationSkipsIt) {
  TestRecord* a = make(OBJECT_ANY, 1);
  TestRecord* b = make(OBJECT_ANY, 2);
  TestRecord* c = make(OBJECT_ANY, 3);
  registry_first(registry);
  ObjectId id = 0;
  ASSERT_EQ(registry_next(registry, &id), a);
  registry_free(registry, reinterpret_cast<ObjectId>(b));
  EXPECT_EQ(registry_next(registry, &id), c);
  EXPECT_EQ(registry_next(registry, &id), nullptr);
}

}  // namespace
