// Image gadgets from each kind of picture: their control, their size, the
// alpha copy they keep, the image messages, their numbers and their end.
#include "tests/runtime/gadgets/image_gadget_fixture.h"

#include <commctrl.h>

#include "runtime/window/alpha_blend.h"
#include "runtime/window/gadget_list.h"

namespace {

uint32_t grey_ramp(int x, int y) { return 0xFF000000u | ((x * 7 + y * 3) & 0xFF) * 0x010101u; }

class ImageGadgetCreationTest : public ImageGadgetTest {
 protected:
  HBITMAP opaque(int w, int h) { return keep(make_section(w, h, 24, grey_ramp)); }
  // Straight alpha (128, blue 200, green 100, red 50) on the left half, opaque on the right.
  HBITMAP with_alpha(int w, int h) {
    return keep(make_section(w, h, 32, [w](int x, int) { return x < w / 2 ? 0x803264C8u : 0xFF102030u; }));
  }
  static SIZE size_of(HWND control) {
    RECT r = rect_in_parent(control);
    return {r.right - r.left, r.bottom - r.top};
  }
};

TEST_F(ImageGadgetCreationTest, AnOpaqueBitmapGivesAStaticOfItsOwnSizeAtTheGivenPlace) {
  HBITMAP logo_sized = opaque(168, 136);
  INT_PTR result = create_image_gadget(0, 0, 0, 168, 136, logo_sized);
  auto control = reinterpret_cast<HWND>(result);
  ASSERT_TRUE(IsWindow(control));
  char name[32] = {};
  GetClassNameA(control, name, sizeof name);
  EXPECT_EQ(_stricmp(name, "STATIC"), 0) << name;
  EXPECT_EQ(GetParent(control), window_);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE)), 0x50000100u);
  EXPECT_EQ(GetWindowLongPtrA(control, GWLP_ID), 0);
  EXPECT_EQ(GetWindowLongPtrA(control, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(common_gadget_proc));
  RECT r = rect_in_parent(control);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(size_of(control).cx, 168);
  EXPECT_EQ(size_of(control).cy, 136);

  Gadget* gadget = record_of(control);
  ASSERT_NE(gadget, nullptr);
  EXPECT_EQ(gadget->previous_proc, image_gadget_proc);
  EXPECT_EQ(gadget->type->type_code, GADGET_TYPE_IMAGE);
  EXPECT_EQ(gadget->type->notify_handler, nullptr);
  EXPECT_EQ(gadget->image, logo_sized);
  EXPECT_EQ(gadget->alpha_copy, nullptr);
  EXPECT_EQ(gadget->type->get_state(gadget), reinterpret_cast<INT_PTR>(logo_sized));

  // Any other size given gives way to the bitmap's, at the same place.
  auto moved = reinterpret_cast<HWND>(create_image_gadget(1, 30, 40, 5, 500, opaque(64, 48)));
  EXPECT_EQ(rect_in_parent(moved).left, 30);
  EXPECT_EQ(rect_in_parent(moved).top, 40);
  EXPECT_EQ(size_of(moved).cx, 64);
  EXPECT_EQ(size_of(moved).cy, 48);

  // A client edge adds its two pixels on each side.
  auto edged = reinterpret_cast<HWND>(create_image_gadget_ex(2, 0, 0, 168, 136, logo_sized, WS_EX_CLIENTEDGE));
  EXPECT_EQ(size_of(edged).cx, 172);
  EXPECT_EQ(size_of(edged).cy, 140);
  RECT client;
  GetClientRect(edged, &client);
  EXPECT_EQ(client.right, 168);
  EXPECT_EQ(client.bottom, 136);

  // A device bitmap is as opaque as a 24-bit section.
  HDC screen = GetDC(nullptr);
  HBITMAP device = keep(CreateCompatibleBitmap(screen, 20, 10));
  ReleaseDC(nullptr, screen);
  auto from_device = reinterpret_cast<HWND>(create_image_gadget(3, 0, 0, 1, 1, device));
  EXPECT_EQ(size_of(from_device).cx, 20);
  EXPECT_EQ(record_of(from_device)->alpha_copy, nullptr);
}

TEST_F(ImageGadgetCreationTest, AnAlphaBitmapIsShownThroughAPremultipliedCopyOfItsOwn) {
  HBITMAP image = with_alpha(40, 30);
  auto control = reinterpret_cast<HWND>(create_image_gadget(0, 5, 5, 10, 10, image));
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(size_of(control).cx, 40);
  EXPECT_EQ(size_of(control).cy, 30);
  Gadget* gadget = record_of(control);
  HBITMAP copy = gadget->alpha_copy;
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, image);
  EXPECT_EQ(section_pixel(copy, 0, 0), 0x80193264u);   // 200, 100, 50 at 128 -> 100, 50, 25
  EXPECT_EQ(section_pixel(copy, 39, 29), 0xFF102030u);
  EXPECT_EQ(section_pixel(image, 0, 0), 0x803264C8u);  // the caller's picture is left as it was

  // A new picture replaces the copy; the old one is deleted at once.
  HBITMAP other = with_alpha(40, 30);
  SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(other));
  EXPECT_EQ(GetObjectType(copy), 0u);
  HBITMAP second_copy = gadget->alpha_copy;
  ASSERT_NE(second_copy, nullptr);
  SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(opaque(8, 8)));
  EXPECT_EQ(GetObjectType(second_copy), 0u);
  EXPECT_EQ(gadget->alpha_copy, nullptr);
  EXPECT_EQ(GetObjectType(image), static_cast<DWORD>(OBJ_BITMAP));
}

TEST_F(ImageGadgetCreationTest, WithoutAlphaBlendingAnAlphaBitmapIsShownAsItIs) {
  AlphaBlendProc saved = alpha_blend_entry;
  alpha_blend_entry = nullptr;
  auto control = reinterpret_cast<HWND>(create_image_gadget(0, 0, 0, 1, 1, with_alpha(16, 8)));
  alpha_blend_entry = saved;
  EXPECT_EQ(record_of(control)->alpha_copy, nullptr);
  EXPECT_EQ(size_of(control).cx, 16);
  // Drawn by DrawState, the pixels land unblended.
  Canvas canvas(16, 8, 0x00FFFFFF);
  SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
  EXPECT_EQ(canvas.at(15, 0), 0x102030u);
  EXPECT_EQ(canvas.at(0, 0), 0x3264C8u);
}

TEST_F(ImageGadgetCreationTest, AnIconTakesTheSizeOfItsColourBitmapAMonochromeOneOfItsMask) {
  HICON icon = keep(make_icon(32, 24, 24, grey_ramp, [](int, int) { return false; }));
  auto control = reinterpret_cast<HWND>(create_image_gadget(0, 0, 0, 1, 1, icon));
  EXPECT_EQ(size_of(control).cx, 32);
  EXPECT_EQ(size_of(control).cy, 24);
  EXPECT_EQ(record_of(control)->alpha_copy, nullptr);
  auto edged = reinterpret_cast<HWND>(create_image_gadget_ex(1, 0, 0, 1, 1, icon, WS_EX_CLIENTEDGE));
  EXPECT_EQ(size_of(edged).cx, 36);
  EXPECT_EQ(size_of(edged).cy, 28);

  // AND mask over XOR mask, 16 x 16.
  std::vector<uint8_t> and_bits(2 * 16, 0xFF), xor_bits(2 * 16, 0x00);
  HICON mono = keep(CreateIcon(GetModuleHandleA(nullptr), 16, 16, 1, 1, and_bits.data(), xor_bits.data()));
  ASSERT_NE(mono, nullptr);
  auto from_mono = reinterpret_cast<HWND>(create_image_gadget(2, 0, 0, 1, 1, mono));
  EXPECT_EQ(size_of(from_mono).cx, 16);
  EXPECT_EQ(size_of(from_mono).cy, 16);
}

TEST_F(ImageGadgetCreationTest, SettingAPictureAnswersItAndAskingGivesTheOneShown) {
  HBITMAP first = opaque(20, 10);
  HBITMAP second = opaque(30, 12);
  HICON icon = keep(make_icon(16, 16, 24, grey_ramp, [](int, int) { return false; }));
  auto control = reinterpret_cast<HWND>(create_image_gadget(0, 0, 0, 1, 1, first));
  EXPECT_EQ(SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0), reinterpret_cast<LRESULT>(first));
  // The new handle comes back, not the one it replaces; wParam is not looked at.
  EXPECT_EQ(SendMessageA(control, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(second)),
            reinterpret_cast<LRESULT>(second));
  EXPECT_EQ(size_of(control).cx, 30);
  EXPECT_EQ(SendMessageA(control, STM_SETICON, reinterpret_cast<WPARAM>(first), reinterpret_cast<LPARAM>(icon)),
            reinterpret_cast<LRESULT>(icon));
  EXPECT_EQ(SendMessageA(control, STM_GETICON, 0, 0), reinterpret_cast<LRESULT>(icon));
  EXPECT_EQ(size_of(control).cx, 16);
  Gadget* gadget = record_of(control);
  EXPECT_EQ(gadget->type->set_state(gadget, reinterpret_cast<INT_PTR>(first)), reinterpret_cast<INT_PTR>(first));
  EXPECT_EQ(gadget->type->get_state(gadget), reinterpret_cast<INT_PTR>(first));

  // None: nothing shown, the size kept.
  SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(with_alpha(50, 50)));
  HBITMAP copy = gadget->alpha_copy;
  EXPECT_EQ(SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, 0), 0);
  EXPECT_EQ(SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  EXPECT_EQ(size_of(control).cx, 50);
  EXPECT_EQ(size_of(control).cy, 50);
  EXPECT_EQ(GetObjectType(copy), 0u);
  EXPECT_EQ(gadget->alpha_copy, nullptr);
  Canvas canvas(50, 50, 0x00123456);
  SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
  EXPECT_EQ(canvas.at(25, 25), 0x123456u);
  // No picture from the start: the given size stays.
  auto empty = reinterpret_cast<HWND>(create_image_gadget(1, 0, 0, 33, 44, nullptr));
  EXPECT_EQ(size_of(empty).cx, 33);
  EXPECT_EQ(size_of(empty).cy, 44);
}

TEST_F(ImageGadgetCreationTest, AnUnnumberedGadgetIsKnownByItsRecordAddressEverywhere) {
  INT_PTR id = create_image_gadget(OBJECT_ANY, 0, 0, 1, 1, opaque(12, 12));
  ASSERT_NE(id, 0);
  auto* gadget = static_cast<Gadget*>(registry_lookup(gadget_registry(), id));
  ASSERT_NE(gadget, nullptr);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(gadget), id);
  HWND control = gadget->window;
  EXPECT_EQ(GetWindowLongPtrA(control, GWLP_ID), id);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropA(control, "XR_ID")), id);
  EXPECT_EQ(record_of(control), gadget);
  // The messages find it by the whole pointer-wide id.
  EXPECT_EQ(SendMessageA(control, STM_GETIMAGE, 0, 0), reinterpret_cast<LRESULT>(gadget->image));
  PostMessageA(control, WM_RBUTTONUP, 0, MAKELPARAM(3, 3));
  PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  std::vector<SeenEvent> seen = events_until_idle();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].object, id);
  EXPECT_EQ(seen[0].type, IMAGE_EVENT_RIGHT_CLICK);
  EXPECT_EQ(seen[1].object, id);
  EXPECT_EQ(seen[1].type, STN_CLICKED);
  EXPECT_EQ(seen[1].window, 1);
  ReleaseCapture();

  DestroyWindow(control);
  EXPECT_EQ(registry_lookup(gadget_registry(), id), nullptr);
}

TEST_F(ImageGadgetCreationTest, NothingIsMadeWithoutAGadgetListOrWithANumberBelowAny) {
  HWND before = GetWindow(window_, GW_CHILD);
  EXPECT_EQ(create_image_gadget(-2, 0, 0, 10, 10, nullptr), 0);
  EXPECT_EQ(GetWindow(window_, GW_CHILD), before);

  close_all_windows();
  EXPECT_EQ(use_gadget_list(nullptr), nullptr);
  EXPECT_EQ(create_image_gadget(7, 0, 0, 10, 10, opaque(4, 4)), 0);
  EXPECT_EQ(registry_lookup(gadget_registry(), 7), nullptr);
}

TEST_F(ImageGadgetCreationTest, DestroyingTheControlFreesTheCopyAndTheNumberButNotThePicture) {
  HBITMAP image = with_alpha(20, 20);
  auto control = reinterpret_cast<HWND>(create_image_gadget(3, 0, 0, 1, 1, image));
  HBITMAP copy = record_of(control)->alpha_copy;
  ASSERT_EQ(GetObjectType(copy), static_cast<DWORD>(OBJ_BITMAP));
  DestroyWindow(control);
  EXPECT_EQ(GetObjectType(copy), 0u);
  EXPECT_EQ(GetObjectType(image), static_cast<DWORD>(OBJ_BITMAP));
  EXPECT_EQ(registry_lookup(gadget_registry(), 3), nullptr);

  // With its window, by number reuse: each way the copy goes.
  control = reinterpret_cast<HWND>(create_image_gadget(3, 0, 0, 1, 1, image));
  copy = record_of(control)->alpha_copy;
  create_image_gadget(3, 0, 0, 1, 1, nullptr);
  EXPECT_EQ(GetObjectType(copy), 0u);
  control = reinterpret_cast<HWND>(create_image_gadget(4, 0, 0, 1, 1, image));
  copy = record_of(control)->alpha_copy;
  close_window(1);
  EXPECT_FALSE(IsWindow(control));
  EXPECT_EQ(GetObjectType(copy), 0u);
  EXPECT_EQ(registry_lookup(gadget_registry(), 4), nullptr);
  EXPECT_EQ(GetObjectType(image), static_cast<DWORD>(OBJ_BITMAP));
}

}  // namespace
