#include "runtime/window/shortcut_table.h"

#include <richedit.h>

#include "runtime/window/window.h"

static bool key_down(int key) { return (GetKeyState(key) & 0x80) != 0; }

// A writable rich-edit control takes a plain Tab as text.
static bool rich_edit_wants_tab(HWND focus) {
  if (!key_down(VK_TAB) || key_down(VK_CONTROL) || key_down(VK_SHIFT) || key_down(VK_MENU)) return false;
  char name[5] = {};
  GetClassNameA(focus, name, sizeof name);
  if (name[0] != 'R' || name[1] != 'i' || name[2] != 'c' || name[3] != 'h') return false;
  return !(SendMessageA(focus, EM_GETOPTIONS, 0, 0) & ECO_READONLY);
}

HACCEL shortcut_table(HWND window) {
  HWND focus = GetFocus();
  if (focus) {
    if (rich_edit_wants_tab(focus)) return nullptr;
    // A hotkey control takes every combination, Tab included.
    if (GetPropA(focus, "XR_Hotkey")) return nullptr;
  }
  WindowRecord* record = window_lookup(window_id_of(window));
  return record ? record->accelerator_table : nullptr;
}
