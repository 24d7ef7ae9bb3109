# What both mingw-w64 toolchain files share: the compilers of _host (the
# posix-thread ones Debian ships as <host>-gcc-posix, unless the configure names
# others with -DCMAKE_C_COMPILER=...), and where the target's files are looked
# for. Where the cross-built libraries are is no business of this file: it is
# the cache variable VELMORA_DEPS_PREFIX (CMakeLists.txt), which the configure
# adds to the search.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT CMAKE_C_COMPILER)
  set(CMAKE_C_COMPILER ${_host}-gcc-posix)
endif()
if(NOT CMAKE_CXX_COMPILER)
  set(CMAKE_CXX_COMPILER ${_host}-g++-posix)
endif()
if(NOT CMAKE_RC_COMPILER)
  set(CMAKE_RC_COMPILER ${_host}-windres)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${_host})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
