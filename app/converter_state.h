// The converter's one global record, shared by the GUI thread, the busy
// indicator and the batch worker.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "runtime/base/string_variable.h"

struct ConverterState {
  HANDLE runtime_heap;
  HINSTANCE instance;
  // 0 idle, 1 a batch is pending or running. The GUI thread stores
  // dropped_paths, then sets busy (release); the worker reads busy
  // (acquire), then dropped_paths, and alone clears it.
  std::atomic<int32_t> busy;
  RuntimeString job_list;      // the batch's files joined by "\n"
  int32_t job_total;
  std::atomic<int32_t> bitrate_kbit;  // 56..320, read when an encoder starts
  RuntimeString dropped_paths;  // the DropList of the last accepted drop
  int32_t event_code;
};

extern ConverterState converter_state;
