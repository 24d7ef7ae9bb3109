# Configures a build of the other machine than this one, carrying this build's
# stand-in skin library: the configure must stop and name both machines.
# cmake -DSOURCE_DIR= -DBINARY_DIR= -DTOOLCHAIN= -DLIBRARY= -DSKIN= -DEXPECT= -P wrong_machine.cmake
file(REMOVE_RECURSE ${BINARY_DIR})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR} -G Ninja --toolchain ${TOOLCHAIN}
          -DVELMORA_SKIN_LIBRARY=${LIBRARY} -DVELMORA_SKIN_FILE=${SKIN} -DVELMORA_BUILD_BENCH=OFF
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(REMOVE_RECURSE ${BINARY_DIR})
string(REGEX REPLACE "[ \n]+" " " flat "${out}")
if(result EQUAL 0)
  message(FATAL_ERROR "the configure with ${LIBRARY} went through:\n${out}")
endif()
string(FIND "${flat}" "${EXPECT}" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the configure failed without \"${EXPECT}\":\n${out}")
endif()
message(STATUS "refused: ${EXPECT}")
