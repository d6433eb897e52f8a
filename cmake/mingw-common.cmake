# Shared part of the MinGW-w64 toolchain files; the caller sets PV_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix-threads variants give std::thread and std::mutex; fall back to the plain names
# where a distribution ships only those.
find_program(PV_MINGW_CC NAMES ${PV_MINGW_TRIPLE}-gcc-posix ${PV_MINGW_TRIPLE}-gcc REQUIRED)
find_program(PV_MINGW_CXX NAMES ${PV_MINGW_TRIPLE}-g++-posix ${PV_MINGW_TRIPLE}-g++ REQUIRED)
find_program(PV_MINGW_RC NAMES ${PV_MINGW_TRIPLE}-windres REQUIRED)
set(CMAKE_C_COMPILER ${PV_MINGW_CC})
set(CMAKE_CXX_COMPILER ${PV_MINGW_CXX})
set(CMAKE_RC_COMPILER ${PV_MINGW_RC})

# Look for headers, libraries and packages of the target only, never the Linux host's
# (so the host's GoogleTest is not picked up), but run host programs.
set(CMAKE_FIND_ROOT_PATH /usr/${PV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and other cross-built programs run under Wine, with a prefix inside the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
