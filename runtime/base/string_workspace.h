// The string workspace: every string expression is built in a growable
// scratch buffer and only then copied into a string variable or handed on.
// String-returning operations write their result at an offset the caller
// names and leave the position just behind it.
//
// Each thread builds in a workspace of its own (the GUI thread and the batch
// worker build strings at the same time); all live on one `string_heap`.
// Text inside a workspace is held by offset, never by pointer, across any
// operation that may grow it: the buffer moves when it grows.
#pragma once

#include <windows.h>
#include <cstdint>

struct StringWorkspace {
  char* buffer;      // on string_heap; moves when it grows
  int32_t capacity;  // usable bytes; the block holds capacity + 5 after a growth
  int32_t position;  // first free byte: the end of the text being built
};

// Creates string_heap (once per process) and gives the calling thread a
// fresh workspace: capacity 16, position 0. Must precede any string use.
void workspace_init();

// The heap of the workspaces and of every string variable's block.
HANDLE string_heap();

// The calling thread's workspace, made on first use by a thread other than
// the one that ran workspace_init.
StringWorkspace* current_workspace();

// Room for n bytes at offset `at` (at most the position): grows the buffer
// when position + n reaches capacity - 4, sets position := at + n and
// returns buffer + at.
char* workspace_reserve(int32_t n, int32_t at);

// Appends a text (never one inside the workspace) at the position and
// terminates it; a null text only writes the terminator. Returns where the
// text begins.
char* workspace_append(const char* text);

// position := position - n; returns the new position.
int32_t workspace_give_back(int32_t n);

// p - buffer + 1 when p lies in the built part of the workspace, else 0:
// the mark to keep across a growth.
int32_t workspace_offset_of(const char* p);

// buffer + offset.
char* workspace_pointer(int32_t offset);

// buffer + mark - 1, for a mark from workspace_offset_of.
char* workspace_pointer_from_mark(int32_t mark);

// position := at, with a terminator there; returns at.
int32_t workspace_truncate(int32_t at);

// The current position (the saved position of an expression).
int32_t workspace_position();
