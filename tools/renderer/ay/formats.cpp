// The formats the AY engine recognises, in the order they are tried: the
// register dumps and the machine's programs with their magic words first,
// then the tracker modules, whose checks rest on the consistency of their
// headers. A format adds its
// `Format` (declared `extern const Format kXxxFormat;` in its header) as
// one line here and its source file to tools_ay in tools/CMakeLists.txt.
#include "tools/renderer/ay/asc_player.h"
#include "tools/renderer/ay/fls_player.h"
#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/ftc_player.h"
#include "tools/renderer/ay/fxm_ay_file.h"
#include "tools/renderer/ay/fxm_player.h"
#include "tools/renderer/ay/gtr_player.h"
#include "tools/renderer/ay/psc_player.h"
#include "tools/renderer/ay/psm_player.h"
#include "tools/renderer/ay/psg_dump.h"
#include "tools/renderer/ay/project_ay_format.h"
#include "tools/renderer/ay/pt1_player.h"
#include "tools/renderer/ay/pt2_player.h"
#include "tools/renderer/ay/pt3_player.h"
#include "tools/renderer/ay/sqt_player.h"
#include "tools/renderer/ay/st1_player.h"
#include "tools/renderer/ay/st3_player.h"
#include "tools/renderer/ay/stc_player.h"
#include "tools/renderer/ay/stp_player.h"
#include "tools/renderer/ay/vortex_text_player.h"
#include "tools/renderer/ay/vtx_dump.h"
#include "tools/renderer/ay/ym_dump.h"

namespace tools::ay {

const std::vector<Format>& formats() {
  static const std::vector<Format> table = {
      // Register dumps.
      kPsgFormat,
      kYmFormat,
      kVtxFormat,
      // Programs for the machine.
      kProjectAyFormat,
      kFxmAyFormat,
      // Tracker modules.
      kFxmFormat,
      kGtrFormat,
      kFtcFormat,
      kPt3Format,
      kPt2Format,
      kPt1Format,
      kStcFormat,
      kPscFormat,
      kSqtFormat,
      kAscFormat,
      kStpFormat,
      kSt1Format,
      kSt3Format,
      kPsmFormat,
      kFlsFormat,
      kVortexTextFormat,
  };
  return table;
}

}  // namespace tools::ay
