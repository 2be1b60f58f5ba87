// How fast the batch worker expands a dropped folder into its job list,
// with the status bar counting every file as the converter shows it: the
// expansion runs on a worker thread while this thread serves the window.
// Prints files per second for trees of 5,000 and 50,000 files; the two
// rates should agree within a factor of two (linear expansion).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "app/batch_worker.h"
#include "app/converter_state.h"
#include "runtime/base/string_variable.h"
#include "runtime/base/string_workspace.h"
#include "runtime/base/threads.h"
#include "runtime/gadgets/status_bar.h"
#include "runtime/window/runtime_heap.h"

static std::string make_tree(const std::string& root, int files) {
  CreateDirectoryA(root.c_str(), nullptr);
  for (int i = 0; i < files; i++) {
    std::string folder = root + "\\folder " + std::to_string(i / 500);
    if (i % 500 == 0) CreateDirectoryA(folder.c_str(), nullptr);
    std::string path = folder + "\\tune number " + std::to_string(i) + ".pt3";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put;
    WriteFile(file, "x", 1, &put, nullptr);
    CloseHandle(file);
  }
  return root;
}

static void remove_tree(const std::string& root) {
  std::string from = root + '\0';
  SHFILEOPSTRUCTA operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  SHFileOperationA(&operation);
}

static volatile LONG g_expanded = 0;

static void expand_on_worker(int32_t) {
  workspace_init();
  expand_drop();
  InterlockedExchange(&g_expanded, 1);
}

static double expand_seconds(const std::string& root) {
  string_set(&converter_state.dropped_paths, root.c_str());
  InterlockedExchange(&g_expanded, 0);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  start_thread(expand_on_worker, 0);
  while (!g_expanded) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  QueryPerformanceCounter(&end);
  return static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
}

int main() {
  runtime_heap_create();
  workspace_init();
  init_thread_lock();
  status_bar_library_init();
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "BatchExpansionBench";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "bench", WS_CAPTION | WS_SYSMENU, 0, 0, 200, 200, nullptr,
                                nullptr, wc.hInstance, nullptr);
  create_status_bar(0, window);
  status_bar_add_field(VALUE_IGNORE);
  status_bar_add_field(75);
  status_bar_add_field(VALUE_IGNORE);

  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  double rates[2];
  const int sizes[2] = {5000, 50000};
  for (int i = 0; i < 2; i++) {
    std::string root = make_tree(std::string(temp) + "quarvo_bench_" + std::to_string(sizes[i]), sizes[i]);
    double seconds = expand_seconds(root);
    rates[i] = sizes[i] / seconds;
    printf("%6d files: job_total %d, %.3f s, %.0f files/s\n", sizes[i], converter_state.job_total, seconds, rates[i]);
    remove_tree(root);
  }
  double ratio = rates[0] > rates[1] ? rates[0] / rates[1] : rates[1] / rates[0];
  printf("rate ratio %.2f (linear when below 2)\n", ratio);
  return ratio < 2.0 ? 0 : 1;
}
