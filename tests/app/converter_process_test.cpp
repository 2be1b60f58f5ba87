// The converter as its users meet it: quarvo.exe started as a process in a
// folder with stand-in renderer and encoder, files dropped on its window by
// a real drag (DoDragDrop here, the mouse moved with SendInput), the status
// bar clicked, the window closed. Everything is read from outside the
// process: the status texts through SB_GETTEXTW into memory of the
// converter's own and the captions as UTF-16, so that they read the same
// whatever this program's code page; the results from the disk. Run under
// the Russian locale (code page 1251) and, for its texts, the English one
// (1252): QUARVO_LOCALE names it.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/runtime/base/base_test_support.h"

namespace {

// In UTF-8, as the texts are compared.
const char IDLE_TEXT[] = "Тащи сюда!";
const char REQUESTER_TITLE[] = "Укажи желаемый битрейт mp3";

std::string utf8_from_wide(const WCHAR* wide) {
  int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(length > 0 ? length - 1 : 0, '\0');
  if (length > 1) WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], length, nullptr, nullptr);
  return utf8;
}

// A data object that offers a list of files as CF_HDROP, as the shell's does.
class FileList : public IDataObject {
 public:
  explicit FileList(const std::vector<std::string>& paths) : paths_(paths) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDataObject) {
      *out = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& p : paths_) size += p.size() + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* files = static_cast<DROPFILES*>(GlobalLock(block));
    files->pFiles = sizeof(DROPFILES);
    char* at = reinterpret_cast<char*>(files + 1);
    for (const std::string& p : paths_) {
      memcpy(at, p.c_str(), p.size() + 1);
      at += p.size() + 1;
    }
    GlobalUnlock(block);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC offered = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return SHCreateStdEnumFmtEtc(1, &offered, out);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  std::vector<std::string> paths_;
  std::atomic<ULONG> refs_{1};
};

class ButtonDrag : public IDropSource {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDropSource) {
      *out = static_cast<IDropSource*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape) return DRAGDROP_S_CANCEL;
    // Wine hands over the key state of the source's message queue, in
    // which no button press has arrived: the button itself decides.
    (void)keys;
    return GetAsyncKeyState(VK_LBUTTON) & 0x8000 ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

void mouse(DWORD flags) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof in);
}

// Moves the pointer as a mouse would, through the input queue.
void move_to(POINT p) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dx = static_cast<LONG>(p.x * 65535LL / (GetSystemMetrics(SM_CXSCREEN) - 1));
  in.mi.dy = static_cast<LONG>(p.y * 65535LL / (GetSystemMetrics(SM_CYSCREEN) - 1));
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof in);
}

void key(WORD vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof in);
}

struct WindowSearch {
  DWORD process;
  const char* title;
  HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  WCHAR title[128] = {};
  GetWindowTextW(window, title, 128);
  if (owner == search->process && utf8_from_wide(title) == search->title && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

class ConverterProcessTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OleInitialize(nullptr); }

  // Programs the converter started and left running when it ended (closing
  // during a batch lets them run on, as the user expects). They would hold
  // the test's output open and outlive it, so the test ends them.
  void end_leftover_programs() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
      if (entry.th32ParentProcessID != process_.dwProcessId) continue;
      HANDLE child = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
      if (!child) continue;
      TerminateProcess(child, 1);
      WaitForSingleObject(child, 5000);
      CloseHandle(child);
    }
    CloseHandle(snapshot);
  }

  void TearDown() override {
    if (process_.hProcess) end_leftover_programs();
    if (process_.hProcess) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        PostMessageA(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 10000) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 1);
      }
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    SetEnvironmentVariableA("QUARVO_STANDIN", nullptr);
  }

  // Starts the converter in the work folder, with the stand-ins beside it.
  void start(const char* standin_mode = nullptr) {
    ASSERT_TRUE(CopyFileA((program_folder() + "quarvo.exe").c_str(), (work_ / "quarvo.exe").c_str(), FALSE));
    for (const char* program : {"amiga.exe", "suxx.exe"})
      ASSERT_TRUE(CopyFileA((program_folder() + "standins\\" + program).c_str(), (work_ / program).c_str(), FALSE));
    SetEnvironmentVariableA("QUARVO_STANDIN", standin_mode);
    std::string command = "\"" + (work_ / "quarvo.exe") + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, work_.path().c_str(),
                               &startup, &process_));
    window_ = find_window(" quarvo converter", 15000);
    ASSERT_NE(window_, nullptr) << "the converter's window did not appear";
    // The window shows before its status bar is made.
    for (int waited = 0; waited < 5000 && !status_; waited += 20) {
      status_ = FindWindowExA(window_, nullptr, STATUSCLASSNAMEA, nullptr);
      if (!status_) Sleep(20);
    }
    ASSERT_NE(status_, nullptr);
    // The idle text comes from the busy indicator, which starts after the
    // window was made a drop target: from then on the window takes drops.
    wait_for_field(1, IDLE_TEXT, 20000);
  }

  HWND find_window(const char* title, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
      WindowSearch search = {process_.dwProcessId, title, nullptr};
      EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
      if (search.found) return search.found;
      Sleep(20);
    }
    return nullptr;
  }

  // A status field's text as the converter's status window holds it, in
  // UTF-8.
  std::string field(int part) {
    void* remote = VirtualAllocEx(process_.hProcess, nullptr, 2048, MEM_COMMIT, PAGE_READWRITE);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(status_, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 3000,
                        &result);
    WCHAR text[1024] = {};
    ReadProcessMemory(process_.hProcess, remote, text, sizeof text - sizeof(WCHAR), nullptr);
    VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
    // A leading tab is how a status bar is told to centre its text.
    const WCHAR* shown = text;
    while (*shown == L'\t') shown++;
    return utf8_from_wide(shown);
  }

  bool wait_for_field(int part, const std::string& expected, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
      if (field(part) == expected) return true;
      Sleep(20);
    }
    return false;
  }

  POINT screen_point(HWND window, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(window, &p);
    return p;
  }

  // Drags `paths` from the desktop onto the window's logo area and lets go.
  DWORD drag_onto_window(const std::vector<std::string>& paths) {
    RECT client;
    GetClientRect(window_, &client);
    POINT target = screen_point(window_, client.right / 2, 40);
    POINT from = {target.x - 150 > 5 ? target.x - 150 : 5, target.y};
    move_to(from);
    Sleep(50);
    mouse(MOUSEEVENTF_LEFTDOWN);
    // The press travels through the X server; a drag started before it
    // arrives would see no button and drop on the spot.
    for (int waited = 0; waited < 1000 && !(GetAsyncKeyState(VK_LBUTTON) & 0x8000); waited += 10) Sleep(10);
    std::thread mover([&] {
      Sleep(150);
      for (int step = 1; step <= 10; step++) {
        move_to({from.x + (target.x - from.x) * step / 10, target.y});
        Sleep(20);
      }
      Sleep(100);
      mouse(MOUSEEVENTF_LEFTUP);
    });
    FileList data(paths);
    ButtonDrag source;
    DWORD effect = 0;
    DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    mover.join();
    for (int waited = 0; waited < 1000 && (GetAsyncKeyState(VK_LBUTTON) & 0x8000); waited += 10) Sleep(10);
    return effect;
  }

  // Clicks the status bar, types `entry` into the requester and confirms.
  std::string enter_bitrate(const std::string& entry) {
    RECT bar;
    GetClientRect(status_, &bar);
    POINT at = screen_point(status_, bar.right / 6, bar.bottom / 2);
    SetCursorPos(at.x, at.y);
    mouse(MOUSEEVENTF_LEFTDOWN);
    mouse(MOUSEEVENTF_LEFTUP);
    HWND requester = find_window(REQUESTER_TITLE, 5000);
    if (!requester) return "no requester after the click";
    HWND edit = nullptr;
    for (int waited = 0; waited < 3000 && !edit; waited += 20) {
      edit = FindWindowExA(requester, nullptr, "Edit", nullptr);
      if (!edit) Sleep(20);
    }
    if (!edit) return "no edit field";
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    SetForegroundWindow(requester);
    key(VK_RETURN, false);
    key(VK_RETURN, true);
    for (int waited = 0; waited < 8000 && IsWindow(requester); waited += 20) Sleep(20);
    return IsWindow(requester) ? "the requester stayed open" : "";
  }

  DWORD close_and_wait() {
    PostMessageA(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 15000) != WAIT_OBJECT_0) return 0xDEAD;
    DWORD code = 0xBAD;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  TemporaryFolder work_;
  TemporaryFolder music_;
  PROCESS_INFORMATION process_ = {};
  HWND window_ = nullptr;
  HWND status_ = nullptr;
};

// The locale the run was started with is the one this program sees: the
// converter's texts must come out right under both.
TEST(ConverterLocale, RunsUnderTheCodePageOfItsLocale) {
  char locale[64] = "";
  GetEnvironmentVariableA("QUARVO_LOCALE", locale, sizeof locale);
  EXPECT_EQ(GetACP(), strncmp(locale, "en_US", 5) == 0 ? 1252u : 1251u) << "QUARVO_LOCALE=" << locale;
}

TEST_F(ConverterProcessTest, StartsIdleWithItsTextsAndEndsWithExitCodeZero) {
  DWORD started = GetTickCount();
  start();
  EXPECT_EQ(field(0), "128 kbit");
  EXPECT_EQ(field(2), "0/0");
  EXPECT_TRUE(wait_for_field(1, IDLE_TEXT, 12000));
  (void)started;
  RECT client;
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 168);
  EXPECT_EQ(client.bottom, 156);
  // The renderer's leftover goes when the window is closed.
  work_.write_file("Ay_Emul.ayl", "left by a renderer");
  EXPECT_EQ(close_and_wait(), 0u);
  EXPECT_FALSE(exists(work_ / "Ay_Emul.ayl"));
}

TEST_F(ConverterProcessTest, ADropOfFilesAndFoldersConvertsEveryFile) {
  music_.make_folder("album");
  music_.make_folder("album\\disc 2");
  music_.write_file("single.mod", "m");
  music_.write_file("album\\one.pt3", "1");
  music_.write_file("album\\disc 2\\two.stc", "2");
  music_.write_file("empty.ay", "");  // dropped itself with size 0: not a job
  start();
  DWORD effect = drag_onto_window({music_ / "single.mod", music_ / "empty.ay", music_ / "album"});
  EXPECT_NE(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_TRUE(wait_for_field(2, "3/3", 60000)) << "field 2 reads " << field(2);
  EXPECT_TRUE(wait_for_field(1, IDLE_TEXT, 20000));
  for (const char* mp3 : {"single.mp3", "album\\one.mp3", "album\\disc 2\\two.mp3"})
    EXPECT_TRUE(exists(music_ / mp3)) << mp3;
  EXPECT_FALSE(exists(music_ / "empty.mp3"));
  EXPECT_FALSE(exists(work_ / "one.wav"));
  // The stand-in encoder was called at the start rate.
  EXPECT_NE(read_file(music_ / "single.mp3").find("MP3 at 128"), std::string::npos);
  EXPECT_EQ(close_and_wait(), 0u);
}

TEST_F(ConverterProcessTest, ASecondDropWhileBusyIsIgnoredAndOneAfterIsTaken) {
  for (int i = 0; i < 4; i++) music_.write_file("slow" + std::to_string(i) + ".mod", "s");
  music_.write_file("late.mod", "l");
  start("slow");
  drag_onto_window({music_ / "slow0.mod", music_ / "slow1.mod", music_ / "slow2.mod", music_ / "slow3.mod"});
  Sleep(300);
  drag_onto_window({music_ / "late.mod"});
  EXPECT_TRUE(wait_for_field(2, "4/4", 80000)) << "field 2 reads " << field(2);
  EXPECT_TRUE(wait_for_field(1, IDLE_TEXT, 20000));
  EXPECT_FALSE(exists(music_ / "late.mp3"));
  drag_onto_window({music_ / "late.mod"});
  EXPECT_TRUE(wait_for_field(2, "1/1", 40000)) << "field 2 reads " << field(2);
  for (int waited = 0; waited < 20000 && !exists(music_ / "late.mp3"); waited += 50) Sleep(50);
  EXPECT_TRUE(exists(music_ / "late.mp3"));
  EXPECT_EQ(close_and_wait(), 0u);
}

TEST_F(ConverterProcessTest, AClickOnTheStatusBarAsksForTheBitRate) {
  music_.write_file("tune.mod", "t");
  start();
  struct Case {
    const char* entry;
    const char* shown;
  };
  const Case cases[] = {{"320", "320 kbit"}, {"321", "128 kbit"}, {"56", "56 kbit"},   {"55", "128 kbit"},
                        {"192abc", "192 kbit"}, {"", "128 kbit"}, {"$c0", "192 kbit"}};
  for (const Case& c : cases) {
    ASSERT_EQ(enter_bitrate(c.entry), "") << "for " << c.entry;
    EXPECT_TRUE(wait_for_field(0, c.shown, 12000)) << c.entry << " shows " << field(0);
  }
  // The rate last accepted is the one the encoder gets.
  drag_onto_window({music_ / "tune.mod"});
  EXPECT_TRUE(wait_for_field(2, "1/1", 40000));
  for (int waited = 0; waited < 20000 && !exists(music_ / "tune.mp3"); waited += 50) Sleep(50);
  EXPECT_NE(read_file(music_ / "tune.mp3").find("MP3 at 192"), std::string::npos);
  EXPECT_EQ(close_and_wait(), 0u);
}

TEST_F(ConverterProcessTest, ClosingDuringABatchEndsTheProcessWithExitCodeZero) {
  for (int i = 0; i < 6; i++) music_.write_file("long" + std::to_string(i) + ".mod", "l");
  start("slow");
  std::vector<std::string> all;
  for (int i = 0; i < 6; i++) all.push_back(music_ / ("long" + std::to_string(i) + ".mod"));
  drag_onto_window(all);
  // Converting: "d/6" with d from 1 on.
  bool converting = false;
  for (int waited = 0; waited < 20000 && !converting; waited += 20) {
    std::string counter = field(2);
    converting = counter.size() > 2 && counter.substr(counter.size() - 2) == "/6" && counter[0] != '0';
    if (!converting) Sleep(20);
  }
  ASSERT_TRUE(converting) << "field 2 reads " << field(2);
  EXPECT_EQ(close_and_wait(), 0u);
}

}  // namespace
