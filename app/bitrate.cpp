#include "app/bitrate.h"

#include <windows.h>

#include "app/converter_state.h"
#include "runtime/base/code_page.h"
#include "runtime/base/string_functions.h"
#include "runtime/base/string_workspace.h"
#include "runtime/gadgets/requester.h"
#include "runtime/gadgets/status_bar.h"

// Any whole number in this range is taken, not only the rates MP3 names:
// the encoder rounds to the nearest one it has.
static constexpr int32_t LOWEST_RATE = 56;
static constexpr int32_t HIGHEST_RATE = 320;
static constexpr int32_t FALLBACK_RATE = 128;

// The requester's caption (UTF-8, as every text of the converter).
static const char BITRATE_TITLE[] = "Укажи желаемый битрейт mp3";

int32_t bitrate_from_entry(const char* entry) {
  // Taken as 32 bits, as the rate is stored: a huge entry wraps and is then
  // most likely out of range like any other nonsense.
  auto rate = static_cast<int32_t>(text_to_int(entry));
  return rate < LOWEST_RATE || rate > HIGHEST_RATE ? FALLBACK_RATE : rate;
}

void ask_bitrate() {
  // The default is copied out of the workspace: the requester builds its
  // own texts there while it holds it.
  char default_text[16];
  wsprintfA(default_text, "%d", static_cast<int>(converter_state.bitrate_kbit.load()));
  char title[96];
  ansi_from_utf8(BITRATE_TITLE, title, sizeof title);
  int32_t s = workspace_position();
  input_requester(title, "", default_text, s);
  int32_t rate = bitrate_from_entry(workspace_pointer(s));
  converter_state.bitrate_kbit.store(rate);
  workspace_truncate(s);
  int_to_text(rate, s);
  workspace_append(" kbit");
  status_bar_set_text(0, 0, workspace_pointer(s), FIELD_ALIGN_CENTRE);
  workspace_truncate(s);
}
