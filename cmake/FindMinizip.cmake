# FindMinizip: zlib's minizip (unzip.h, included as "unzip.h"), as the imported
# target Minizip::Minizip.
#
# vcpkg's minizip port installs a CMake config (unofficial-minizip); it is taken
# when found. Otherwise the headers and the library are looked up, a Release and
# a Debug library each (select_library_configurations): scripts/setup.sh's
# cross-built cache, Debian's libminizip-dev, MSYS2's minizip. Either way the
# target brings zlib (ZLIB::ZLIB) and the include folder that holds unzip.h.
include(FindPackageHandleStandardArgs)
include(SelectLibraryConfigurations)

find_package(ZLIB QUIET)
find_package(unofficial-minizip CONFIG QUIET)
find_path(Minizip_INCLUDE_DIR unzip.h PATH_SUFFIXES minizip)
if(TARGET unofficial::minizip::minizip)
  set(Minizip_LIBRARY unofficial::minizip::minizip)
  set(_minizip_how "vcpkg config unofficial-minizip")
else()
  find_library(Minizip_LIBRARY_RELEASE NAMES minizip unzip)
  find_library(Minizip_LIBRARY_DEBUG NAMES minizipd unzipd)
  select_library_configurations(Minizip)
  set(_minizip_how "library ${Minizip_LIBRARY_RELEASE}")
endif()
find_package_handle_standard_args(Minizip REQUIRED_VARS Minizip_LIBRARY Minizip_INCLUDE_DIR ZLIB_FOUND
                                  REASON_FAILURE_MESSAGE "minizip (unzip.h) and zlib are needed")

if(Minizip_FOUND AND NOT TARGET Minizip::Minizip)
  if(TARGET unofficial::minizip::minizip)
    add_library(Minizip::Minizip INTERFACE IMPORTED)
    target_link_libraries(Minizip::Minizip INTERFACE unofficial::minizip::minizip ZLIB::ZLIB)
  else()
    add_library(Minizip::Minizip UNKNOWN IMPORTED)
    if(Minizip_LIBRARY_RELEASE)
      set_property(TARGET Minizip::Minizip APPEND PROPERTY IMPORTED_CONFIGURATIONS RELEASE)
      set_target_properties(Minizip::Minizip PROPERTIES IMPORTED_LOCATION_RELEASE "${Minizip_LIBRARY_RELEASE}"
                                                        IMPORTED_LOCATION "${Minizip_LIBRARY_RELEASE}")
    endif()
    if(Minizip_LIBRARY_DEBUG)
      set_property(TARGET Minizip::Minizip APPEND PROPERTY IMPORTED_CONFIGURATIONS DEBUG)
      set_target_properties(Minizip::Minizip PROPERTIES IMPORTED_LOCATION_DEBUG "${Minizip_LIBRARY_DEBUG}")
      if(NOT Minizip_LIBRARY_RELEASE)
        set_target_properties(Minizip::Minizip PROPERTIES IMPORTED_LOCATION "${Minizip_LIBRARY_DEBUG}")
      endif()
    endif()
    set_target_properties(Minizip::Minizip PROPERTIES INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
  endif()
  target_include_directories(Minizip::Minizip INTERFACE "${Minizip_INCLUDE_DIR}")
  if(NOT Minizip_FIND_QUIETLY)
    message(STATUS "Minizip: ${_minizip_how}, headers in ${Minizip_INCLUDE_DIR}")
  endif()
endif()
mark_as_advanced(Minizip_INCLUDE_DIR Minizip_LIBRARY_RELEASE Minizip_LIBRARY_DEBUG)
