// Shared between the status bar's files; not part of its interface.
#pragma once

#include "runtime/gadgets/status_bar.h"

extern ObjectRegistry* g_status_bars;

// Right edges for the current fields, sent with SB_SETPARTS; progress
// controls follow their fields when visual styles are active.
void status_bar_layout(StatusBar* bar);

// Fills the owner-drawn progress of one field.
void draw_owner_progress(const StatusField* field, const DRAWITEMSTRUCT* item);

// Sent to the status window so that a progress control is made by the GUI
// thread, which serves it, whatever thread shows the first progress.
UINT status_bar_make_progress_message();
