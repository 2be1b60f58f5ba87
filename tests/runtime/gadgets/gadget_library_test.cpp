// The gadget library's own state: the context and registry it hands to the
// window system, the reuse of a number, and shutdown.
#include "tests/runtime/gadgets/image_gadget_fixture.h"

#include "runtime/window/gadget_list.h"

namespace {

class GadgetLibraryTest : public ImageGadgetTest {};

TEST_F(GadgetLibraryTest, ContextStartsWithTheStockFontAndAnEmptyTenEntryListStack) {
  const GadgetContext& start = context_at_start;
  EXPECT_EQ(start.gadget_font, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  EXPECT_EQ(start.gadget_font, default_gadget_font());
  EXPECT_EQ(start.current_list, nullptr);
  EXPECT_EQ(start.cleared_on_attach, 0);
  EXPECT_EQ(start.list_stack_count, 0);
  EXPECT_EQ(start.list_stack_capacity, 10);
  EXPECT_EQ(start.aux_window, nullptr);
  EXPECT_NE(start.list_stack, nullptr);
  EXPECT_EQ(stack_bytes_at_start, 10 * sizeof(HWND));
  EXPECT_TRUE(stack_zero_at_start);

  ObjectRegistry* registry = gadget_registry();
  ASSERT_NE(registry, nullptr);
  EXPECT_EQ(registry->element_size, static_cast<int32_t>(sizeof(Gadget)));
  EXPECT_EQ(registry->growth_step, 50);
}

TEST_F(GadgetLibraryTest, NewGadgetsGoIntoTheNewestWindowWithTheGadgetFont) {
  EXPECT_EQ(use_gadget_list(nullptr), window_);
  auto control = reinterpret_cast<HWND>(create_image_gadget(1, 0, 0, 10, 10, nullptr));
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(GetParent(control), window_);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), default_gadget_font());
  EXPECT_EQ(gadget_context()->cleared_on_attach, 0);

  HWND second = reinterpret_cast<HWND>(open_window(2, 0, 0, 100, 100, "second", WINDOW_INVISIBLE));
  auto in_second = reinterpret_cast<HWND>(create_image_gadget(2, 0, 0, 10, 10, nullptr));
  EXPECT_EQ(GetParent(in_second), second);
}

TEST_F(GadgetLibraryTest, ReusingANumberDestroysTheGadgetThatHeldIt) {
  auto first = reinterpret_cast<HWND>(create_image_gadget(4, 0, 0, 10, 10, nullptr));
  auto second = reinterpret_cast<HWND>(create_image_gadget(4, 20, 0, 10, 10, nullptr));
  EXPECT_FALSE(IsWindow(first));
  ASSERT_TRUE(IsWindow(second));
  EXPECT_EQ(record_of(second), registry_lookup(gadget_registry(), 4));

  // Numbers past the registry's first 50 slots grow it.
  auto distant = reinterpret_cast<HWND>(create_image_gadget(120, 0, 0, 10, 10, nullptr));
  ASSERT_NE(distant, nullptr);
  EXPECT_EQ(GetWindowLongPtrA(distant, GWLP_ID), 120);
  EXPECT_EQ(record_of(distant)->window, distant);
  EXPECT_EQ(record_of(second)->window, second);
}

TEST_F(GadgetLibraryTest, ShutdownDestroysTheAuxiliaryWindowOnce) {
  gadget_library_shutdown();  // none made: nothing happens
  EXPECT_TRUE(IsWindow(window_));

  HWND aux = CreateWindowExA(0, "STATIC", "aux", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(aux, nullptr);
  gadget_context()->aux_window = aux;
  gadget_library_shutdown();
  EXPECT_FALSE(IsWindow(aux));
  EXPECT_EQ(gadget_context()->aux_window, nullptr);
  // Gadgets are not the library's to end: they go with their windows.
  auto control = reinterpret_cast<HWND>(create_image_gadget(5, 0, 0, 10, 10, nullptr));
  gadget_library_shutdown();
  EXPECT_TRUE(IsWindow(control));
  close_window(1);
  EXPECT_FALSE(IsWindow(control));
  EXPECT_EQ(registry_lookup(gadget_registry(), 5), nullptr);
}

}  // namespace
