// The converter's main thread: start-up, the window with its status bar,
// the two worker threads, the event loop and the shutdown.
#pragma once

#include <cstdint>

// The process entry point; never returns.
[[noreturn]] void converter_main();

// The busy indicator's thread procedure: every 50 ms the idle text or the
// next step of the progress sweep in status field 1. Never returns.
void busy_indicator(int32_t parameter);

// The library shutdowns in their fixed order, before the heap goes.
void shutdown_runtime();

// What the event loop does with one event; false when the loop ends.
bool handle_converter_event(int32_t code);
