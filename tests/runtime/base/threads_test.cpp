#include <gtest/gtest.h>

#include <windows.h>

#include "runtime/base/threads.h"

namespace {

volatile LONG g_seen_parameter = 0;
HANDLE g_release = nullptr;

void wait_for_release(int32_t parameter) {
  InterlockedExchange(&g_seen_parameter, parameter);
  WaitForSingleObject(g_release, INFINITE);
}

void end_at_once(int32_t) {}

class ThreadsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { init_thread_lock(); }
  void SetUp() override { g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  void TearDown() override {
    SetEvent(g_release);
    close_thread_handles();
    CloseHandle(g_release);
  }
};

TEST_F(ThreadsTest, NumbersCountFromOneInStartOrderAndAreNotReused) {
  int32_t first = start_thread(wait_for_release, 77);
  int32_t second = start_thread(end_at_once, -5);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
  EXPECT_NE(thread_running(first), nullptr);
  while (g_seen_parameter != 77) Sleep(1);
  int32_t third = start_thread(end_at_once, 0);
  EXPECT_EQ(third, 3);
}

TEST_F(ThreadsTest, EndedThreadIsNotRunningAndIsPrunedByTheNextStart) {
  int32_t number = start_thread(end_at_once, 0);
  ASSERT_GT(number, 0);
  for (int i = 0; i < 500 && thread_running(number); i++) Sleep(2);
  EXPECT_EQ(thread_running(number), nullptr);
  EXPECT_EQ(thread_running(99999), nullptr);
  int32_t next = start_thread(wait_for_release, 1);
  EXPECT_EQ(next, number + 1);
  EXPECT_NE(thread_running(next), nullptr);
}

TEST_F(ThreadsTest, ClosingHandlesLeavesThreadsRunning) {
  int32_t number = start_thread(wait_for_release, 5);
  ASSERT_GT(number, 0);
  close_thread_handles();
  EXPECT_EQ(thread_running(number), nullptr) << "the list is empty";
  InterlockedExchange(&g_seen_parameter, 0);
  int32_t other = start_thread(wait_for_release, 6);
  while (g_seen_parameter == 0) Sleep(1);
  EXPECT_GT(other, number);
}

TEST_F(ThreadsTest, DelayWaitsAtLeastItsTime) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (int i = 0; i < 10; i++) delay_ms(50);
  QueryPerformanceCounter(&end);
  double ms = 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart;
  EXPECT_GE(ms, 499.0);
  // Loose: a loaded machine may run late, but 20 rounds a second is the goal.
  EXPECT_LT(ms, 2000.0);
  printf("10 x delay_ms(50): %.1f ms\n", ms);
}

}  // namespace
