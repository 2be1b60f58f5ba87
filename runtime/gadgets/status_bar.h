// Status bars: numbered objects along the bottom edge of a window, divided
// into fields that show a text or a progress bar. Text and progress calls
// work from any thread: their messages go to the status window, which the
// GUI thread serves while it retrieves messages.
#pragma once

#include <windows.h>
#include <cstdint>

#include "runtime/window/registry.h"
#include "runtime/window/value_ignore.h"

// Style flags of the text and progress calls.
constexpr int32_t FIELD_POPOUT = 1;
constexpr int32_t FIELD_NO_BORDER = 2;
constexpr int32_t FIELD_ALIGN_CENTRE = 4;
constexpr int32_t FIELD_ALIGN_RIGHT = 8;

constexpr int32_t FIELD_KIND_TEXT = 0;
constexpr int32_t FIELD_KIND_PROGRESS = 2;

constexpr int32_t STATUS_BAR_MAX_FIELDS = 256;

struct StatusField {
  int32_t kind;
  int32_t width;             // pixels, or VALUE_IGNORE for a flexible field
  int32_t flags;
  int32_t value;
  int32_t minimum;
  int32_t maximum;
  HWND progress_control;     // made at most once, kept until the bar goes
};

struct StatusBar {
  HWND window;               // the live field: nonzero while the bar exists
  StatusField* fields;
  int32_t count;
  int32_t capacity;
  int32_t last_width;
  int32_t last_height;
};

// Creates the registry and the current-bar state. Once, at start-up.
void status_bar_library_init();

// A status bar on `parent` under `number` (a bar of that number is
// destroyed first). Returns the status window for a number, the record
// address (the bar's id) for OBJECT_ANY, 0 on failure. It becomes the
// current bar for status_bar_add_field.
INT_PTR create_status_bar(int32_t number, HWND parent);

// Appends a field (pixels, or VALUE_IGNORE) to the current bar and lays the
// fields out; no effect at 256 fields or without a current bar.
void status_bar_add_field(int32_t width);

// Shows a text (null: empty) in a field. 0 when the bar or field is unknown.
int32_t status_bar_set_text(ObjectId bar, int32_t field, const char* text, int32_t flags);

// Shows a progress value; VALUE_IGNORE bounds keep the stored ones (0..100
// when the field was added). 0 when the bar or field is unknown.
int32_t status_bar_set_progress_ex(ObjectId bar, int32_t field, int32_t value, int32_t flags,
                                   int32_t minimum, int32_t maximum);
int32_t status_bar_set_progress(ObjectId bar, int32_t field, int32_t value);

// The common controls' version, (major << 16) | minor; settles whether
// progress fields use real progress controls (visual styles) or are drawn.
int32_t common_controls_version();
bool status_bar_visual_styles_active();

// The record of a bar, or null (for tests and the runtime's own use).
StatusBar* status_bar_lookup(ObjectId bar);

// Tests stand in for the probe's answers: a version to report in place of
// DllGetVersion's (or -1 for the real one) and a themed answer in place of
// IsAppThemed's (or -1). Clears the cached version.
void status_bar_override_probe(int32_t version, int32_t themed);
