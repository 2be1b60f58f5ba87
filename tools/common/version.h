// The tools' own version, shown in their usage and written into tags.
#pragma once

#define TOOLS_VERSION "1.0"
