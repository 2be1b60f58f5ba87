// Every runtime test program starts the way the converter does: the runtime
// heap first, then the calling thread's string workspace.
#include <gtest/gtest.h>

#include "runtime/base/string_workspace.h"
#include "runtime/window/runtime_heap.h"

namespace {

class RuntimeEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_NE(runtime_heap_create(), nullptr);
    workspace_init();
  }
};

const ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new RuntimeEnvironment);

}  // namespace
