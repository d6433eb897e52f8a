# 32-bit Windows (the shipped build) with Debian's MinGW-w64 compilers.
# Its programs need the 32-bit Wine loader (wine32:i386) to run here; cmake/wine-run.sh
# refuses them when that is missing instead of reporting a pass.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PV_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
