// String variables: one pointer each, null for the empty text, otherwise a
// block on string_heap holding the text, its terminator and spare bytes
// (always length + 5 bytes, resized to that on every assignment).
#pragma once

#include <cstdint>

typedef char* RuntimeString;

// Copies the workspace text from `start` to the position into the variable,
// then position := start. The variable holds an allocated text afterwards,
// empty if start equals the position.
void string_assign(RuntimeString* variable, int32_t start);

// Takes a private copy of a parameter; a null text leaves the variable as
// it is.
void string_init(RuntimeString* variable, const char* text);

// Sets the variable to a copy of the text and returns length + 1; a null
// text frees the block, leaves the variable null and returns 1.
int32_t string_set(RuntimeString* variable, const char* text);

// Frees a variable's block; null is ignored.
void string_free(char* block);
