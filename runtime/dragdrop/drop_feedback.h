// What a drop target shows while something is dragged over it. Windows
// show nothing; list boxes, list views and tree views accepting drops mark
// the item under the cursor and select it on the drop.
#pragma once

#include <cstdint>

#include "runtime/dragdrop/drop_target.h"

constexpr int32_t FEEDBACK_ACCEPTED = 1;  // over the target, the drop would be taken
constexpr int32_t FEEDBACK_REFUSED = 2;   // over the target, the drop would be refused
constexpr int32_t FEEDBACK_DROPPED = 3;
constexpr int32_t FEEDBACK_CLEARED = 4;   // the drag left, or the drop failed

// Gadget types whose controls draw drop feedback: one on a list box, two
// on list views, two on tree views.
constexpr int32_t GADGET_TYPE_LIST_BOX = 6;
inline bool is_list_view_type(int32_t type) { return type == 12 || type == 23; }
inline bool is_tree_view_type(int32_t type) { return type == 24 || type == 27; }

// (x, y) in the target window's client coordinates.
void draw_drop_feedback(DropTarget* target, int32_t x, int32_t y, int32_t mode);
