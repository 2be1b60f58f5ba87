#include "app/logo.h"

#include "assets/logo_data.h"
#include "runtime/gadgets/image_gadget.h"
#include "runtime/image/image.h"

static constexpr int32_t LOGO_IMAGE = 0;
static constexpr int32_t LOGO_GADGET = 0;
static constexpr int32_t LOGO_WIDTH = 168;
static constexpr int32_t LOGO_HEIGHT = 136;

void show_logo() {
  // The real length, not "unknown": a damaged copy then fails to decode
  // instead of being read past its end.
  image_from_memory(LOGO_IMAGE, logo_png, static_cast<int32_t>(logo_png_size));
  create_image_gadget(LOGO_GADGET, 0, 0, LOGO_WIDTH, LOGO_HEIGHT, image_handle(LOGO_IMAGE));
}
