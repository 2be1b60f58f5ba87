// Drops made from outside the program: scripts/drag-files drags real files
// from a GTK window under X onto a shown runtime window, and Wine's X11
// driver delivers them to the drop target through OLE, as the shell's drags
// reach it on Windows. Skipped where no drag can be made (no GTK, no
// xdotool, no display).
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/base/string_workspace.h"
#include "runtime/dragdrop/drag_drop.h"
#include "runtime/dragdrop/drop_target.h"
#include "runtime/window/event_queue.h"
#include "runtime/window/event_state.h"
#include "runtime/gadgets/gadget_library.h"
#include "runtime/window/gadget_plumbing.h"
#include "runtime/window/window.h"
#include "tests/runtime/dragdrop/fake_data_object.h"

namespace {

// What a drag-files run reports (its exit status) and what reached us.
struct DragRun {
  int status = -1;  // -1: it never reported
  std::vector<int32_t> events;
  std::vector<std::string> lists;
  std::vector<int32_t> types;
  std::vector<int32_t> effects;
  std::vector<ObjectId> objects;
};

std::wstring unix_to_z(const std::string& unix_path) {
  std::wstring path = L"Z:" + wide_of(unix_path);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

class RealDropTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    event_queue_init();
    window_library_init();
    ASSERT_TRUE(SUCCEEDED(drag_drop_init()));
    gadget_library_init();

    folder_ = "/tmp/quarvo-drops-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryW(unix_to_z(folder_).c_str(), nullptr);
    DragRun check = drag({"--check"});
    if (check.status != 0) {
      skip_reason_ = check.status == 3 ? "no X display, GTK 3 (python3-gi, gir1.2-gtk-3.0) or xdotool here"
                                       : "scripts/drag-files could not be started";
      return;
    }

    // One shown window for every drop: destroying a shown window is slow
    // under Wine without a window manager.
    window_ = reinterpret_cast<HWND>(open_window(0, 300, 200, 420, 300, "real drops", 0));
    ASSERT_NE(window_, nullptr);
    enable_window_drop(0, DROP_TYPE_FILES, 7);
    list_ = CreateWindowExA(WS_EX_CLIENTEDGE, "ListBox", "", WS_CHILD | WS_VISIBLE | LBS_NOTIFY, 240, 10, 170, 200,
                            window_, nullptr, GetModuleHandleA(nullptr), nullptr);
    for (const char* item : {"first", "second", "third", "fourth"})
      SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    static GadgetType list_box_type = {6, sizeof(GadgetType), nullptr, nullptr, nullptr, nullptr};
    attach_gadget(4, static_cast<Gadget*>(registry_allocate(gadget_registry(), 4)), list_, &list_box_type);
    enable_gadget_drop(4, DROP_TYPE_FILES, 7);
    UpdateWindow(window_);
  }

  static void TearDownTestSuite() {
    close_all_windows();
    for (auto it = made_.rbegin(); it != made_.rend(); ++it)
      if (!DeleteFileW(it->c_str())) RemoveDirectoryW(it->c_str());
    RemoveDirectoryW(unix_to_z(folder_).c_str());
  }

  void SetUp() override {
    if (!skip_reason_.empty()) GTEST_SKIP() << skip_reason_;
  }

  // A file or folder made under the drop folder; returns its Unix path.
  static std::string make(const std::string& name, bool folder = false) {
    std::string path = folder_ + "/" + name;
    std::wstring z = unix_to_z(path);
    made_.push_back(z);
    if (folder) {
      CreateDirectoryW(z.c_str(), nullptr);
    } else {
      HANDLE file = CreateFileW(z.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      DWORD written;
      WriteFile(file, "tune", 4, &written, nullptr);
      CloseHandle(file);
    }
    return path;
  }

  // The path as the program sees a dropped one: Wine names Unix files by
  // the drive that maps the root.
  static std::string dropped_name(const std::string& unix_path) {
    std::wstring z = unix_to_z(unix_path);
    int n = WideCharToMultiByte(CP_ACP, 0, z.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(n - 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, z.c_str(), -1, &ansi[0], n, nullptr, nullptr);
    return ansi;
  }

  static POINT screen_of(HWND window, POINT client) {
    ClientToScreen(window, &client);
    return client;
  }

  // Runs scripts/drag-files with these arguments and serves this thread's
  // messages meanwhile: OLE calls the drop target from inside the message
  // retrieval. Wine starts the Unix program through CreateProcess but gives
  // no handle to wait on, so the script reports through a status file.
  static DragRun drag(std::vector<std::string> args) {
    static int runs = 0;
    const std::string status = folder_ + ".status" + std::to_string(++runs);
    std::wstring command = L"Z:\\usr\\bin\\python3 \"" + wide_of(QUARVO_SOURCE_DIR "/scripts/drag-files") +
                           L"\" --status \"" + wide_of(status) + L"\"";
    for (const std::string& arg : args) command += L" \"" + wide_of(arg) + L"\"";
    DragRun run;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return run;
    const std::wstring status_file = unix_to_z(status);
    DWORD started = GetTickCount(), reported = 0;
    while (GetTickCount() - started < 40000) {
      int32_t code = wait_window_event_timeout(20);
      if (code == EVENT_WINDOW_DROP || code == EVENT_GADGET_DROP) {
        run.events.push_back(code);
        run.types.push_back(event_drop_type());
        run.effects.push_back(event_state()->drop_payload ? event_state()->drop_payload->effect : 0);
        run.objects.push_back(event_object());
        int32_t p = workspace_position();
        run.lists.push_back(event_drop_files(p));
        workspace_truncate(p);
      }
      if (!reported) {
        FILE* f = _wfopen(status_file.c_str(), L"r");
        if (f) {
          if (fscanf(f, "%d", &run.status) == 1) reported = GetTickCount();
          fclose(f);
          DeleteFileW(status_file.c_str());
        }
      } else if (GetTickCount() - reported > 300) {
        break;  // time enough for the posted event to arrive
      }
    }
    return run;
  }

  // QUARVO_DRAG_SCREENSHOT names a PNG file (a Unix path) to take of the
  // screen while the pointer is over the target, to look at a drag.
  static DragRun drag_to(POINT target, const std::vector<std::string>& paths) {
    std::vector<std::string> args = {"--to", std::to_string(target.x) + "," + std::to_string(target.y)};
    char shot[MAX_PATH];
    if (GetEnvironmentVariableA("QUARVO_DRAG_SCREENSHOT", shot, sizeof shot)) {
      args.push_back("--screenshot");
      args.push_back(shot);
    }
    args.insert(args.end(), paths.begin(), paths.end());
    return drag(args);
  }

  static std::string folder_;
  static std::vector<std::wstring> made_;
  static std::string skip_reason_;
  static HWND window_;
  static HWND list_;
};

std::string RealDropTest::folder_;
std::vector<std::wstring> RealDropTest::made_;
std::string RealDropTest::skip_reason_;
HWND RealDropTest::window_ = nullptr;
HWND RealDropTest::list_ = nullptr;

TEST_F(RealDropTest, FilesAndFoldersDroppedOnTheWindowArriveAsOneDropList) {
  const std::vector<std::string> paths = {make("a.mod"), make("трек номер 2.xm"), make("папка", true),
                                          make("last one.s3m")};
  std::string expected;
  for (const std::string& path : paths) expected += (expected.empty() ? "" : "\n") + dropped_name(path);

  // Several drops in a row, each one event with the whole list.
  int delivered = 0;
  const int attempts = 3;
  for (int i = 0; i < attempts; i++) {
    DragRun run = drag_to(screen_of(window_, {100 + 10 * i, 150}), paths);
    EXPECT_EQ(run.status, 0) << "drag-files reports the drop as taken";
    ASSERT_LE(run.events.size(), 1u);
    if (run.events.empty()) continue;
    delivered++;
    EXPECT_EQ(run.events[0], EVENT_WINDOW_DROP);
    EXPECT_EQ(run.types[0], DROP_TYPE_FILES);
    EXPECT_EQ(run.effects[0], DROPEFFECT_COPY);
    EXPECT_EQ(run.lists[0], expected);
  }
  std::printf("real drops on the window: %d of %d delivered\n", delivered, attempts);
  EXPECT_EQ(delivered, attempts);
}

TEST_F(RealDropTest, TextDraggedOntoTheWindowIsRefused) {
  DragRun run = drag({"--to", std::to_string(screen_of(window_, {100, 200}).x) + "," +
                                  std::to_string(screen_of(window_, {100, 200}).y),
                      "--text", "just words"});
  EXPECT_EQ(run.status, 1) << "the source learns that nothing took it";
  EXPECT_TRUE(run.events.empty());
}

TEST_F(RealDropTest, FilesDroppedOnAListBoxGadgetSelectTheItemUnderTheCursor) {
  RECT item;
  SendMessageA(list_, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
  POINT target = screen_of(list_, {(item.left + item.right) / 2, (item.top + item.bottom) / 2});
  const std::string path = make("for the list.mod");
  DragRun run = drag_to(target, {path});
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.events.size(), 1u);
  EXPECT_EQ(run.events[0], EVENT_GADGET_DROP);
  EXPECT_EQ(run.objects[0], 4);
  EXPECT_EQ(run.lists[0], dropped_name(path));
  EXPECT_EQ(SendMessageA(list_, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(drop_target_of(list_)->highlighted_item, -1);
}

}  // namespace
