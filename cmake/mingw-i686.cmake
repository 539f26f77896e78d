set(TAVREL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# This kernel runs no 32-bit code: the test programs run in the 32-bit Wine environment, a chroot
# whose i386 Wine loader runs under qemu-i386 (tools/wine32-env, set up by ./dev).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine32-run)
