# Cross-compiling velmora.exe on Linux with mingw-w64 (x86-64, posix threads).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(_host x86_64-w64-mingw32)
set(_deps mingw64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
