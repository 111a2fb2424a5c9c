# Warning flags shared by every target of the project.
function(ves_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wshadow=local)
  else()
    target_compile_options(${target} PRIVATE -Wshadow-uncaptured-local)
  endif()
  if(VES_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Adds one GoogleTest executable built from every *.cpp under a folder.
# ves_add_test_dir(<name> <folder> LIBS <libs...>)
function(ves_add_test_dir name dir)
  cmake_parse_arguments(ARG "" "" "LIBS;ENV" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  ves_target_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    VES_SHARED_DATA_DIR="${CMAKE_SOURCE_DIR}/../shared/data"
    VES_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${ARG_ENV}")
endfunction()
