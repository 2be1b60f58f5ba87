# Shared settings of the project's scripts; sourced, never run.

# Everything downloaded or built from outside the source tree lives here, so
# that a fresh clone on the same machine reuses it.
: "${QUARVO_CACHE:=${XDG_CACHE_HOME:-$HOME/.cache}/quarvo}"
export QUARVO_CACHE

quarvo_windows_triplets=(x86_64-w64-mingw32 i686-w64-mingw32)
