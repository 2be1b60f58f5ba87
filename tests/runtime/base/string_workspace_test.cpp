#include <gtest/gtest.h>

#include <string>

#include "runtime/base/string_functions.h"
#include "runtime/base/string_variable.h"
#include "runtime/base/string_workspace.h"

// Each case starts from a fresh workspace of 16 bytes at position 0.
class StringWorkspaceTest : public ::testing::Test {
 protected:
  void SetUp() override { workspace_init(); }
  StringWorkspace* ws() { return current_workspace(); }
};

TEST_F(StringWorkspaceTest, StartsWithSixteenBytesAtPositionZero) {
  EXPECT_EQ(ws()->capacity, 16);
  EXPECT_EQ(ws()->position, 0);
}

TEST_F(StringWorkspaceTest, TwelveByteExpressionGrowsTheFreshWorkspace) {
  workspace_append("123456789012");
  EXPECT_EQ(ws()->capacity, 12 + 16384);
  EXPECT_STREQ(ws()->buffer, "123456789012");
}

TEST_F(StringWorkspaceTest, ElevenByteExpressionFitsTheFreshWorkspace) {
  workspace_append("12345678901");
  EXPECT_EQ(ws()->capacity, 16);
  EXPECT_EQ(ws()->position, 11);
  EXPECT_STREQ(ws()->buffer, "12345678901");
}

TEST_F(StringWorkspaceTest, GrowthKeepsWhatWasBuilt) {
  workspace_append("abc");
  std::string big(20000, 'x');
  workspace_append(big.c_str());
  EXPECT_EQ(ws()->capacity, 3 + 20000 + 16384);
  EXPECT_EQ(std::string(ws()->buffer, 3), "abc");
  EXPECT_EQ(text_length(ws()->buffer), 20003);
}

TEST_F(StringWorkspaceTest, AppendOfNullOnlyTerminates) {
  workspace_append("ab");
  workspace_give_back(1);
  workspace_append(nullptr);
  EXPECT_EQ(ws()->position, 1);
  EXPECT_STREQ(ws()->buffer, "a");
}

TEST_F(StringWorkspaceTest, OffsetOfIsOneBasedInsideTheBuiltPartAndZeroOutside) {
  workspace_append("hello");
  EXPECT_EQ(workspace_offset_of(ws()->buffer), 1);
  EXPECT_EQ(workspace_offset_of(ws()->buffer + 5), 6);
  EXPECT_EQ(workspace_offset_of(ws()->buffer + 6), 0);
  const char* outside = "hello";
  EXPECT_EQ(workspace_offset_of(outside), 0);
  EXPECT_EQ(workspace_pointer_from_mark(3), ws()->buffer + 2);
}

TEST_F(StringWorkspaceTest, TruncateSetsPositionAndTerminates) {
  workspace_append("abcdef");
  EXPECT_EQ(workspace_truncate(2), 2);
  EXPECT_EQ(ws()->position, 2);
  EXPECT_STREQ(ws()->buffer, "ab");
}

TEST_F(StringWorkspaceTest, AssignCopiesFromStartAndRestoresThePosition) {
  workspace_append("keep");
  int32_t s = workspace_position();
  workspace_append("value ");
  int_to_text(42, workspace_position());
  RuntimeString variable = nullptr;
  string_assign(&variable, s);
  EXPECT_STREQ(variable, "value 42");
  EXPECT_EQ(ws()->position, s);
  EXPECT_EQ(HeapSize(string_heap(), 0, variable), 8u + 5u);
  // Assigning a shorter text shrinks the block to the exact new size.
  workspace_append("x");
  string_assign(&variable, s);
  EXPECT_STREQ(variable, "x");
  EXPECT_EQ(HeapSize(string_heap(), 0, variable), 1u + 5u);
  string_free(variable);
}

TEST_F(StringWorkspaceTest, AssignOfNothingGivesAnAllocatedEmptyText) {
  RuntimeString variable = nullptr;
  string_assign(&variable, workspace_position());
  ASSERT_NE(variable, nullptr);
  EXPECT_STREQ(variable, "");
  string_free(variable);
}

TEST_F(StringWorkspaceTest, SetWithNullFreesAndWithEmptyAllocates) {
  RuntimeString variable = nullptr;
  EXPECT_EQ(string_set(&variable, "abc"), 4);
  EXPECT_STREQ(variable, "abc");
  EXPECT_EQ(string_set(&variable, nullptr), 1);
  EXPECT_EQ(variable, nullptr);
  EXPECT_EQ(string_set(&variable, ""), 1);
  ASSERT_NE(variable, nullptr);
  EXPECT_STREQ(variable, "");
  string_free(variable);
  string_free(nullptr);
}

TEST_F(StringWorkspaceTest, SetFromATailOfItsOwnTextKeepsTheText) {
  RuntimeString variable = nullptr;
  string_set(&variable, "C:\\music\\song.mod");
  string_set(&variable, variable + 9);
  EXPECT_STREQ(variable, "song.mod");
  string_free(variable);
}

TEST_F(StringWorkspaceTest, InitOfNullLeavesTheVariableAlone) {
  RuntimeString variable = nullptr;
  string_init(&variable, nullptr);
  EXPECT_EQ(variable, nullptr);
  string_init(&variable, "copy");
  EXPECT_STREQ(variable, "copy");
  string_free(variable);
}

// The caller's pattern: build at s, consume with the position one past the
// terminator so that nested results do not overwrite it, then restore.
TEST_F(StringWorkspaceTest, ConsumedTextSurvivesNestedResultsBuiltBehindIt) {
  int32_t s = workspace_position();
  workspace_append("left");
  workspace_reserve(1, workspace_position());
  int32_t nested = workspace_position();
  int_to_text(-7, nested);
  EXPECT_STREQ(workspace_pointer(s), "left");
  EXPECT_STREQ(workspace_pointer(nested), "-7");
  workspace_truncate(s);
  EXPECT_EQ(workspace_position(), 0);
}
