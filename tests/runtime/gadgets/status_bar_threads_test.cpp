// The busy indicator and the batch worker set fields from their own threads
// while the GUI thread serves the window.
#include "tests/runtime/gadgets/status_bar_fixture.h"

namespace {

struct FieldWriter {
  int field;
  int rounds;
  bool progress;
  volatile LONG done;
};

DWORD WINAPI write_field(void* parameter) {
  auto* writer = static_cast<FieldWriter*>(parameter);
  for (int i = 1; i <= writer->rounds; i++) {
    if (writer->progress) {
      status_bar_set_progress(0, writer->field, i % 101);
    } else {
      char text[32];
      wsprintfA(text, "%d/%d", i, writer->rounds);
      status_bar_set_text(0, writer->field, text, FIELD_ALIGN_CENTRE);
    }
  }
  InterlockedExchange(&writer->done, 1);
  return 0;
}

void serve_until_done(FieldWriter* a, FieldWriter* b) {
  DWORD start = GetTickCount();
  while (!(a->done && b->done) && GetTickCount() - start < 60000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    StatusBarTest::pump();
  }
}

TEST_F(StatusBarTest, WorkerThreadsSetTextsAndProgressWhileTheGuiThreadServes) {
  StatusBar* bar = make_converter_bar(0, make_parent(168, 156));
  FieldWriter counter = {2, 500, false, 0};
  FieldWriter busy = {1, 500, true, 0};
  HANDLE threads[2] = {CreateThread(nullptr, 0, write_field, &counter, 0, nullptr),
                       CreateThread(nullptr, 0, write_field, &busy, 0, nullptr)};
  serve_until_done(&counter, &busy);
  WaitForMultipleObjects(2, threads, TRUE, 10000);
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  ASSERT_TRUE(counter.done && busy.done);
  EXPECT_EQ(text_of(bar->window, 2), "\t500/500");
  EXPECT_EQ(bar->fields[1].value, 500 % 101);
}

TEST_F(StatusBarTest, ProgressControlShownFromAWorkerBelongsToTheGuiThread) {
  status_bar_override_probe(0x60000, 1);
  StatusBar* bar = make_converter_bar(0, make_parent(168, 156));
  FieldWriter busy = {1, 50, true, 0};
  FieldWriter none = {0, 0, true, 1};
  HANDLE thread = CreateThread(nullptr, 0, write_field, &busy, 0, nullptr);
  serve_until_done(&busy, &none);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  HWND control = bar->fields[1].progress_control;
  ASSERT_NE(control, nullptr);
  // A control of a thread that never reads messages would neither paint
  // nor go with its parent.
  EXPECT_EQ(GetWindowThreadProcessId(control, nullptr), GetCurrentThreadId());
  EXPECT_EQ(SendMessageA(control, PBM_GETPOS, 0, 0), 50);
}

}  // namespace
