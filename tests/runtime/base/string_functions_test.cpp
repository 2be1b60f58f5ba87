#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/base/string_functions.h"
#include "runtime/base/string_workspace.h"

class StringFunctionsTest : public ::testing::Test {
 protected:
  void SetUp() override { workspace_init(); }

  // The text an operation wrote at p, after checking that it left the
  // position just behind it.
  static std::string result_at(int32_t p) {
    const char* text = workspace_pointer(p);
    EXPECT_EQ(workspace_position(), p + text_length(text));
    return text;
  }

  static std::string decimal(int64_t v) {
    int32_t p = workspace_position();
    int_to_text(v, p);
    std::string text = result_at(p);
    workspace_truncate(p);
    return text;
  }

  // Builds `text` in the workspace right up to the growth threshold, so
  // that the next reservation of `extra` bytes moves the buffer.
  static int32_t build_near_capacity(const std::string& text) {
    int32_t s = workspace_position();
    workspace_append(text.c_str());
    return s;
  }
};

TEST_F(StringFunctionsTest, DecimalOutputCoversBothWidthsAndTheirExtremes) {
  EXPECT_EQ(decimal(0), "0");
  EXPECT_EQ(decimal(7), "7");
  EXPECT_EQ(decimal(-12), "-12");
  EXPECT_EQ(decimal(INT32_MAX), "2147483647");
  EXPECT_EQ(decimal(INT32_MIN), "-2147483648");
  EXPECT_EQ(decimal(int64_t{INT32_MAX} + 1), "2147483648");
  EXPECT_EQ(decimal(int64_t{INT32_MIN} - 1), "-2147483649");
  EXPECT_EQ(decimal(INT64_MAX), "9223372036854775807");
  EXPECT_EQ(decimal(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(decimal(1000000000000LL), "1000000000000");
}

TEST_F(StringFunctionsTest, DecimalOutputLandsBehindPiecesAlreadyBuilt) {
  int32_t s = workspace_position();
  workspace_append("-b ");
  int_to_text(192, workspace_position());
  workspace_append(" -m m");
  EXPECT_STREQ(workspace_pointer(s), "-b 192 -m m");
}

TEST_F(StringFunctionsTest, TextToIntReadsPrefixesSignsAndStopsAtNonDigits) {
  EXPECT_EQ(text_to_int("$ff"), 255);
  EXPECT_EQ(text_to_int("$FF"), 255);
  EXPECT_EQ(text_to_int("%101"), 5);
  EXPECT_EQ(text_to_int("  -12abc"), -12);
  EXPECT_EQ(text_to_int("\t+34"), 34);
  EXPECT_EQ(text_to_int("abc"), 0);
  EXPECT_EQ(text_to_int(nullptr), 0);
  EXPECT_EQ(text_to_int(""), 0);
  EXPECT_EQ(text_to_int("$"), 0);
  EXPECT_EQ(text_to_int("%2"), 0);
  EXPECT_EQ(text_to_int("-$10"), -16);
  EXPECT_EQ(text_to_int("12 34"), 12);
  EXPECT_EQ(text_to_int("320 kbit"), 320);
}

TEST_F(StringFunctionsTest, TextToIntWrapsIn64Bits) {
  EXPECT_EQ(text_to_int("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(text_to_int("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(text_to_int("18446744073709551616"), 0);
  EXPECT_EQ(text_to_int("$FFFFFFFFFFFFFFFF"), -1);
}

TEST_F(StringFunctionsTest, LeftAndRightClampTheirCounts) {
  int32_t p = workspace_position();
  left_chars("abcdef", 2, p);
  EXPECT_EQ(result_at(p), "ab");
  left_chars("abcdef", 99, p);
  EXPECT_EQ(result_at(p), "abcdef");
  left_chars("abcdef", -3, p);
  EXPECT_EQ(result_at(p), "");
  right_chars("abcdef", 2, p);
  EXPECT_EQ(result_at(p), "ef");
  right_chars("abcdef", 99, p);
  EXPECT_EQ(result_at(p), "abcdef");
  right_chars("abcdef", -1, p);
  EXPECT_EQ(result_at(p), "");
  right_chars(nullptr, 3, p);
  EXPECT_EQ(result_at(p), "");
}

TEST_F(StringFunctionsTest, ResultMayOverwriteItsOwnSourceAtTheSameOffset) {
  int32_t s = workspace_position();
  workspace_append("C:\\music\\tune.pt3");
  right_chars(workspace_pointer(s), 8, s);
  EXPECT_EQ(result_at(s), "tune.pt3");
  left_chars(workspace_pointer(s), 4, s);
  EXPECT_EQ(result_at(s), "tune");
}

TEST_F(StringFunctionsTest, SourceInsideTheWorkspaceSurvivesGrowth) {
  // 11 bytes leave the fresh 16-byte workspace just below its threshold;
  // any further reservation moves the buffer under the source text.
  struct Case {
    const char* source;
    char* (*operation)(const char* text, int32_t p);
    const char* expected;
  } cases[] = {
      {"hello world", [](const char* t, int32_t p) { return left_chars(t, 5, p); }, "hello"},
      {"hello world", [](const char* t, int32_t p) { return right_chars(t, 5, p); }, "world"},
      {"one\ntwo\nsix", [](const char* t, int32_t p) { return string_field(t, 2, "\n", p); }, "two"},
  };
  for (const Case& c : cases) {
    workspace_init();
    int32_t s = build_near_capacity(c.source);
    ASSERT_EQ(current_workspace()->capacity, 16);
    int32_t p = workspace_position();
    c.operation(workspace_pointer(s), p);
    EXPECT_GT(current_workspace()->capacity, 16);
    EXPECT_EQ(result_at(p), c.expected);
  }
}

TEST_F(StringFunctionsTest, LengthAndEqualityTreatNullAsEmpty) {
  EXPECT_EQ(text_length(nullptr), 0);
  EXPECT_EQ(text_length("abc"), 3);
  EXPECT_TRUE(strings_equal(nullptr, nullptr));
  EXPECT_TRUE(strings_equal(nullptr, ""));
  EXPECT_TRUE(strings_equal("a", "a"));
  EXPECT_FALSE(strings_equal("a", "ab"));
  EXPECT_FALSE(strings_equal("ab", "a"));
  EXPECT_FALSE(strings_equal(nullptr, "a"));
  // Bytes of code page 1251 compare as bytes.
  EXPECT_TRUE(strings_equal("\xD2\xE0\xF9\xE8", "\xD2\xE0\xF9\xE8"));
  EXPECT_FALSE(strings_equal("\xD2", "\xF2"));
}

TEST_F(StringFunctionsTest, CountStringCountsNonOverlappingMatches) {
  EXPECT_EQ(count_string("aaaa", "aa"), 2);
  EXPECT_EQ(count_string("aaa", "aa"), 1);
  EXPECT_EQ(count_string("a\nb\nc", "\n"), 2);
  EXPECT_EQ(count_string("abc", ""), 0);
  EXPECT_EQ(count_string(nullptr, "a"), 0);
  EXPECT_EQ(count_string("abc", nullptr), 0);
  EXPECT_EQ(count_string("abab", "ba"), 1);
  EXPECT_EQ(count_string("ab", "abc"), 0);
}

TEST_F(StringFunctionsTest, FieldsSplitAtTheSeparatorsFirstCharacter) {
  int32_t p = workspace_position();
  string_field("a\nb", 1, "\n", p);
  EXPECT_EQ(result_at(p), "a");
  string_field("a\nb", 2, "\n", p);
  EXPECT_EQ(result_at(p), "b");
  string_field("a\nb", 3, "\n", p);
  EXPECT_EQ(result_at(p), "");
  string_field("x", 1, "\n", p);
  EXPECT_EQ(result_at(p), "x");
  string_field("x", 2, "\n", p);
  EXPECT_EQ(result_at(p), "");
  string_field("x", 0, "\n", p);
  EXPECT_EQ(result_at(p), "");
  string_field("x", -4, "\n", p);
  EXPECT_EQ(result_at(p), "");
  string_field("a,,c", 2, ",;", p);
  EXPECT_EQ(result_at(p), "");
  string_field("a,,c", 3, ",;", p);
  EXPECT_EQ(result_at(p), "c");
  string_field("a;b", 1, ",;", p);
  EXPECT_EQ(result_at(p), "a;b");
  string_field(nullptr, 1, "\n", p);
  EXPECT_EQ(result_at(p), "");
  string_field("a\n", 2, "\n", p);
  EXPECT_EQ(result_at(p), "");
}
