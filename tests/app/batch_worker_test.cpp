#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/batch_worker.h"
#include "app/converter_state.h"
#include "runtime/base/program_runner.h"
#include "runtime/base/string_variable.h"
#include "runtime/base/string_workspace.h"
#include "runtime/base/threads.h"
#include "runtime/gadgets/status_bar.h"
#include "tests/runtime/base/base_test_support.h"

namespace {

std::vector<std::string> g_counter_texts;
WNDPROC g_status_proc = nullptr;

// Sits on the status window and keeps every text that field 2 is given.
LRESULT CALLBACK record_counter(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == SB_SETTEXTA && (wparam & 0xFF) == 2 && lparam)
    g_counter_texts.push_back(reinterpret_cast<const char*>(lparam));
  return CallWindowProcA(g_status_proc, window, message, wparam, lparam);
}

class BatchWorkerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool initialised = false;
    if (initialised) return;
    initialised = true;
    status_bar_library_init();
    program_runner_init();
    init_thread_lock();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BatchWorkerTestWindow";
    RegisterClassA(&wc);
    // Hidden: nothing here needs to be seen.
    HWND window = CreateWindowExA(0, "BatchWorkerTestWindow", "batch", WS_CAPTION | WS_SYSMENU, 0, 0, 200, 200,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    create_status_bar(0, window);
    status_bar_add_field(VALUE_IGNORE);
    status_bar_add_field(75);
    status_bar_add_field(VALUE_IGNORE);
    HWND status = status_bar_lookup(0)->window;
    g_status_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(status, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record_counter)));
  }

  void SetUp() override {
    workspace_init();
    g_counter_texts.clear();
    converter_state.bitrate_kbit = 128;
    for (const char* program : {"amiga.exe", "suxx.exe"})
      CopyFileA((program_folder() + "standins\\" + program).c_str(), (work / program).c_str(), FALSE);
    here = new CurrentDirectory(work.path());
  }

  void TearDown() override { delete here; }

  void drop(const std::vector<std::string>& paths) {
    std::string list;
    for (size_t i = 0; i < paths.size(); i++) list += (i ? "\n" : "") + paths[i];
    string_set(&converter_state.dropped_paths, list.c_str());
  }

  static std::string job_list() { return converter_state.job_list ? converter_state.job_list : "<none>"; }

  static std::string field_2() {
    char text[256] = "";
    SendMessageA(status_bar_lookup(0)->window, SB_GETTEXTA, 2, reinterpret_cast<LPARAM>(text));
    return text;
  }

  // The files below a folder in the platform's listing order, depth first.
  static void walk(const std::string& folder, std::vector<std::string>* files) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      std::string name = entry.cFileName;
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files->push_back(folder + "\\" + name);
      else if (name != "." && name != "..") walk(folder + "\\" + name, files);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }

  static std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); i++) text += (i ? "\n" : "") + lines[i];
    return text;
  }

  TemporaryFolder work;
  TemporaryFolder music;
  CurrentDirectory* here = nullptr;
};

TEST_F(BatchWorkerTest, CounterShowsFilesFoundPlusOneWhileExpandingThenFilesDone) {
  music.write_file("a.mod", "a");
  music.write_file("b.xm", "b");
  music.write_file("c.s3m", "c");
  drop({music / "a.mod", music / "b.xm", music / "c.s3m"});
  run_batch();
  EXPECT_EQ(g_counter_texts, (std::vector<std::string>{"\t0/1", "\t0/2", "\t0/3", "\t1/3", "\t2/3", "\t3/3"}));
  EXPECT_EQ(job_list(), joined({music / "a.mod", music / "b.xm", music / "c.s3m"}));
  EXPECT_EQ(converter_state.job_total, 3);
  for (const char* mp3 : {"a.mp3", "b.mp3", "c.mp3"}) EXPECT_TRUE(exists(music / mp3)) << mp3;
  EXPECT_EQ(field_2(), "\t3/3");
}

TEST_F(BatchWorkerTest, FolderOfSubfoldersIsWalkedDepthFirstInListingOrder) {
  music.make_folder("root");
  music.make_folder("root\\a");
  music.make_folder("root\\b");
  music.make_folder("root\\b\\c");
  music.make_folder("root\\empty");
  music.write_file("root\\a\\x.mod", "x");
  music.write_file("root\\b\\y.mod", "y");
  music.write_file("root\\b\\c\\z.mod", "z");
  music.write_file("root\\b\\w.mod", "w");
  std::vector<std::string> expected;
  walk(music / "root", &expected);
  ASSERT_EQ(expected.size(), 4u);
  drop({music / "root"});
  expand_drop();
  EXPECT_EQ(job_list(), joined(expected));
  EXPECT_EQ(converter_state.job_total, 4);
  // While walking, each file found counts itself.
  EXPECT_EQ(g_counter_texts, (std::vector<std::string>{"\t0/1", "\t0/2", "\t0/3", "\t0/4", "\t0/5"}));
}

TEST_F(BatchWorkerTest, TrailingBackslashGivesTheSamePaths) {
  music.make_folder("tunes");
  music.write_file("tunes\\one.pt3", "1");
  drop({music / "tunes\\"});
  expand_drop();
  std::string with = job_list();
  drop({music / "tunes"});
  expand_drop();
  EXPECT_EQ(job_list(), with);
  EXPECT_EQ(with, music / "tunes\\one.pt3");
}

TEST_F(BatchWorkerTest, EmptyFileDroppedIsSkippedButFoundInAFolderIsConverted) {
  music.make_folder("folder");
  music.write_file("dropped_empty.mod", "");
  music.write_file("folder\\found_empty.mod", "");
  drop({music / "dropped_empty.mod", music / "folder"});
  run_batch();
  EXPECT_EQ(job_list(), music / "folder\\found_empty.mod");
  std::string calls = read_file(work / "calls.log");
  EXPECT_NE(calls.find("found_empty.mod"), std::string::npos);
  EXPECT_EQ(calls.find("dropped_empty.mod"), std::string::npos);
}

TEST_F(BatchWorkerTest, AllMissingDropConvertsNothingAndReadsZeroOfOne) {
  drop({music / "gone.mod", music / "also gone.xm"});
  run_batch();
  EXPECT_EQ(job_list(), "");
  EXPECT_EQ(converter_state.job_total, 1);
  EXPECT_FALSE(exists(work / "calls.log"));
  EXPECT_EQ(field_2(), "\t0/1");
}

TEST_F(BatchWorkerTest, EmptyLineEndsTheDrop) {
  music.write_file("first.mod", "1");
  music.write_file("after.mod", "2");
  string_set(&converter_state.dropped_paths, (music / "first.mod" + "\n\n" + music / "after.mod").c_str());
  expand_drop();
  EXPECT_EQ(job_list(), music / "first.mod");
}

TEST_F(BatchWorkerTest, DropTooLargeForMemoryEndsWithTheFilesFoundSoFar) {
  // Two hundred long names make a list of about 40 KB; a fixed heap of
  // 64 KB (Wine's least) holds its 32 KB stage but never the 64 KB one.
  music.make_folder("many");
  const std::string padding(150, 'x');
  for (int i = 0; i < 200; i++) music.write_file("many\\" + std::to_string(100 + i) + padding + ".mod", "m");
  std::vector<std::string> all;
  walk(music / "many", &all);
  ASSERT_EQ(all.size(), 200u);
  HANDLE small = HeapCreate(0, 0, 65536);
  ASSERT_NE(small, nullptr);
  set_job_list_heap(small);
  music.write_file("after.mod", "a");
  drop({music / "many", music / "after.mod"});
  expand_drop();
  set_job_list_heap(nullptr);
  HeapDestroy(small);

  const int32_t found = converter_state.job_total;
  EXPECT_GT(found, 1);
  EXPECT_LT(found, 200);
  // Whole paths, in listing order, and nothing of the drop after the folder.
  EXPECT_EQ(job_list(), joined(std::vector<std::string>(all.begin(), all.begin() + (found > 0 ? found : 0))));
  // The default heap again: the next drop lists everything.
  expand_drop();
  EXPECT_EQ(converter_state.job_total, 201);
}

TEST_F(BatchWorkerTest, DriveRootIsWalkedLikeAFolder) {
  music.make_folder("drive");
  music.write_file("drive\\root.mod", "r");
  // Every real drive is far too big to walk in a test; a letter mapped to
  // a small folder stands in, where the system can map one (Wine accepts
  // the call but its drive does not answer).
  bool mapped = DefineDosDeviceA(0, "Q:", (music / "drive").c_str()) && exists("Q:\\root.mod");
  if (!mapped) {
    DefineDosDeviceA(DDD_REMOVE_DEFINITION, "Q:", nullptr);
    GTEST_SKIP() << "no drive letter can be mapped to a folder here";
  }
  for (const char* root : {"Q:", "Q:\\"}) {
    drop({root});
    expand_drop();
    EXPECT_EQ(job_list(), "Q:\\root.mod") << root;
  }
  DefineDosDeviceA(DDD_REMOVE_DEFINITION, "Q:", nullptr);
}

TEST_F(BatchWorkerTest, WorkerThreadTakesTheDropThroughBusyAndClearsIt) {
  music.write_file("threaded.mod", "t");
  drop({music / "threaded.mod"});
  ASSERT_GT(start_thread(batch_worker, 2), 0);
  converter_state.busy.store(1, std::memory_order_release);
  DWORD start = GetTickCount();
  // The status bar's messages are served here while the worker waits.
  while (converter_state.busy.load(std::memory_order_acquire) && GetTickCount() - start < 30000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  EXPECT_EQ(converter_state.busy.load(), 0);
  EXPECT_TRUE(exists(music / "threaded.mp3"));
  EXPECT_EQ(field_2(), "\t1/1");
}

}  // namespace
