set(TAVREL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# This kernel runs no 32-bit code, so there is no emulator: the i686 tree is build-only.
