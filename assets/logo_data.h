// The converter's logo: a PNG of 168 x 136 pixels (RGB, 8 bits per sample)
// compiled into the program from assets/logo.png. Never changed.
#pragma once

#include <cstddef>

extern const unsigned char logo_png[];
extern const size_t logo_png_size;
