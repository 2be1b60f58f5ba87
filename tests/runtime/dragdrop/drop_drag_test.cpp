#include "tests/runtime/dragdrop/drop_fixture.h"

#include <shellapi.h>

#include <cstring>

namespace {

class DropDragTest : public DropTest {
 protected:
  void SetUp() override {
    DropTest::SetUp();
    enable_window_drop(0, DROP_TYPE_FILES, 7);
    ASSERT_NE(drop_target_of(window), nullptr);
  }

  // Drops these paths and returns the DropList the event carries.
  std::string list_of_drop(const std::vector<std::string>& paths, bool wide = false) {
    FakeDataObject data;
    data.offer_files(paths, wide);
    EXPECT_EQ(drag_and_drop(&data), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(next_event(), EVENT_WINDOW_DROP);
    EXPECT_EQ(event_drop_type(), DROP_TYPE_FILES);
    return drop_list();
  }

  static std::string joined(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& path : paths) list += (list.empty() ? "" : "\n") + ansi_of(path);
    return list;
  }
};

TEST_F(DropDragTest, DroppedFilesBecomeOneEventWithTheirList) {
  FakeDataObject data;
  data.offer_files({"C:\\tunes\\a.mod", "C:\\tunes\\b.xm", "C:\\tunes\\c.s3m"});
  EXPECT_EQ(enter(&data, MK_LBUTTON, 7, 30, 40), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(over(MK_LBUTTON, 7, 31, 41), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(drop(&data, MK_LBUTTON, 7, 32, 42), static_cast<DWORD>(DROPEFFECT_COPY));

  EXPECT_EQ(next_event(), EVENT_WINDOW_DROP);
  EXPECT_EQ(event_window(), 0);
  ASSERT_NE(payload(), nullptr);
  EXPECT_EQ(payload()->type, DROP_TYPE_FILES);
  EXPECT_EQ(payload()->private_key, 0);
  EXPECT_EQ(payload()->effect, DROPEFFECT_COPY);
  EXPECT_EQ(payload()->x, 32);
  EXPECT_EQ(payload()->y, 42);
  EXPECT_EQ(payload()->size, static_cast<int32_t>(drop_files_block({"C:\\tunes\\a.mod", "C:\\tunes\\b.xm",
                                                                     "C:\\tunes\\c.s3m"}, false).size()));
  EXPECT_EQ(event_drop_type(), DROP_TYPE_FILES);
  EXPECT_EQ(drop_list(), "C:\\tunes\\a.mod\nC:\\tunes\\b.xm\nC:\\tunes\\c.s3m");
  // Asked twice, the same list.
  EXPECT_EQ(drop_list(), "C:\\tunes\\a.mod\nC:\\tunes\\b.xm\nC:\\tunes\\c.s3m");
  EXPECT_EQ(next_event(), 0) << "one drop, one event";
}

TEST_F(DropDragTest, ListsKeepPathsInTheirOrderWithoutATrailingLineFeed) {
  EXPECT_EQ(list_of_drop({"a", "b", "c"}), "a\nb\nc");
  EXPECT_EQ(list_of_drop({"C:\\tunes\\one.mod"}), "C:\\tunes\\one.mod");
  EXPECT_EQ(list_of_drop({"C:\\tunes\\folder"}), "C:\\tunes\\folder");
  EXPECT_EQ(list_of_drop({"C:\\tunes\\", "D:\\"}), "C:\\tunes\\\nD:\\");
  EXPECT_EQ(list_of_drop({"a", "b", "c"}, true), "a\nb\nc");
  EXPECT_EQ(list_of_drop({}), "");
  EXPECT_EQ(list_of_drop({}, true), "");
}

TEST_F(DropDragTest, CyrillicNamesArriveInTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 1251u) << "the tests run with the Russian locale";
  const std::vector<std::string> paths = {"C:\\Музыка\\Чиптюн — ёлка.mod", "Z:\\tmp\\Папка с треками",
                                          "C:\\ascii.xm"};
  const std::string expected = joined(paths);
  EXPECT_EQ(expected.substr(0, 9), "C:\\\xCC\xF3\xE7\xFB\xEA\xE0") << "cp1251 bytes";
  EXPECT_EQ(list_of_drop(paths), expected);
  EXPECT_EQ(list_of_drop(paths, true), expected) << "a wide list is converted";

}

TEST_F(DropDragTest, WidePathsTheCodePageCannotHoldArePassedOverNeverBestFitted) {
  ASSERT_EQ(GetACP(), 1251u) << "the tests run with the Russian locale";
  // Best fit would make "Über.mod" the other file "Uber.mod", and "?" of
  // what has no look-alike; such paths are left out as files not there,
  // those beyond the 16-bit range (two wide characters each) included, and
  // the paths around them are all there.
  EXPECT_EQ(list_of_drop({"C:\\Über.mod", "C:\\Uber.mod", "C:\\♫ 日本 🎵 tune.mod", "C:\\Привет.xm",
                          "C:\\next 🎶🎶.xm", "C:\\last.s3m"}, true),
            joined({"C:\\Uber.mod", "C:\\Привет.xm", "C:\\last.s3m"}));
  EXPECT_EQ(list_of_drop({"C:\\a.mod", "C:\\日本.mod"}, true), "C:\\a.mod") << "no line feed left last";
  EXPECT_EQ(list_of_drop({"C:\\日本.mod", "C:\\b.mod"}, true), "C:\\b.mod") << "none left first";
  EXPECT_EQ(list_of_drop({"C:\\日本.mod"}, true), "");
}

TEST_F(DropDragTest, ManyFilesAndPathsBeyondMaxPath) {
  std::vector<std::string> many;
  for (int i = 0; i < 3000; i++) many.push_back("C:\\tunes\\folder " + std::to_string(i / 100) + "\\трек" +
                                                std::to_string(i) + ".mod");
  EXPECT_EQ(list_of_drop(many), joined(many));
  EXPECT_EQ(list_of_drop(many, true), joined(many));

  std::string deep = "C:";
  while (deep.size() < 1200) deep += "\\вложенная папка";
  const std::vector<std::string> long_ones = {deep + "\\a.mod", "C:\\short", deep};
  EXPECT_GT(ansi_of(long_ones[0]).size(), static_cast<size_t>(MAX_PATH));
  EXPECT_EQ(list_of_drop(long_ones), joined(long_ones));
  EXPECT_EQ(list_of_drop(long_ones, true), joined(long_ones));
}

// The list DragQueryFileA reads from the same block, one path at a time.
std::string platform_list(const std::vector<BYTE>& block) {
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, block.size());
  std::memcpy(GlobalLock(handle), block.data(), block.size());
  GlobalUnlock(handle);
  auto drop = static_cast<HDROP>(handle);
  std::string list;
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; i++) {
    std::string path(DragQueryFileA(drop, i, nullptr, 0) + 1, '\0');
    path.resize(DragQueryFileA(drop, i, &path[0], static_cast<UINT>(path.size())));
    list += (i ? "\n" : "") + path;
  }
  GlobalFree(handle);
  return list;
}

// Names the code page holds: DragQueryFileA best-fits the others, which
// the runtime passes over instead.
TEST_F(DropDragTest, ListsReadAsTheShellReadsThem) {
  const std::vector<std::vector<std::string>> lists = {
      {"C:\\one.mod"},
      {"C:\\Музыка\\ёлка.mod", "D:\\", "Z:\\tmp\\папка"},
      {std::string(700, 'x'), "C:\\short", std::string(300, 'y')},
  };
  for (bool wide : {false, true}) {
    for (const std::vector<std::string>& paths : lists) {
      EXPECT_EQ(list_of_drop(paths, wide), platform_list(drop_files_block(paths, wide))) << wide;
    }
  }
}

TEST_F(DropDragTest, ListIsBuiltAtTheGivenOffsetBehindOtherText) {
  FakeDataObject data;
  data.offer_files({"C:\\x", "C:\\y"});
  drag_and_drop(&data);
  ASSERT_EQ(next_event(), EVENT_WINDOW_DROP);
  const int32_t start = workspace_position();
  workspace_append("keep me|");
  const int32_t p = workspace_position();
  event_drop_files(p);
  EXPECT_EQ(workspace_position(), p + 9);
  EXPECT_STREQ(workspace_pointer(start), "keep me|C:\\x\nC:\\y");
  // Built over its own start, a shorter answer leaves nothing of the longer.
  event_drop_files(start);
  EXPECT_STREQ(workspace_pointer(start), "C:\\x\nC:\\y");
  workspace_truncate(start);
}

TEST_F(DropDragTest, TextOnAFilesOnlyWindowIsRefusedWithoutAnEvent) {
  FakeDataObject data;
  data.offer_text("just words");
  EXPECT_EQ(enter(&data, MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(drop_target_of(window)->match, DROP_MATCH_NONE);
  EXPECT_EQ(over(MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(drop(&data, MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(data.get_data_calls, 0) << "a refused drop fetches nothing";
  EXPECT_EQ(next_event(), 0);
  EXPECT_EQ(event_drop_type(), 0);
}

TEST_F(DropDragTest, ModifierKeysChooseTheEffectOfEveryCallback) {
  struct KeyCase {
    DWORD keys;
    DWORD effect;
  };
  const KeyCase cases[] = {{MK_LBUTTON, DROPEFFECT_COPY},
                           {MK_LBUTTON | MK_CONTROL, DROPEFFECT_COPY},
                           {MK_LBUTTON | MK_SHIFT, DROPEFFECT_MOVE},
                           {MK_LBUTTON | MK_CONTROL | MK_SHIFT, DROPEFFECT_LINK},
                           {MK_LBUTTON | MK_ALT, DROPEFFECT_LINK},
                           {MK_RBUTTON | MK_SHIFT, DROPEFFECT_MOVE}};
  for (const KeyCase& c : cases) {
    FakeDataObject data;
    data.offer_files({"C:\\a"});
    EXPECT_EQ(enter(&data, c.keys), c.effect) << c.keys;
    // The keys may change during the drag; each move chooses again.
    EXPECT_EQ(over(MK_LBUTTON | MK_SHIFT), static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(over(c.keys), c.effect) << c.keys;
    EXPECT_EQ(drop(&data, c.keys), c.effect) << c.keys;
    ASSERT_EQ(next_event(), EVENT_WINDOW_DROP);
    EXPECT_EQ(payload()->effect, static_cast<int32_t>(c.effect));
  }
}

TEST_F(DropDragTest, OfferedEffectsAndAcceptedActionsLimitTheChoice) {
  FakeDataObject data;
  data.offer_files({"C:\\a"});
  EXPECT_EQ(enter(&data, MK_SHIFT, DROPEFFECT_COPY), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(enter(&data, 0, DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_MOVE));
  EXPECT_EQ(enter(&data, 0, DROPEFFECT_LINK), static_cast<DWORD>(DROPEFFECT_LINK));
  EXPECT_EQ(enter(&data, 0, 0), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(drop_target_of(window)->match, DROP_MATCH_NONE) << "an entry sharing no action is skipped";

  enable_window_drop(0, DROP_TYPE_FILES, DROPEFFECT_LINK);
  EXPECT_EQ(enter(&data, 0, DROPEFFECT_COPY | DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(enter(&data, 0, 7), static_cast<DWORD>(DROPEFFECT_LINK));
  EXPECT_EQ(drop(&data, MK_SHIFT, 7), static_cast<DWORD>(DROPEFFECT_LINK));
  ASSERT_EQ(next_event(), EVENT_WINDOW_DROP);
  EXPECT_EQ(payload()->effect, DROPEFFECT_LINK);
}

TEST_F(DropDragTest, LeaveKeepsTheMatchUntilTheNextEnter) {
  FakeDataObject files, text;
  files.offer_files({"C:\\a"});
  text.offer_text("words");
  enter(&files, MK_LBUTTON);
  target_interface()->DragLeave();
  EXPECT_EQ(drop_target_of(window)->match, DROP_MATCH_STANDARD);
  EXPECT_EQ(over(MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_COPY));
  enter(&text, MK_LBUTTON);
  EXPECT_EQ(over(MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(next_event(), 0) << "leaving posts nothing";
}

TEST_F(DropDragTest, NewestEnabledTypeIsTriedFirst) {
  enable_window_drop(0, DROP_TYPE_TEXT, 7);
  FakeDataObject data;
  data.offer_files({"C:\\a"});
  data.offer_text("words");
  EXPECT_EQ(drag_and_drop(&data), static_cast<DWORD>(DROPEFFECT_COPY));
  ASSERT_EQ(next_event(), EVENT_WINDOW_DROP);
  EXPECT_EQ(event_drop_type(), DROP_TYPE_TEXT);
  EXPECT_STREQ(static_cast<const char*>(payload()->data), "words");
  EXPECT_EQ(payload()->size, 6);
  EXPECT_EQ(drop_list(), "") << "only a file drop has a list";

  // Files enabled again go first once more.
  enable_window_drop(0, DROP_TYPE_FILES, 0);
  enable_window_drop(0, DROP_TYPE_FILES, 7);
  drag_and_drop(&data);
  ASSERT_EQ(next_event(), EVENT_WINDOW_DROP);
  EXPECT_EQ(event_drop_type(), DROP_TYPE_FILES);
}

TEST_F(DropDragTest, PrivateDragsAreMatchedByTheirKey) {
  enable_window_drop(0, DROP_TYPE_PRIVATE, DROPEFFECT_MOVE, 0x5151);
  FakeDataObject ours, theirs;
  ours.offer_private_key(0x5151);
  theirs.offer_private_key(0x5152);

  EXPECT_EQ(enter(&theirs, MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(drop(&theirs, MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(next_event(), 0);

  // Copy is not accepted, so the move is chosen without Shift.
  EXPECT_EQ(enter(&ours, MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_MOVE));
  EXPECT_EQ(drop_target_of(window)->match, DROP_MATCH_PRIVATE);
  EXPECT_EQ(drop_target_of(window)->matched_type, 0x5151);
  const int fetched = ours.get_data_calls;
  EXPECT_EQ(drop(&ours, MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_MOVE));
  EXPECT_EQ(ours.get_data_calls, fetched) << "a private drop fetches no data";
  ASSERT_EQ(next_event(), EVENT_WINDOW_DROP);
  EXPECT_EQ(payload()->type, DROP_TYPE_PRIVATE);
  EXPECT_EQ(payload()->private_key, 0x5151);
  EXPECT_EQ(payload()->data, nullptr);
  EXPECT_EQ(payload()->size, 0);
  EXPECT_EQ(payload()->effect, DROPEFFECT_MOVE);
  EXPECT_EQ(event_drop_type(), DROP_TYPE_PRIVATE);
  EXPECT_EQ(drop_list(), "");

  // A standard format that matches wins over the private one.
  ours.offer_files({"C:\\a"});
  enter(&ours, MK_LBUTTON);
  EXPECT_EQ(drop_target_of(window)->match, DROP_MATCH_STANDARD);
  target_interface()->DragLeave();
}

TEST_F(DropDragTest, EveryMediumIsGivenBackAndNoReferenceIsKept) {
  enable_window_drop(0, DROP_TYPE_PRIVATE, 7, 1);
  FakeDataObject files, key, text;
  files.offer_files({"C:\\a", "C:\\b"});
  key.offer_private_key(1);
  text.offer_text("words");
  for (FakeDataObject* data : {&files, &key, &text}) {
    drag_and_drop(data);
    enter(data, MK_LBUTTON);
    target_interface()->DragLeave();
    next_event();
    EXPECT_EQ(data->refs, 1);
    EXPECT_EQ(data->media.released, data->media_given);
    EXPECT_EQ(data->media.refs, 0);
  }
  EXPECT_GT(files.media_given, 0);
  EXPECT_GT(key.media_given, 0);
}

TEST_F(DropDragTest, PayloadIsFreedByTheNextWait) {
  FakeDataObject data;
  data.offer_files({"C:\\a"});
  const int before = busy_blocks();
  drag_and_drop(&data);
  ASSERT_EQ(next_event(), EVENT_WINDOW_DROP);
  EXPECT_EQ(busy_blocks(), before + 2) << "the payload and its copy of the data";
  wait_window_event_timeout(0);
  EXPECT_EQ(payload(), nullptr);
  EXPECT_EQ(busy_blocks(), before);
  EXPECT_EQ(event_drop_type(), 0);
  EXPECT_EQ(drop_list(), "");
}

TEST_F(DropDragTest, AccessorsAreEmptyWithoutADropEvent) {
  wait_window_event_timeout(0);
  EXPECT_EQ(event_drop_type(), 0);
  EXPECT_EQ(drop_list(), "");
  PostMessageA(window, WM_USER + 7, 0, 0);
  EXPECT_EQ(wait_window_event_timeout(0), WM_USER + 7);
  EXPECT_EQ(event_drop_type(), 0);
  EXPECT_EQ(drop_list(), "");
}

// A DROPFILES block with these bytes after the header.
std::vector<BYTE> raw_block(const void* list, size_t size, DWORD offset = sizeof(DROPFILES), BOOL wide = FALSE) {
  std::vector<BYTE> block(sizeof(DROPFILES), 0);
  auto* header = reinterpret_cast<DROPFILES*>(block.data());
  header->pFiles = offset;
  header->fWide = wide;
  const BYTE* bytes = static_cast<const BYTE*>(list);
  block.insert(block.end(), bytes, bytes + size);
  return block;
}

TEST_F(DropDragTest, MalformedFileBlocksGiveNoPathsOrOnlyWhatTheyHold) {
  struct BlockCase {
    const char* what;
    std::vector<BYTE> block;
    std::string list;
  };
  const std::vector<BlockCase> cases = {
      {"shorter than its header", std::vector<BYTE>(12, 'A'), ""},
      {"list starting beyond the block", raw_block("C:\\a\0", 6, 4000), ""},
      {"list offset near 4 GB", raw_block("C:\\a\0", 6, 0xFFFFFFF0u), ""},
      {"header only", raw_block("", 0), ""},
      {"no terminator at all", raw_block("C:\\x", 4), "C:\\x"},
      {"one terminator", raw_block("C:\\x\0D:\\y", 9), "C:\\x\nD:\\y"},
      {"wide, ending in half a character", raw_block(L"C:\\y\0Z", 11, sizeof(DROPFILES), TRUE), "C:\\y"},
      {"wide, unterminated", raw_block(L"C:\\y\0Z", 12, sizeof(DROPFILES), TRUE), "C:\\y\nZ"},
      {"wide, list at an odd offset", raw_block("\0C\0:\0\\\0w\0\0\0\0", 13, sizeof(DROPFILES) + 1, TRUE),
       "C:\\w"},
  };
  for (const BlockCase& c : cases) {
    FakeDataObject data;
    data.offer(CF_HDROP, c.block);
    EXPECT_EQ(drag_and_drop(&data), static_cast<DWORD>(DROPEFFECT_COPY)) << c.what;
    ASSERT_EQ(next_event(), EVENT_WINDOW_DROP) << c.what;
    EXPECT_EQ(drop_list(), c.list) << c.what;
  }
}

TEST_F(DropDragTest, SourceAnsweringWithAnotherMediumIsRefused) {
  FakeDataObject data;
  data.offer(CF_HDROP, drop_files_block({"C:\\a"}, false), TYMED_ISTREAM);
  EXPECT_EQ(enter(&data, MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_COPY)) << "it claims the format";
  EXPECT_EQ(drop(&data, MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(next_event(), 0);
  EXPECT_EQ(data.media.released, data.media_given);
}

TEST_F(DropDragTest, EmptyDataBlockIsRefused) {
  FakeDataObject data;
  data.offer(CF_HDROP, {});
  EXPECT_EQ(drag_and_drop(&data), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(next_event(), 0);
}

TEST_F(DropDragTest, DropThatCannotBePostedIsRefusedAndFreed) {
  HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(gone, nullptr);
  DestroyWindow(gone);
  const int before = busy_blocks();
  DropTarget* target = drop_target_create(0, 4, gone);
  auto* format = static_cast<DropFormat*>(list_insert(&target->formats, OBJECT_LIST_HEADER + sizeof(DropFormat)));
  format->key = DROP_TYPE_FILES;
  format->actions = 7;
  IDropTarget* com = drop_target_interface(target);

  FakeDataObject data;
  data.offer_files({"C:\\a"});
  DWORD effect = 7;
  EXPECT_EQ(com->DragEnter(&data, MK_LBUTTON, {0, 0}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  effect = 7;
  EXPECT_EQ(com->Drop(&data, MK_LBUTTON, {0, 0}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(com->Release(), 0u);
  EXPECT_EQ(busy_blocks(), before) << "the unposted payload was freed";
  EXPECT_EQ(data.media.released, data.media_given);
}

TEST_F(DropDragTest, NullArgumentsAreAnsweredWithoutACrash) {
  DWORD effect = 7;
  EXPECT_EQ(target_interface()->DragEnter(nullptr, MK_LBUTTON, {0, 0}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  FakeDataObject data;
  data.offer_files({"C:\\a"});
  EXPECT_EQ(target_interface()->DragEnter(&data, MK_LBUTTON, {0, 0}, nullptr), E_INVALIDARG);
  EXPECT_EQ(target_interface()->DragOver(MK_LBUTTON, {0, 0}, nullptr), E_INVALIDARG);
  EXPECT_EQ(target_interface()->Drop(&data, MK_LBUTTON, {0, 0}, nullptr), E_INVALIDARG);
  enter(&data, MK_LBUTTON);
  effect = 7;
  EXPECT_EQ(target_interface()->Drop(nullptr, MK_LBUTTON, {0, 0}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(next_event(), 0);
}

}  // namespace
