// Drop targets on gadgets: the target sits on the gadget's own control and
// its drop event goes to the runtime window that holds the control.
#pragma once

#include <windows.h>

// Puts every button of the gadget's parent that overlaps the gadget and is
// no plain push button (default buttons, check boxes, radio buttons, group
// boxes) directly behind the gadget, so that the drag reaches the gadget.
// Only the children the parent lists before the gadget are looked at.
void lower_overlapping_buttons(HWND gadget);
