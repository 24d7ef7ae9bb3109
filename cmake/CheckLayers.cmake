# Fails when a source includes a folder of a higher layer. Layers, lowest first:
#   text/                       includes nothing of ours
#   platform/                   text/
#   ui/                         text/ platform/
#   app/ net/ zip/ image/       text/ platform/ ui/
#   catalogue/ update/ skin/    may add app/ net/ zip/ image/
#   shell/                      anything; included by nobody
# A folder may include itself (its win32/ half included); folders of one layer
# do not include each other, so there are no cycles. Tests and benchmarks may
# include anything but shell/.
# Run as: cmake -DSOURCE_DIR=<src> [-DSTAMP=<file>] -P CheckLayers.cmake
cmake_policy(SET CMP0057 NEW)
set(_lower_text "")
set(_lower_platform text)
set(_lower_ui text platform)
set(_lower_app text platform ui)
set(_lower_net text platform ui)
set(_lower_zip text platform ui)
set(_lower_image text platform ui)
set(_lower_catalogue text platform ui app net zip image)
set(_lower_update text platform ui app net zip image)
set(_lower_skin text platform ui app net zip image)
set(_ours text platform ui app net zip image catalogue update skin shell)

set(_faults "")
foreach(folder text platform ui app net zip image catalogue update skin tests bench)
  file(GLOB_RECURSE _files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  if(folder STREQUAL "tests" OR folder STREQUAL "bench")
    set(_allowed text platform ui app net zip image catalogue update skin)
  else()
    set(_allowed ${folder} ${_lower_${folder}})
  endif()
  foreach(f ${_files})
    file(STRINGS ${f} _includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
    foreach(line ${_includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" inc "${line}")
      if(inc MATCHES "^([A-Za-z0-9_]+)/")
        set(top ${CMAKE_MATCH_1})
        if(top IN_LIST _ours AND NOT top IN_LIST _allowed)
          file(RELATIVE_PATH rel ${SOURCE_DIR} ${f})
          string(APPEND _faults "  ${rel} includes ${inc}\n")
        endif()
      elseif(folder MATCHES "^(text|platform)$" AND inc MATCHES "^(BuildConfig|VersionInfo)\\.h$")
        file(RELATIVE_PATH rel ${SOURCE_DIR} ${f})
        string(APPEND _faults "  ${rel} includes ${inc}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(_faults)
  message(FATAL_ERROR "Includes that reach a higher layer:\n${_faults}")
endif()
if(STAMP)
  file(WRITE ${STAMP} "layers checked\n")
endif()
