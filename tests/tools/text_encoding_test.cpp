#include "tools/common/text_encoding.h"

#include <gtest/gtest.h>

namespace tools {
namespace {

struct RawCase {
  const char* name;
  std::string raw;
  std::string utf8;
};

class TagTextDecoding : public testing::TestWithParam<RawCase> {};

TEST_P(TagTextDecoding, DecodesRawTagBytesToUtf8) {
  EXPECT_EQ(text_to_utf8(GetParam().raw), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, TagTextDecoding,
    testing::Values(
        RawCase{"ValidUtf8StaysAsItIs", "\xD0\x9F\xD1\x80\xD0\xB8 caf\xC3\xA9", "\xD0\x9F\xD1\x80\xD0\xB8 caf\xC3\xA9"},
        RawCase{"Cp1251WordsBecomeCyrillic", "\xCF\xF0\xE8\xE2\xE5\xF2 2", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 2"},
        RawCase{"Cp1251YoIsALetter", "\xA8\xEB\xEA\xE0", "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0"},
        RawCase{"Cp866WordsBecomeCyrillic", "\x8F\xE0\xA8\xA2\xA5\xE2", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        RawCase{"AccentInsideAsciiWordIsLatin1", "Caf\xE9 M\xFCller", "Caf\xC3\xA9 M\xC3\xBCller"},
        RawCase{"LoneHighLetterIsLatin1", "\xC9t\xE9", "\xC3\x89t\xC3\xA9"},
        RawCase{"ShiftJisIsReadAsLatin1", "\x93\xFA\x96\x7B", "\xC2\x93\xC3\xBA\xC2\x96{"},
        RawCase{"NulPaddingAndControlsGo", std::string("  Title\x01x\0\0\0", 12), "Title x"},
        RawCase{"OnlyBlanksBecomeEmpty", "   \t ", ""}),
    [](const testing::TestParamInfo<RawCase>& info) { return std::string(info.param.name); });

TEST(TagTextConversion, Utf16KeepsCharactersBeyondTheBasicPlaneAsPairs) {
  const std::u16string text = utf8_to_utf16("A\xF0\x9F\x8E\xB5\xE6\x97\xA5");
  ASSERT_EQ(text.size(), 4u);
  EXPECT_EQ(text[1], 0xD83C);
  EXPECT_EQ(text[2], 0xDFB5);
  EXPECT_EQ(text[3], 0x65E5);
}

TEST(TagTextConversion, Utf16ReplacesIllFormedSequences) {
  EXPECT_EQ(utf8_to_utf16("a\xC0\xAF" "b"), (std::u16string{u'a', 0xFFFD, 0xFFFD, u'b'}));
}

TEST(TagTextConversion, Latin1KeepsWhatFitsAndMarksTheRest) {
  EXPECT_EQ(utf8_to_latin1("caf\xC3\xA9 \xD0\x9F"), "caf\xE9 ?");
}

TEST(TagTextConversion, PrefixNeverSplitsACharacter) {
  EXPECT_EQ(utf8_prefix("ab\xD0\x9F", 3), "ab");
  EXPECT_EQ(utf8_prefix("ab\xD0\x9F", 4), "ab\xD0\x9F");
}

TEST(TagTextConversion, ValidityCheckRejectsSurrogatesAndOverlongForms) {
  EXPECT_TRUE(is_valid_utf8("\xE6\x97\xA5"));
  EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));
  EXPECT_FALSE(is_valid_utf8("\xC1\xBF"));
  EXPECT_FALSE(is_valid_utf8("\xE6\x97"));
}

}  // namespace
}  // namespace tools
