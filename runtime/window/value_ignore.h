// The "leave it to the system" value shared by the window and status-bar
// calls: a flexible status-field width, a progress bound to keep, or a
// window coordinate for which Windows picks the default position.
#pragma once

#include <cstdint>

constexpr int32_t VALUE_IGNORE = -65535;
