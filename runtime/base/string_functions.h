// String operations over runtime strings (zero-terminated, ANSI code page).
// A null text reads as the empty text everywhere. Operations taking an
// output offset `p` write their terminated result there and leave the
// position at p + length; their source may lie in the workspace (before p,
// or starting at p) even when the operation grows it.
#pragma once

#include <cstdint>

// Equal byte for byte; null equals the empty text.
bool strings_equal(const char* a, const char* b);

// Decimal text of v: "-" for negatives, no leading zeros, "0" for zero.
char* int_to_text(int64_t v, int32_t p);

// Blanks and tabs skipped, an optional sign, then "$" hexadecimal, "%"
// binary or decimal digits up to the first non-digit; 64-bit, wrapping.
// Text that is no number gives 0.
int64_t text_to_int(const char* text);

// The first / last n characters (n clamped to 0 .. length).
char* left_chars(const char* text, int32_t n, int32_t p);
char* right_chars(const char* text, int32_t n, int32_t p);

// Byte length.
int32_t text_length(const char* text);

// Non-overlapping occurrences of pattern; 0 when either is null or the
// pattern is empty.
int32_t count_string(const char* text, const char* pattern);

// Field number `index` (from 1) of the text split at the first character of
// `separator`; empty when the index is below 1 or beyond the last field.
char* string_field(const char* text, int32_t index, const char* separator, int32_t p);
