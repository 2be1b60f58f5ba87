#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "runtime/base/string_functions.h"
#include "runtime/base/string_variable.h"
#include "runtime/base/string_workspace.h"

namespace {

struct BuildJob {
  const char* prefix;
  int count;
  int failures;
  StringWorkspace* workspace;
};

// Builds "<prefix><i>/<count>" the way the batch worker builds its counter
// texts, and checks every result against a reference made without the
// workspace.
DWORD WINAPI build_counter_texts(void* parameter) {
  auto* job = static_cast<BuildJob*>(parameter);
  RuntimeString text = nullptr;
  for (int i = 0; i < job->count; i++) {
    int32_t s = workspace_position();
    workspace_append(job->prefix);
    int_to_text(i, workspace_position());
    workspace_append("/");
    int_to_text(job->count, workspace_position());
    string_assign(&text, s);
    std::string expected = std::string(job->prefix) + std::to_string(i) + "/" + std::to_string(job->count);
    if (expected != text || workspace_position() != s) job->failures++;
  }
  job->workspace = current_workspace();
  string_free(text);
  return 0;
}

struct SeenWorkspace {
  int32_t capacity;
  int32_t position;
};

DWORD WINAPI look_at_workspace(void* parameter) {
  auto* seen = static_cast<SeenWorkspace*>(parameter);
  seen->capacity = current_workspace()->capacity;
  seen->position = current_workspace()->position;
  return 0;
}

}  // namespace

TEST(StringThreadsTest, TwoThreadsBuildStringsAtOnceWithoutInterfering) {
  BuildJob first = {"worker ", 200000, 0, nullptr};
  BuildJob second = {"\xD2\xE0\xF9\xE8 ", 200000, 0, nullptr};
  HANDLE threads[2] = {
      CreateThread(nullptr, 0, build_counter_texts, &first, 0, nullptr),
      CreateThread(nullptr, 0, build_counter_texts, &second, 0, nullptr),
  };
  ASSERT_NE(threads[0], nullptr);
  ASSERT_NE(threads[1], nullptr);
  // The main thread builds too, as the GUI thread does during a batch.
  BuildJob mine = {"main ", 100000, 0, nullptr};
  build_counter_texts(&mine);
  WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  EXPECT_EQ(first.failures, 0);
  EXPECT_EQ(second.failures, 0);
  EXPECT_EQ(mine.failures, 0);
  EXPECT_NE(first.workspace, second.workspace);
  EXPECT_NE(first.workspace, mine.workspace);
}

TEST(StringThreadsTest, ANewThreadStartsWithAFreshWorkspace) {
  SeenWorkspace seen = {0, -1};
  workspace_append("the main thread's text");
  HANDLE thread = CreateThread(nullptr, 0, look_at_workspace, &seen, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(seen.capacity, 16);
  EXPECT_EQ(seen.position, 0);
  workspace_init();
}
