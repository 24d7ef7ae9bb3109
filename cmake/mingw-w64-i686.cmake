# Cross-compiling velmora.exe on Linux with mingw-w64 for x86 (32-bit, posix
# threads): the build that can carry a 32-bit skin library. As
# mingw-w64-x86_64.cmake, with the i686 compiler and its own cross libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR X86)
set(_host i686-w64-mingw32)
set(CMAKE_C_COMPILER ${_host}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_host}-g++-posix)
set(CMAKE_RC_COMPILER ${_host}-windres)
# The cross-built libraries live outside the repo (scripts/setup.sh puts them there).
if(NOT DEFINED VELMORA_DEPS)
  if(DEFINED ENV{VELMORA_DEPS})
    set(VELMORA_DEPS $ENV{VELMORA_DEPS})
  else()
    set(VELMORA_DEPS /var/cache/velmora-deps)
  endif()
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${_host} ${VELMORA_DEPS}/mingw32)
set(CMAKE_PREFIX_PATH ${VELMORA_DEPS}/mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
