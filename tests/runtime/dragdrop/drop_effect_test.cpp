#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include "runtime/dragdrop/drop_target.h"

namespace {

struct EffectCase {
  int32_t accepted;
  int32_t offered;
  int32_t keys;
  int32_t effect;
};

constexpr int32_t COPY = DROPEFFECT_COPY, MOVE = DROPEFFECT_MOVE, LINK = DROPEFFECT_LINK;

TEST(ChooseDropEffect, ModifiersAcceptedActionsAndOfferedEffectsDecide) {
  const EffectCase cases[] = {
      // All three accepted and offered: the keys decide.
      {7, 7, 0, COPY},
      {7, 7, MK_CONTROL, COPY},
      {7, 7, MK_SHIFT, MOVE},
      {7, 7, MK_CONTROL | MK_SHIFT, LINK},
      {7, 7, MK_ALT, LINK},
      // Mouse buttons do not count, whichever is held.
      {7, 7, MK_LBUTTON, COPY},
      {7, 7, MK_RBUTTON | MK_SHIFT, MOVE},
      {7, 7, MK_MBUTTON | MK_LBUTTON | MK_ALT, LINK},
      // Other combinations are no link request.
      {7, 7, MK_ALT | MK_SHIFT, COPY},
      {7, 7, MK_ALT | MK_CONTROL, COPY},
      {7, 7, MK_ALT | MK_CONTROL | MK_SHIFT, COPY},
      // Only what both sides allow is chosen from.
      {7, COPY, MK_SHIFT, COPY},
      {7, COPY, MK_ALT, COPY},
      {COPY, 7, MK_SHIFT, COPY},
      {7, MOVE, 0, MOVE},
      {7, MOVE | LINK, 0, MOVE},
      {7, COPY | LINK, MK_SHIFT, COPY},
      {7, COPY | LINK, MK_ALT, LINK},
      {MOVE, 7, MK_ALT, MOVE},
      {LINK, 7, 0, LINK},
      {LINK, LINK, MK_SHIFT, LINK},
      // Nothing in common: no effect.
      {COPY, MOVE | LINK, 0, 0},
      {7, 0, MK_SHIFT, 0},
      {0, 7, 0, 0},
      // Bits beyond the three effects are ignored.
      {static_cast<int32_t>(7 | DROPEFFECT_SCROLL), 0x10, 0, 0},
  };
  for (const EffectCase& c : cases) {
    EXPECT_EQ(choose_drop_effect(c.accepted, c.offered, c.keys), c.effect)
        << "accepted " << c.accepted << ", offered " << c.offered << ", keys " << c.keys;
  }
}

}  // namespace
