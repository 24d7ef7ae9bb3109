# Cross-compiling velmora.exe on Linux with mingw-w64 for x86 (32-bit, posix
# threads): the build that can carry a 32-bit skin library.
set(CMAKE_SYSTEM_PROCESSOR X86)
set(_host i686-w64-mingw32)
set(_deps mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
