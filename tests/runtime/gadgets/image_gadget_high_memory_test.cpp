// 64-bit programs only: unnumbered gadgets whose record, and so whose id,
// lies above 4 GB. Wine places the runtime heap low, where a truncated id
// would still work; the whole address space below 4 GB is reserved here
// before the heap is made, so every record lands above it.
#include "tests/runtime/gadgets/image_gadget_fixture.h"

#include <commctrl.h>

namespace {

constexpr uintptr_t FOUR_GB = uintptr_t(1) << 32;

// Runs at static initialisation, before the test environment creates the
// runtime heap.
bool reserve_low_memory() {
  MEMORY_BASIC_INFORMATION region;
  for (uintptr_t at = 0x10000; at < FOUR_GB && VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region);
       at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize) {
    if (region.State != MEM_FREE) continue;
    SIZE_T size = region.RegionSize;
    uintptr_t base = reinterpret_cast<uintptr_t>(region.BaseAddress);
    if (base + size > FOUR_GB) size = FOUR_GB - base;
    // Free regions may start off the 64 KB allocation grain.
    uintptr_t aligned = (base + 0xFFFF) & ~uintptr_t(0xFFFF);
    if (aligned < base + size) VirtualAlloc(reinterpret_cast<void*>(aligned), base + size - aligned, MEM_RESERVE,
                                            PAGE_NOACCESS);
  }
  return true;
}

const bool reserved = reserve_low_memory();

class HighMemoryGadgetTest : public ImageGadgetTest {};

TEST_F(HighMemoryGadgetTest, AnIdAboveFourGigabytesReachesTheRecordAndComesBackWithEvents) {
  ASSERT_TRUE(reserved);
  HBITMAP picture = keep(make_section(24, 16, 32, [](int, int) { return 0x80FF0000u; }));
  INT_PTR id = create_image_gadget(OBJECT_ANY, 4, 4, 1, 1, picture);
  ASSERT_GE(static_cast<uintptr_t>(id), FOUR_GB);
  auto* gadget = static_cast<Gadget*>(registry_lookup(gadget_registry(), id));
  ASSERT_NE(gadget, nullptr);
  HWND control = gadget->window;
  EXPECT_EQ(GetWindowLongPtrA(control, GWLP_ID), id);
  // The procedure found its record: the picture took its size and its copy.
  RECT r;
  GetClientRect(control, &r);
  EXPECT_EQ(r.right, 24);
  EXPECT_NE(gadget->alpha_copy, nullptr);
  EXPECT_EQ(SendMessageA(control, STM_GETIMAGE, 0, 0), reinterpret_cast<LRESULT>(picture));

  PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  PostMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 2));
  PostMessageA(control, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
  std::vector<SeenEvent> seen = events_until_idle();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].type, STN_CLICKED);
  EXPECT_EQ(seen[1].type, IMAGE_EVENT_DRAG_START);
  EXPECT_EQ(seen[2].type, IMAGE_EVENT_LEFT_DOUBLE_CLICK);
  for (const SeenEvent& e : seen) EXPECT_EQ(e.object, id);

  HBITMAP copy = gadget->alpha_copy;
  DestroyWindow(control);
  EXPECT_EQ(GetObjectType(copy), 0u);
  EXPECT_EQ(registry_lookup(gadget_registry(), id), nullptr);
}

}  // namespace
