#include "tests/runtime/dragdrop/drop_fixture.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/dragdrop/drop_feedback.h"
#include "runtime/dragdrop/gadget_drop.h"
#include "runtime/gadgets/gadget_library.h"
#include "runtime/gadgets/image_gadget.h"
#include "runtime/window/gadget_plumbing.h"

namespace {

// Gadget types with no operations: enough for a control to be a gadget of
// that type number.
GadgetType g_list_box_type = {GADGET_TYPE_LIST_BOX, sizeof(GadgetType), nullptr, nullptr, nullptr, nullptr};
GadgetType g_list_view_type = {12, sizeof(GadgetType), nullptr, nullptr, nullptr, nullptr};
GadgetType g_list_view_type_b = {23, sizeof(GadgetType), nullptr, nullptr, nullptr, nullptr};
GadgetType g_tree_view_type = {24, sizeof(GadgetType), nullptr, nullptr, nullptr, nullptr};
GadgetType g_tree_view_type_b = {27, sizeof(GadgetType), nullptr, nullptr, nullptr, nullptr};
GadgetType g_type_seven = {7, sizeof(GadgetType), nullptr, nullptr, nullptr, nullptr};

class GadgetDropTest : public DropTest {
 protected:
  static void SetUpTestSuite() {
    DropTest::SetUpTestSuite();
    static bool initialised = false;
    if (initialised) return;
    gadget_library_init();
    // List and tree views are no class the gadget library registers.
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    initialised = true;
  }

  // A control of `cls` in window 0, attached as gadget `number` of `type`.
  HWND make_gadget(int32_t number, const char* cls, DWORD style, GadgetType* type, int x = 10, int y = 10,
                   int w = 200, int h = 180) {
    HWND control = CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, x, y, w, h, window, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(control, nullptr) << cls;
    auto* record = static_cast<Gadget*>(registry_allocate(gadget_registry(), number));
    attach_gadget(number, record, control, type);
    return control;
  }

  HWND button(DWORD style, int x, int y, int w, int h) {
    return CreateWindowExA(0, "Button", "b", WS_CHILD | WS_VISIBLE | style, x, y, w, h, window, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  }

  // Drags played on a gadget's own target; points in its client coordinates.
  static POINTL on(HWND control, POINT client) {
    ClientToScreen(control, &client);
    return {client.x, client.y};
  }
  static DWORD enter_at(HWND control, IDataObject* data, POINT p) {
    DWORD effect = 7;
    EXPECT_EQ(drop_target_interface(drop_target_of(control))->DragEnter(data, MK_LBUTTON, on(control, p), &effect),
              S_OK);
    return effect;
  }
  static DWORD over_at(HWND control, POINT p) {
    DWORD effect = 7;
    EXPECT_EQ(drop_target_interface(drop_target_of(control))->DragOver(MK_LBUTTON, on(control, p), &effect), S_OK);
    return effect;
  }
  static void leave(HWND control) { drop_target_interface(drop_target_of(control))->DragLeave(); }
  static DWORD drop_at(HWND control, IDataObject* data, POINT p) {
    DWORD effect = 7;
    EXPECT_EQ(drop_target_interface(drop_target_of(control))->Drop(data, MK_LBUTTON, on(control, p), &effect), S_OK);
    return effect;
  }

  // The window's children, top of the z-order first.
  std::vector<HWND> z_order() {
    std::vector<HWND> order;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      order.push_back(child);
    return order;
  }
  size_t z_index(HWND child) {
    std::vector<HWND> order = z_order();
    return static_cast<size_t>(std::find(order.begin(), order.end(), child) - order.begin());
  }

  FakeDataObject files_;
  void SetUp() override {
    DropTest::SetUp();
    files_.offer_files({"C:\\tunes\\a.mod", "C:\\tunes\\b.mod"});
  }
};

// The middle of a list box item, in the control's client coordinates.
POINT list_box_item_point(HWND list, int item) {
  RECT r;
  SendMessageA(list, LB_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r));
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

HWND filled_list_box(HWND list, int count) {
  for (int i = 0; i < count; i++) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("item"));
  return list;
}

TEST_F(GadgetDropTest, UnknownGadgetNumberDoesNothing) {
  const int before = busy_blocks();
  enable_gadget_drop(42, DROP_TYPE_FILES, 7);
  enable_gadget_drop(OBJECT_ANY, DROP_TYPE_FILES, 7);
  EXPECT_EQ(busy_blocks(), before);
  EXPECT_EQ(drop_target_of(window), nullptr);
}

TEST_F(GadgetDropTest, GadgetTargetSitsOnItsControlAndPostsAGadgetDrop) {
  HWND list = filled_list_box(make_gadget(3, "ListBox", LBS_NOTIFY, &g_list_box_type), 5);
  enable_gadget_drop(3, DROP_TYPE_FILES, 7);
  DropTarget* target = drop_target_of(list);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->gadget_type, GADGET_TYPE_LIST_BOX);
  EXPECT_EQ(target->number, 3);
  EXPECT_EQ(target->window, list);
  EXPECT_EQ(drop_target_of(window), nullptr) << "the window itself accepts nothing";

  EXPECT_EQ(enter_at(list, &files_, list_box_item_point(list, 1)), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(drop_at(list, &files_, list_box_item_point(list, 1)), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(next_event(), EVENT_GADGET_DROP);
  EXPECT_EQ(event_object(), 3);
  EXPECT_EQ(event_window(), 0);
  EXPECT_EQ(event_drop_type(), DROP_TYPE_FILES);
  EXPECT_EQ(payload()->x, list_box_item_point(list, 1).x) << "the point is in the gadget's coordinates";
  EXPECT_EQ(drop_list(), "C:\\tunes\\a.mod\nC:\\tunes\\b.mod");

  // Destroying the gadget revokes its registration and frees the target.
  const int with_target = busy_blocks();
  DestroyWindow(list);
  EXPECT_LT(busy_blocks(), with_target);
}

TEST_F(GadgetDropTest, ImageGadgetTakesDropsWithoutFeedback) {
  HWND image = reinterpret_cast<HWND>(create_image_gadget(0, 20, 20, 168, 136, nullptr));
  ASSERT_NE(image, nullptr);
  enable_gadget_drop(0, DROP_TYPE_FILES, 7);
  DropTarget* target = drop_target_of(image);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->gadget_type, GADGET_TYPE_IMAGE);
  EXPECT_EQ(enter_at(image, &files_, {30, 30}), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(target->highlighted_item, -1);
  EXPECT_EQ(drop_at(image, &files_, {31, 32}), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(next_event(), EVENT_GADGET_DROP);
  EXPECT_EQ(event_object(), 0);
  EXPECT_EQ(event_window(), 0);
  EXPECT_EQ(payload()->x, 31);
  EXPECT_EQ(payload()->y, 32);
  EXPECT_EQ(drop_list(), "C:\\tunes\\a.mod\nC:\\tunes\\b.mod");
}

TEST_F(GadgetDropTest, ListBoxMarksTheItemUnderTheCursorAndSelectsItOnDrop) {
  HWND list = filled_list_box(make_gadget(1, "ListBox", LBS_NOTIFY, &g_list_box_type), 6);
  enable_gadget_drop(1, DROP_TYPE_FILES, 7);
  DropTarget* target = drop_target_of(list);
  RECT client;
  GetClientRect(list, &client);
  const POINT below_items = {20, client.bottom - 3};
  ASSERT_EQ(SendMessageA(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(below_items.x, below_items.y)) >> 16, 1)
      << "the list is shorter than the control";

  enter_at(list, &files_, list_box_item_point(list, 2));
  EXPECT_EQ(target->highlighted_item, 2);
  over_at(list, list_box_item_point(list, 4));
  EXPECT_EQ(target->highlighted_item, 4);
  over_at(list, below_items);
  EXPECT_EQ(target->highlighted_item, -1) << "no item under the cursor";
  over_at(list, list_box_item_point(list, 0));
  EXPECT_EQ(target->highlighted_item, 0);
  leave(list);
  EXPECT_EQ(target->highlighted_item, -1);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR) << "a drag alone selects nothing";

  enter_at(list, &files_, list_box_item_point(list, 3));
  drop_at(list, &files_, list_box_item_point(list, 3));
  EXPECT_EQ(target->highlighted_item, -1);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(next_event(), EVENT_GADGET_DROP);

  // A drop below the items clears the selection.
  enter_at(list, &files_, below_items);
  drop_at(list, &files_, below_items);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
}

TEST_F(GadgetDropTest, RefusedDragClearsTheListBoxMark) {
  HWND list = filled_list_box(make_gadget(1, "ListBox", LBS_NOTIFY, &g_list_box_type), 4);
  enable_gadget_drop(1, DROP_TYPE_FILES, 7);
  DropTarget* target = drop_target_of(list);
  enter_at(list, &files_, list_box_item_point(list, 1));
  EXPECT_EQ(target->highlighted_item, 1);
  FakeDataObject text;
  text.offer_text("words");
  EXPECT_EQ(enter_at(list, &text, list_box_item_point(list, 2)), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(target->highlighted_item, -1);
  EXPECT_EQ(drop_at(list, &text, list_box_item_point(list, 2)), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(next_event(), 0);
}

TEST_F(GadgetDropTest, MultipleSelectionListBoxKeepsOnlyTheDroppedItem) {
  for (DWORD style : {static_cast<DWORD>(LBS_EXTENDEDSEL), static_cast<DWORD>(LBS_MULTIPLESEL)}) {
    HWND list = filled_list_box(make_gadget(2, "ListBox", LBS_NOTIFY | style, &g_list_box_type), 8);
    enable_gadget_drop(2, DROP_TYPE_FILES, 7);
    SendMessageA(list, LB_SETSEL, TRUE, 0);
    SendMessageA(list, LB_SETSEL, TRUE, 6);
    ASSERT_EQ(SendMessageA(list, LB_GETSELCOUNT, 0, 0), 2);
    enter_at(list, &files_, list_box_item_point(list, 4));
    drop_at(list, &files_, list_box_item_point(list, 4));
    EXPECT_EQ(SendMessageA(list, LB_GETSELCOUNT, 0, 0), 1) << style;
    EXPECT_GT(SendMessageA(list, LB_GETSEL, 4, 0), 0) << style;

    RECT client;
    GetClientRect(list, &client);
    enter_at(list, &files_, {5, client.bottom - 2});
    drop_at(list, &files_, {5, client.bottom - 2});
    EXPECT_EQ(SendMessageA(list, LB_GETSELCOUNT, 0, 0), 0) << style << ": no item, nothing selected";
    DestroyWindow(list);
  }
}

UINT list_view_state(HWND view, int item, UINT mask) {
  return static_cast<UINT>(SendMessageA(view, LVM_GETITEMSTATE, item, mask));
}

POINT list_view_item_point(HWND view, int item) {
  RECT r = {};
  r.left = LVIR_LABEL;
  SendMessageA(view, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r));
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

HWND filled_list_view(HWND view, int count) {
  LVCOLUMNA column = {};
  column.mask = LVCF_WIDTH;
  column.cx = 150;
  SendMessageA(view, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  for (int i = 0; i < count; i++) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = const_cast<char*>("tune");
    SendMessageA(view, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  return view;
}

// Items of a list view that carry all of `mask`.
std::vector<int> items_with(HWND view, UINT mask) {
  std::vector<int> items;
  const int count = static_cast<int>(SendMessageA(view, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; i++)
    if (list_view_state(view, i, mask) == mask) items.push_back(i);
  return items;
}

TEST_F(GadgetDropTest, ListViewsHighlightTheItemUnderTheCursorAndSelectItOnDrop) {
  for (GadgetType* type : {&g_list_view_type, &g_list_view_type_b}) {
    HWND view = filled_list_view(make_gadget(5, WC_LISTVIEWA, LVS_REPORT | LVS_SHOWSELALWAYS, type), 5);
    enable_gadget_drop(5, DROP_TYPE_FILES, 7);
    LVITEMA selected = {};
    selected.stateMask = selected.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(view, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));

    enter_at(view, &files_, list_view_item_point(view, 1));
    EXPECT_EQ(items_with(view, LVIS_DROPHILITED), std::vector<int>{1}) << type->type_code;
    over_at(view, list_view_item_point(view, 3));
    EXPECT_EQ(items_with(view, LVIS_DROPHILITED), std::vector<int>{3});
    over_at(view, {5, 170});
    EXPECT_EQ(items_with(view, LVIS_DROPHILITED), std::vector<int>{}) << "no item there";
    over_at(view, list_view_item_point(view, 2));
    leave(view);
    EXPECT_EQ(items_with(view, LVIS_DROPHILITED), std::vector<int>{});
    EXPECT_EQ(items_with(view, LVIS_SELECTED), std::vector<int>{0}) << "a drag alone selects nothing";

    enter_at(view, &files_, list_view_item_point(view, 4));
    drop_at(view, &files_, list_view_item_point(view, 4));
    EXPECT_EQ(items_with(view, LVIS_DROPHILITED), std::vector<int>{});
    EXPECT_EQ(items_with(view, LVIS_SELECTED), std::vector<int>{4});
    EXPECT_EQ(items_with(view, LVIS_FOCUSED), std::vector<int>{4});
    EXPECT_EQ(next_event(), EVENT_GADGET_DROP);
    EXPECT_EQ(event_object(), 5);

    // Dropped where there is no item: the selection is cleared.
    enter_at(view, &files_, {5, 170});
    drop_at(view, &files_, {5, 170});
    EXPECT_EQ(items_with(view, LVIS_SELECTED), std::vector<int>{});
    DestroyWindow(view);
  }
}

HTREEITEM add_tree_item(HWND tree, HTREEITEM parent, const char* text) {
  TVINSERTSTRUCTA insert = {};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<char*>(text);
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

POINT tree_item_point(HWND tree, HTREEITEM item) {
  // TVM_GETITEMRECT reads the item from the start of the rectangle.
  RECT r = {};
  std::memcpy(&r, &item, sizeof item);
  SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

HTREEITEM tree_item(HWND tree, UINT which) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, which, 0));
}

TEST_F(GadgetDropTest, TreeViewsHighlightTheItemUnderTheCursorAndSelectItOnDrop) {
  for (GadgetType* type : {&g_tree_view_type, &g_tree_view_type_b}) {
    HWND tree = make_gadget(6, WC_TREEVIEWA, TVS_HASLINES | TVS_SHOWSELALWAYS, type);
    HTREEITEM music = add_tree_item(tree, TVI_ROOT, "music");
    HTREEITEM chip = add_tree_item(tree, music, "chip");
    HTREEITEM other = add_tree_item(tree, TVI_ROOT, "other");
    HTREEITEM spare = add_tree_item(tree, TVI_ROOT, "spare");
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(music));
    // Wine 8's tree view takes TVM_SELECTITEM for an item that equals the
    // caret item as done, for any kind of selection: with no caret, clearing
    // the drop highlight would do nothing there. A caret on an item the drag
    // never crosses keeps the test to what Windows does.
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(spare));
    enable_gadget_drop(6, DROP_TYPE_FILES, 7);

    enter_at(tree, &files_, tree_item_point(tree, chip));
    EXPECT_EQ(tree_item(tree, TVGN_DROPHILITE), chip) << type->type_code;
    over_at(tree, tree_item_point(tree, other));
    EXPECT_EQ(tree_item(tree, TVGN_DROPHILITE), other);
    over_at(tree, {190, 170});
    EXPECT_EQ(tree_item(tree, TVGN_DROPHILITE), nullptr) << "no item there";
    over_at(tree, tree_item_point(tree, music));
    leave(tree);
    EXPECT_EQ(tree_item(tree, TVGN_DROPHILITE), nullptr);
    EXPECT_EQ(tree_item(tree, TVGN_CARET), spare) << "a drag alone selects nothing";

    enter_at(tree, &files_, tree_item_point(tree, chip));
    drop_at(tree, &files_, tree_item_point(tree, chip));
    EXPECT_EQ(tree_item(tree, TVGN_DROPHILITE), nullptr);
    EXPECT_EQ(tree_item(tree, TVGN_CARET), chip);
    EXPECT_EQ(next_event(), EVENT_GADGET_DROP);
    EXPECT_EQ(event_object(), 6);
    DestroyWindow(tree);
  }
}

TEST_F(GadgetDropTest, OverlappingCheckBoxGoesBehindTheGadgetAndPushButtonsStay) {
  HWND check = button(BS_AUTOCHECKBOX, 20, 20, 80, 20);
  HWND push = button(BS_PUSHBUTTON, 20, 50, 80, 20);
  HWND radio_apart = button(BS_AUTORADIOBUTTON, 250, 20, 60, 20);
  HWND group = button(BS_GROUPBOX, 0, 0, 150, 150);
  HWND list = filled_list_box(make_gadget(1, "ListBox", 0, &g_list_box_type, 10, 10, 200, 180), 3);
  HWND later_check = button(BS_AUTOCHECKBOX, 30, 100, 80, 20);
  // Top of the z-order first: the buttons, then the list, then one more.
  for (HWND w : {later_check, list, group, radio_apart, push, check})
    SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  ASSERT_EQ(z_order(), (std::vector<HWND>{check, push, radio_apart, group, list, later_check}));

  enable_gadget_drop(1, DROP_TYPE_FILES, 7);
  std::vector<HWND> order = z_order();
  EXPECT_LT(z_index(push), z_index(list)) << "a plain push button keeps its place above";
  EXPECT_LT(z_index(radio_apart), z_index(list)) << "a button beside the gadget stays above";
  EXPECT_GT(z_index(check), z_index(list));
  EXPECT_GT(z_index(group), z_index(list));
  EXPECT_EQ(order.back(), later_check) << "children after the gadget are not looked at";
  // Each is put directly behind in enumeration order, so the last one met
  // ends up next to the gadget.
  EXPECT_EQ(GetWindow(list, GW_HWNDNEXT), group);
  EXPECT_EQ(GetWindow(group, GW_HWNDNEXT), check);
}

TEST_F(GadgetDropTest, ButtonsInsideAnotherChildAndGadgetsOfTypeSevenAreLeftAlone) {
  HWND panel = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 120, 120, window, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  HWND nested = CreateWindowExA(0, "Button", "n", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 20, 20, 60, 20, panel,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  HWND check = button(BS_AUTOCHECKBOX, 20, 60, 80, 20);
  HWND seven = make_gadget(8, "STATIC", 0, &g_type_seven, 10, 10, 200, 180);
  HWND list = filled_list_box(make_gadget(1, "ListBox", 0, &g_list_box_type, 10, 10, 200, 180), 3);
  for (HWND w : {list, seven, check, panel}) SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  ASSERT_EQ(z_order(), (std::vector<HWND>{panel, check, seven, list}));

  enable_gadget_drop(8, DROP_TYPE_FILES, 7);
  EXPECT_NE(drop_target_of(seven), nullptr);
  EXPECT_EQ(z_order(), (std::vector<HWND>{panel, check, seven, list})) << "type 7 moves no button";

  enable_gadget_drop(1, DROP_TYPE_FILES, 7);
  EXPECT_EQ(z_order(), (std::vector<HWND>{panel, seven, list, check}));
  EXPECT_EQ(GetParent(nested), panel);
  EXPECT_EQ(GetWindow(panel, GW_CHILD), nested) << "a grandchild is not the parent's button";
}

}  // namespace
