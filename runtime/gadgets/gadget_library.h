// The gadget library: the registry of numbered gadgets, the context that
// says in which window new gadgets go and with which font, and the common
// controls every gadget type may need. The window system reaches both
// through gadget_registry() and gadget_context() (gadget_plumbing.h).
// GUI thread only.
#pragma once

#include <cstdint>

#include "runtime/window/gadget_plumbing.h"

// Type numbers of the gadget types, as GadgetType::type_code and as drop
// targets report them.
constexpr int32_t GADGET_TYPE_IMAGE = 9;

// Creates the gadget registry (growth step 50; a reused number destroys the
// control that held it) and the gadget context (default GUI font, a
// 10-entry gadget-list stack), hands both to the window system and
// registers the common control classes. Once, at start-up, after
// window_library_init.
void gadget_library_init();

// Destroys the context's auxiliary window, if one was made. At shutdown,
// before the windows are closed; gadgets themselves go with their windows.
void gadget_library_shutdown();

// The stock font every new gadget is given.
HFONT default_gadget_font();
