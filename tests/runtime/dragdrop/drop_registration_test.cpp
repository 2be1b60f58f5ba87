#include "tests/runtime/dragdrop/drop_fixture.h"

namespace {

using DropRegistrationTest = DropTest;

// Keys of a format list, newest first.
std::vector<int32_t> keys_of(ObjectListNode* list) {
  std::vector<int32_t> keys;
  for (ObjectListNode* node = list; node; node = node->next)
    keys.push_back(static_cast<DropFormat*>(list_payload_of(node))->key);
  return keys;
}

// Whether OLE holds a registration for the window: a second one is refused.
bool registered_with_ole(HWND window) {
  DropTarget* probe = drop_target_create(0, 0, window);
  HRESULT result = RegisterDragDrop(window, drop_target_interface(probe));
  if (result == S_OK) RevokeDragDrop(window);
  drop_target_interface(probe)->Release();
  return result == DRAGDROP_E_ALREADYREGISTERED;
}

TEST_F(DropRegistrationTest, FirstTypeRegistersTheWindowAndLaterOnesShareItsTarget) {
  EXPECT_EQ(drop_target_of(window), nullptr);
  EXPECT_FALSE(registered_with_ole(window));

  enable_window_drop(0, DROP_TYPE_FILES, 7);
  DropTarget* target = drop_target_of(window);
  ASSERT_NE(target, nullptr);
  EXPECT_TRUE(registered_with_ole(window));
  EXPECT_EQ(target->gadget_type, 0);
  EXPECT_EQ(target->number, 0);
  EXPECT_EQ(target->window, window);
  EXPECT_EQ(target->highlighted_item, -1);
  EXPECT_EQ(keys_of(target->formats), std::vector<int32_t>{DROP_TYPE_FILES});
  EXPECT_EQ(target->private_formats, nullptr);

  // The same type again keeps one entry with the latest actions.
  enable_window_drop(0, DROP_TYPE_FILES, DROPEFFECT_MOVE);
  EXPECT_EQ(drop_target_of(window), target);
  EXPECT_EQ(keys_of(target->formats), std::vector<int32_t>{DROP_TYPE_FILES});
  EXPECT_EQ(find_drop_format(target->formats, DROP_TYPE_FILES)->actions, DROPEFFECT_MOVE);

  // Newest first; private keys have a list of their own.
  enable_window_drop(0, DROP_TYPE_TEXT, 1);
  enable_window_drop(0, DROP_TYPE_PRIVATE, 4, 77);
  enable_window_drop(0, DROP_TYPE_PRIVATE, 4, 78);
  EXPECT_EQ(keys_of(target->formats), (std::vector<int32_t>{DROP_TYPE_TEXT, DROP_TYPE_FILES}));
  EXPECT_EQ(keys_of(target->private_formats), (std::vector<int32_t>{78, 77}));
}

TEST_F(DropRegistrationTest, DisablingTheLastTypeRevokesAndFreesTheTarget) {
  const int before = busy_blocks();
  enable_window_drop(0, DROP_TYPE_FILES, 7);
  enable_window_drop(0, DROP_TYPE_PRIVATE, 2, 5);
  DropTarget* target = drop_target_of(window);
  ASSERT_NE(target, nullptr);

  enable_window_drop(0, DROP_TYPE_FILES, 0);
  EXPECT_EQ(drop_target_of(window), target) << "the private key still holds it";
  EXPECT_EQ(target->formats, nullptr);
  enable_window_drop(0, DROP_TYPE_PRIVATE, 0, 6);  // a key never enabled
  EXPECT_EQ(keys_of(target->private_formats), std::vector<int32_t>{5});

  enable_window_drop(0, DROP_TYPE_PRIVATE, 0, 5);
  EXPECT_EQ(drop_target_of(window), nullptr);
  EXPECT_FALSE(registered_with_ole(window));
  EXPECT_EQ(busy_blocks(), before) << "target and entries go with the registration";
}

TEST_F(DropRegistrationTest, TypeZeroUnknownWindowsAndStrayDisablesChangeNothing) {
  const int before = busy_blocks();
  enable_window_drop(0, 0, 7);
  enable_window_drop(0, DROP_TYPE_FILES, 0);
  enable_window_drop(3, DROP_TYPE_FILES, 7);
  enable_window_drop(-5, DROP_TYPE_FILES, 7);
  EXPECT_EQ(drop_target_of(window), nullptr);
  EXPECT_FALSE(registered_with_ole(window));
  EXPECT_EQ(busy_blocks(), before);

  enable_window_drop(0, DROP_TYPE_FILES, 7);
  enable_window_drop(0, 0, 0);
  EXPECT_NE(drop_target_of(window), nullptr) << "type 0 does not disable either";
}

TEST_F(DropRegistrationTest, WindowRegisteredByAnotherComponentIsTakenOver) {
  DropTarget* foreign = drop_target_create(0, 99, window);
  ASSERT_EQ(RegisterDragDrop(window, drop_target_interface(foreign)), S_OK);
  EXPECT_GT(foreign->ref_count, 1) << "OLE holds the foreign target";

  enable_window_drop(0, DROP_TYPE_FILES, 7);
  DropTarget* ours = drop_target_of(window);
  ASSERT_NE(ours, nullptr);
  EXPECT_NE(ours, foreign);
  EXPECT_EQ(foreign->ref_count, 1) << "OLE let go of the foreign target";
  EXPECT_TRUE(registered_with_ole(window));

  // Drags now reach ours.
  FakeDataObject data;
  data.offer_files({"C:\\a"});
  EXPECT_EQ(enter(&data, MK_LBUTTON), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(ours->match, DROP_MATCH_STANDARD);
  target_interface()->DragLeave();
  EXPECT_EQ(drop_target_interface(foreign)->Release(), 0u);
}

TEST_F(DropRegistrationTest, ClosingTheWindowRevokesAndFreesTheTarget) {
  close_window(0);
  const int before = busy_blocks();
  window = reinterpret_cast<HWND>(open_window(0, 100, 100, 320, 240, "drops", WINDOW_INVISIBLE));
  enable_window_drop(0, DROP_TYPE_FILES, 7);
  enable_window_drop(0, DROP_TYPE_TEXT, 7);
  ASSERT_NE(drop_target_of(window), nullptr);
  close_window(0);
  EXPECT_EQ(busy_blocks(), before);
}

TEST_F(DropRegistrationTest, ReferenceCountingAndInterfacesFollowCom) {
  const int before = busy_blocks();
  DropTarget* target = drop_target_create(0, 1, window);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->ref_count, 1);
  IDropTarget* com = drop_target_interface(target);
  EXPECT_EQ(com->AddRef(), 2u);

  void* result = nullptr;
  EXPECT_EQ(com->QueryInterface(IID_IUnknown, &result), S_OK);
  EXPECT_EQ(result, target);
  EXPECT_EQ(com->QueryInterface(IID_IDropTarget, &result), S_OK);
  EXPECT_EQ(result, target);
  EXPECT_EQ(target->ref_count, 4);

  result = target;
  EXPECT_EQ(com->QueryInterface(IID_IDataObject, &result), E_NOINTERFACE);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(com->QueryInterface(IID_IDropSource, &result), E_NOINTERFACE);
  EXPECT_EQ(com->QueryInterface(IID_IDropTarget, nullptr), E_INVALIDARG);
  EXPECT_EQ(target->ref_count, 4);

  // Entries go with the target.
  set_drop_format(1, 0, nullptr, DROP_TYPE_FILES, 7, 0);  // no window: ignored
  EXPECT_EQ(target->formats, nullptr);
  void* entry = list_insert(&target->formats, OBJECT_LIST_HEADER + sizeof(DropFormat));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(com->Release(), 3u);
  EXPECT_EQ(com->Release(), 2u);
  EXPECT_EQ(com->Release(), 1u);
  EXPECT_EQ(busy_blocks(), before + 2);
  EXPECT_EQ(com->Release(), 0u);
  EXPECT_EQ(busy_blocks(), before);
}

}  // namespace
