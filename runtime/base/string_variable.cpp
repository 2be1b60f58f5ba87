#include "runtime/base/string_variable.h"

#include "runtime/base/string_workspace.h"

// Resizes the variable's block to exactly length + 5 bytes.
static char* size_block(RuntimeString* variable, int32_t length) {
  SIZE_T bytes = static_cast<SIZE_T>(length) + 5;
  if (*variable)
    *variable = static_cast<char*>(HeapReAlloc(string_heap(), 0, *variable, bytes));
  else
    *variable = static_cast<char*>(HeapAlloc(string_heap(), 0, bytes));
  return *variable;
}

void string_assign(RuntimeString* variable, int32_t start) {
  StringWorkspace* ws = current_workspace();
  int32_t length = ws->position - start;
  if (length < 0) length = 0;
  char* block = size_block(variable, length);
  CopyMemory(block, ws->buffer + start, length);
  block[length] = '\0';
  ws->position = start;
}

static int32_t copy_into(RuntimeString* variable, const char* text) {
  int32_t length = lstrlenA(text);
  if (*variable && text >= *variable && text <= *variable + lstrlenA(*variable)) {
    // The text is the variable's own (or a tail of it): move it to the front
    // before the block is resized under it.
    MoveMemory(*variable, text, length + 1);
    size_block(variable, length);
    return length;
  }
  char* block = size_block(variable, length);
  CopyMemory(block, text, length);
  block[length] = '\0';
  return length;
}

void string_init(RuntimeString* variable, const char* text) {
  if (text) copy_into(variable, text);
}

int32_t string_set(RuntimeString* variable, const char* text) {
  if (!text) {
    string_free(*variable);
    *variable = nullptr;
    return 1;
  }
  return copy_into(variable, text) + 1;
}

void string_free(char* block) {
  if (block) HeapFree(string_heap(), 0, block);
}
