#include "tests/runtime/gadgets/status_bar_fixture.h"

#include "runtime/gadgets/status_bar_internal.h"

namespace {

TEST_F(StatusBarTest, ConverterFieldsSplitWhatIsLeftBetweenTheFlexibleOnes) {
  StatusBar* bar = make_converter_bar(0, make_parent(168, 156));
  ASSERT_NE(bar, nullptr);
  RECT client;
  GetClientRect(bar->window, &client);
  ASSERT_EQ(client.right, 168);
  // flex = (168 - 75) / 2 = 46; one pixel stays unused.
  EXPECT_EQ(parts(bar->window), (std::vector<int>{46, 121, 167}));
}

TEST_F(StatusBarTest, ResizableParentLeavesRoomForTheSizeGrip) {
  StatusBar* bar = make_converter_bar(0, make_parent(168, 156, WS_OVERLAPPEDWINDOW));
  ASSERT_NE(bar, nullptr);
  RECT client;
  GetClientRect(bar->window, &client);
  int usable = client.right - (client.bottom - 3);
  int flex = (usable - 75) / 2;
  EXPECT_EQ(parts(bar->window), (std::vector<int>{flex, flex + 75, 2 * flex + 75}));
  if (client.bottom == 22) {
    EXPECT_EQ(parts(bar->window), (std::vector<int>{37, 112, 149}));
  }
}

TEST_F(StatusBarTest, FixedFieldsGetRunningSumsOfTheirWidths) {
  create_status_bar(1, make_parent(300, 100));
  status_bar_add_field(40);
  status_bar_add_field(60);
  status_bar_add_field(10);
  EXPECT_EQ(parts(status_bar_lookup(1)->window), (std::vector<int>{40, 100, 110}));
}

TEST_F(StatusBarTest, CreateReturnsTheWindowForANumberAndTheRecordForAny) {
  HWND parent = make_parent(168, 156);
  INT_PTR by_number = create_status_bar(2, parent);
  EXPECT_EQ(reinterpret_cast<HWND>(by_number), status_bar_lookup(2)->window);
  INT_PTR any = create_status_bar(OBJECT_ANY, parent);
  ASSERT_NE(any, 0);
  StatusBar* record = status_bar_lookup(any);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(record), any);
  status_bar_add_field(50);
  EXPECT_EQ(status_bar_set_text(any, 0, "any", FIELD_ALIGN_CENTRE), 1);
  EXPECT_EQ(text_of(record->window, 0), "\tany");
}

TEST_F(StatusBarTest, ReusingANumberDestroysTheEarlierBarFirst) {
  HWND parent = make_parent(168, 156);
  StatusBar* first = make_converter_bar(0, parent);
  HWND first_window = first->window;
  StatusBar* second = make_converter_bar(0, parent);
  EXPECT_FALSE(IsWindow(first_window));
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second->window, first_window);
  EXPECT_EQ(second->count, 3);
}

TEST_F(StatusBarTest, OlderBarOnTheSameParentCanGoWithoutTakingTheNewer) {
  HWND parent = make_parent(168, 156);
  StatusBar* older = make_converter_bar(4, parent);
  HWND older_window = older->window;
  StatusBar* newer = make_converter_bar(5, parent);
  DestroyWindow(older_window);
  EXPECT_EQ(status_bar_lookup(4), nullptr);
  ASSERT_EQ(status_bar_lookup(5), newer);
  EXPECT_EQ(status_bar_set_text(5, 2, "3/3", FIELD_ALIGN_CENTRE), 1);
  EXPECT_EQ(text_of(newer->window, 2), "\t3/3");
}

TEST_F(StatusBarTest, DestroyingTheParentFreesTheBar) {
  HWND parent = make_parent(168, 156);
  make_converter_bar(6, parent);
  DestroyWindow(parent);
  EXPECT_EQ(status_bar_lookup(6), nullptr);
  EXPECT_EQ(status_bar_set_text(6, 0, "gone", 0), 0);
  // The current bar went with it: adding a field now does nothing.
  status_bar_add_field(10);
}

TEST_F(StatusBarTest, UnknownBarsAndFieldsAreRefused) {
  StatusBar* bar = make_converter_bar(0, make_parent(168, 156));
  EXPECT_EQ(status_bar_set_text(9, 0, "x", 0), 0);
  EXPECT_EQ(status_bar_set_progress(9, 0, 5), 0);
  EXPECT_EQ(status_bar_set_text(0, 3, "x", 0), 0);
  EXPECT_EQ(status_bar_set_progress(0, -1, 5), 0);
  EXPECT_EQ(bar->fields[0].kind, FIELD_KIND_TEXT);
}

TEST_F(StatusBarTest, TextsAreAlignedWithTabsAndNullShowsEmpty) {
  StatusBar* bar = make_converter_bar(0, make_parent(168, 156));
  status_bar_set_text(0, 0, "128 kbit", FIELD_ALIGN_CENTRE);
  EXPECT_EQ(text_of(bar->window, 0), "\t128 kbit");
  status_bar_set_text(0, 1, "\xD2\xE0\xF9\xE8 \xF1\xFE\xE4\xE0!", FIELD_ALIGN_CENTRE);
  EXPECT_EQ(text_of(bar->window, 1), "\t\xD2\xE0\xF9\xE8 \xF1\xFE\xE4\xE0!");
  status_bar_set_text(0, 2, "right", FIELD_ALIGN_RIGHT);
  EXPECT_EQ(text_of(bar->window, 2), "\t\tright");
  status_bar_set_text(0, 2, "both", FIELD_ALIGN_RIGHT | FIELD_ALIGN_CENTRE);
  EXPECT_EQ(text_of(bar->window, 2), "\tboth");
  status_bar_set_text(0, 0, nullptr, 0);
  EXPECT_EQ(text_of(bar->window, 0), "");
  status_bar_set_text(0, 0, "raised", FIELD_POPOUT | FIELD_NO_BORDER);
  EXPECT_EQ(HIWORD(SendMessageA(bar->window, SB_GETTEXTLENGTHA, 0, 0)) & (SBT_POPOUT | SBT_NOBORDERS), SBT_POPOUT);
  status_bar_set_text(0, 0, "flat", FIELD_NO_BORDER);
  EXPECT_EQ(HIWORD(SendMessageA(bar->window, SB_GETTEXTLENGTHA, 0, 0)) & (SBT_POPOUT | SBT_NOBORDERS), SBT_NOBORDERS);
  EXPECT_EQ(bar->fields[0].flags, FIELD_NO_BORDER);
}

TEST_F(StatusBarTest, RightAlignedTextEndsInFourSpacesWithVisualStyles) {
  status_bar_override_probe(0x60000, 1);
  StatusBar* bar = make_converter_bar(0, make_parent(168, 156));
  ASSERT_TRUE(status_bar_visual_styles_active());
  status_bar_set_text(0, 2, "right", FIELD_ALIGN_RIGHT);
  EXPECT_EQ(text_of(bar->window, 2), "\t\tright    ");
}

TEST_F(StatusBarTest, The257thFieldHasNoEffect) {
  create_status_bar(0, make_parent(600, 100));
  for (int i = 0; i < 257; i++) status_bar_add_field(2);
  StatusBar* bar = status_bar_lookup(0);
  EXPECT_EQ(bar->count, 256);
  EXPECT_EQ(bar->capacity, 256);
  std::vector<int> edges = parts(bar->window);
  ASSERT_EQ(edges.size(), 256u);
  EXPECT_EQ(edges.back(), 512);
}

TEST_F(StatusBarTest, MinimisedOrUnchangedSizeDoesNotLayTheBarOutAgain) {
  HWND parent = make_parent(168, 156, WS_OVERLAPPEDWINDOW);
  StatusBar* bar = make_converter_bar(0, parent);
  std::vector<int> laid_out = parts(bar->window);
  int marker[3] = {5, 6, 7};
  SendMessageA(bar->window, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(marker));
  RECT client;
  GetClientRect(parent, &client);
  SendMessageA(parent, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(client.right, client.bottom));
  SendMessageA(parent, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  EXPECT_EQ(parts(bar->window), (std::vector<int>{5, 6, 7}));
  SetWindowPos(parent, nullptr, 0, 0, 400, 200, SWP_NOMOVE | SWP_NOZORDER);
  std::vector<int> edges = parts(bar->window);
  EXPECT_NE(edges, (std::vector<int>{5, 6, 7}));
  EXPECT_NE(edges, laid_out);
  GetClientRect(parent, &client);
  EXPECT_EQ(bar->last_width, client.right);
}

class OwnerDrawnProgressTest : public StatusBarTest {
 protected:
  // Draws a field through the parent's WM_DRAWITEM into a 100 x 10 bitmap
  // and returns how many pixels of its middle row were filled.
  int filled_width(HWND parent, StatusBar* bar, int field) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 10);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 100, 10};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_STATIC;
    item.itemID = field;
    item.hwndItem = bar->window;
    item.hDC = dc;
    item.rcItem = all;
    LRESULT handled = SendMessageA(parent, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(handled, TRUE);
    int filled = 0;
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    for (int x = 0; x < 100; x++) filled += GetPixel(dc, x, 5) == highlight;
    EXPECT_NE(GetPixel(dc, 0, 5), highlight) << "the inset edge stays";
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return filled;
  }
};

TEST_F(OwnerDrawnProgressTest, FillsTheInsetRectangleInProportion) {
  status_bar_override_probe(0x50051, 1);
  HWND parent = make_parent(168, 156);
  StatusBar* bar = make_converter_bar(0, parent);
  ASSERT_FALSE(status_bar_visual_styles_active());
  status_bar_set_progress(0, 1, 0);
  EXPECT_TRUE(owner_drawn(bar->window, 1));
  EXPECT_EQ(filled_width(parent, bar, 1), 0);
  status_bar_set_progress(0, 1, 50);
  EXPECT_EQ(filled_width(parent, bar, 1), 49);  // half of the 98-pixel inset
  status_bar_set_progress(0, 1, 100);
  EXPECT_EQ(filled_width(parent, bar, 1), 98);
  status_bar_set_progress(0, 1, 250);
  EXPECT_EQ(filled_width(parent, bar, 1), 98);
  // A wide range must not overflow into a wrong width.
  status_bar_set_progress_ex(0, 1, 1500000000, 0, 0, 2000000000);
  EXPECT_EQ(filled_width(parent, bar, 1), 73);
}

TEST_F(OwnerDrawnProgressTest, TextReplacesTheBarAndTheNextProgressDrawsAgain) {
  status_bar_override_probe(0x50051, 1);
  HWND parent = make_parent(168, 156);
  StatusBar* bar = make_converter_bar(0, parent);
  status_bar_set_progress(0, 1, 30);
  ASSERT_TRUE(owner_drawn(bar->window, 1));
  status_bar_set_text(0, 1, "idle", FIELD_ALIGN_CENTRE);
  EXPECT_FALSE(owner_drawn(bar->window, 1));
  EXPECT_EQ(text_of(bar->window, 1), "\tidle");
  EXPECT_EQ(bar->fields[1].kind, FIELD_KIND_TEXT);
  status_bar_set_progress(0, 1, 31);
  EXPECT_TRUE(owner_drawn(bar->window, 1));
  EXPECT_EQ(bar->fields[1].kind, FIELD_KIND_PROGRESS);
  EXPECT_EQ(bar->fields[1].progress_control, nullptr);
}

TEST_F(OwnerDrawnProgressTest, ProgressWithoutBoundsKeepsTheStoredRange) {
  make_converter_bar(0, make_parent(168, 156));
  StatusField* field = &status_bar_lookup(0)->fields[1];
  EXPECT_EQ(field->minimum, 0);
  EXPECT_EQ(field->maximum, 100);
  status_bar_set_progress_ex(0, 1, 15, 0, 10, 20);
  status_bar_set_progress(0, 1, 12);
  EXPECT_EQ(field->minimum, 10);
  EXPECT_EQ(field->maximum, 20);
  EXPECT_EQ(field->value, 12);
}

// The parents stay hidden (Wine without a window manager takes two seconds
// to take a shown window down), so visibility is the control's own style.
bool shown(HWND control) { return (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0; }

TEST_F(StatusBarTest, ProgressControlIsShownHiddenByTextAndShownAgain) {
  status_bar_override_probe(0x60000, 1);
  StatusBar* bar = make_converter_bar(0, make_parent(168, 156));
  status_bar_set_text(0, 1, "idle", FIELD_ALIGN_CENTRE);
  status_bar_set_progress(0, 1, 40);
  HWND control = bar->fields[1].progress_control;
  ASSERT_NE(control, nullptr);
  EXPECT_TRUE(shown(control));
  EXPECT_EQ(GetParent(control), bar->window);
  EXPECT_EQ(text_of(bar->window, 1), "");
  EXPECT_EQ(SendMessageA(control, PBM_GETPOS, 0, 0), 40);
  RECT part, placed;
  SendMessageA(bar->window, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
  GetWindowRect(control, &placed);
  MapWindowPoints(nullptr, bar->window, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, part.left + 2);
  EXPECT_EQ(placed.top, part.top + 3);
  EXPECT_EQ(placed.right - placed.left, part.right - part.left - 8);
  EXPECT_EQ(placed.bottom - placed.top, part.bottom - part.top - 6);

  status_bar_set_text(0, 1, "idle", FIELD_ALIGN_CENTRE);
  EXPECT_FALSE(shown(control));
  EXPECT_EQ(text_of(bar->window, 1), "\tidle");
  EXPECT_EQ(bar->fields[1].progress_control, control) << "kept for the field";

  status_bar_set_progress(0, 1, 41);
  EXPECT_TRUE(shown(control));
  EXPECT_EQ(text_of(bar->window, 1), "");
  // Later calls only move the position on.
  status_bar_set_text(0, 1, nullptr, 0);
  SendMessageA(bar->window, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>("marker"));
  ShowWindow(control, SW_SHOWNOACTIVATE);
  status_bar_set_progress(0, 1, 77);
  EXPECT_EQ(text_of(bar->window, 1), "marker");
  EXPECT_EQ(SendMessageA(control, PBM_GETPOS, 0, 0), 77);
  EXPECT_EQ(bar->fields[1].progress_control, control);
}

TEST_F(StatusBarTest, ProbeReportsTheLibraryVersionAndThemeState) {
  status_bar_override_probe(-1, -1);
  int32_t version = common_controls_version();
  EXPECT_GE(version, 0x50000);
  using IsAppThemedProc = BOOL(WINAPI*)();
  HMODULE uxtheme = LoadLibraryA("uxtheme.dll");
  auto themed = reinterpret_cast<IsAppThemedProc>(reinterpret_cast<void*>(GetProcAddress(uxtheme, "IsAppThemed")));
  ASSERT_NE(themed, nullptr);
  EXPECT_EQ(status_bar_visual_styles_active(), themed() && version >= 0x60000);
  // The answer is cached.
  EXPECT_EQ(common_controls_version(), version);
}

TEST_F(StatusBarTest, ProbeWithoutAThemedAnswerKeepsTheFlag) {
  status_bar_override_probe(0x60000, 1);
  common_controls_version();
  ASSERT_TRUE(status_bar_visual_styles_active());
  status_bar_override_probe(0x50051, 0);
  common_controls_version();
  EXPECT_FALSE(status_bar_visual_styles_active());
}

}  // namespace
