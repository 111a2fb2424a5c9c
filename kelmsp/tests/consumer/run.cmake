# Installs the library into a fresh prefix, builds a program outside the
# project against it and runs that program.
#   cmake -DBUILD_DIR=... -DSOURCE=... -DWORK=... -P run.cmake
file(REMOVE_RECURSE "${WORK}")
function(step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
  endif()
endfunction()
step(${CMAKE_COMMAND} --install "${BUILD_DIR}" --component kelmsp --prefix "${WORK}/prefix")
step(${CMAKE_COMMAND} -S "${CMAKE_CURRENT_LIST_DIR}" -B "${WORK}/build" -G "${GENERATOR}"
     "-DCMAKE_PREFIX_PATH=${WORK}/prefix" "-DKELMSP_CONSUMER_SOURCE=${SOURCE}"
     "-DCMAKE_CXX_COMPILER=${CXX}")
step(${CMAKE_COMMAND} --build "${WORK}/build")
step("${WORK}/build/consumer")
file(REMOVE_RECURSE "${WORK}")
