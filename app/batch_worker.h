// The batch worker: waits for an accepted drop (converter_state.busy),
// expands its folders into one list of files, then converts them one after
// another, counting in field 2 of status bar 0.
#pragma once

#include <windows.h>

#include <cstdint>

// The thread procedure: polls every 50 ms, runs a batch when busy is set,
// clears busy after it. Never returns.
void batch_worker(int32_t parameter);

// One batch on the calling thread: expand converter_state.dropped_paths
// into job_list and job_total, then convert every file.
void run_batch();

// The expansion alone, and the conversion loop alone.
void expand_drop();
void convert_jobs();

// Appends the files below `directory` (depth first) to the list being
// built, walking it under listing number `listing` and deeper ones below.
void collect_directory_files(const char* directory, int32_t listing);

// The heap the job list grows on, string_heap() until set; null sets that
// back. The list built so far is freed first. When the heap cannot grow the
// list, the expansion ends with the files found until then. Tests give a
// small fixed-size heap here to see a drop outgrow memory.
void set_job_list_heap(HANDLE heap);
