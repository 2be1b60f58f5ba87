# Shared part of the MinGW-w64 cross toolchains; the per-target files set
# QUARVO_TRIPLET and include this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUARVO_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARVO_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARVO_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUARVO_TRIPLET})

# Libraries built by scripts/setup, one prefix per library.
if(DEFINED ENV{QUARVO_CACHE})
  set(QUARVO_CACHE $ENV{QUARVO_CACHE})
elseif(DEFINED ENV{XDG_CACHE_HOME})
  set(QUARVO_CACHE $ENV{XDG_CACHE_HOME}/quarvo)
else()
  set(QUARVO_CACHE $ENV{HOME}/.cache/quarvo)
endif()
set(QUARVO_DEPS_DIR ${QUARVO_CACHE}/deps/${QUARVO_TRIPLET})
file(GLOB _quarvo_dep_links LIST_DIRECTORIES true ${QUARVO_DEPS_DIR}/*)
foreach(_link IN LISTS _quarvo_dep_links)
  # The unversioned names are links to the current build of each library.
  if(IS_SYMLINK ${_link})
    list(APPEND CMAKE_FIND_ROOT_PATH ${_link})
  endif()
endforeach()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs that need no MinGW runtime DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine through the project's wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
