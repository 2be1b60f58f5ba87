// Numbered threads and delays. Threads are numbered 1, 2, 3, ... in start
// order and never stopped; their handles are kept in a list guarded by a
// lock, so any thread may start threads.
#pragma once

#include <windows.h>
#include <cstdint>

// A thread's procedure, given the one parameter of start_thread.
typedef void (*ThreadProcedure)(int32_t parameter);

// Initialises the thread list's lock; once, before the other operations.
void init_thread_lock();

// Starts a thread; its number (1 or more), or 0 when it could not be made
// (no number is used up then). Ended threads are pruned from the list here.
int32_t start_thread(ThreadProcedure procedure, int32_t parameter);

// The thread's handle while it runs; 0 once it has ended or if unknown.
HANDLE thread_running(int32_t number);

// Closes every kept handle and empties the list; the threads run on.
void close_thread_handles();

// Returns after at least `milliseconds`, with a 1 ms timer resolution
// asked for during the delay only.
void delay_ms(int32_t milliseconds);
