# The fuzz targets under CTest: one fixture configures and builds their clang
# build in <build>/fuzz, then each target runs for a bounded time over its
# committed corpus, after its regression inputs.
if(APPLE)
  return()
endif()
find_program(AGENT_FUZZ_CLANGXX NAMES clang++ clang++-14)
if(NOT AGENT_FUZZ_CLANGXX)
  message(STATUS "clang++ not found: the fuzz targets are not registered")
  return()
endif()

set(AGENT_FUZZ_DIR ${PROJECT_BINARY_DIR}/fuzz)
add_test(NAME fuzz.build COMMAND ${PROJECT_SOURCE_DIR}/tools/fuzz build ${AGENT_FUZZ_DIR})
set_tests_properties(fuzz.build PROPERTIES
  FIXTURES_SETUP fuzz ENVIRONMENT CLANGXX=${AGENT_FUZZ_CLANGXX} TIMEOUT 1200 LABELS fuzz)

foreach(target request path typing)
  add_test(NAME fuzz.${target}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/fuzz run ${target} 15 ${AGENT_FUZZ_DIR})
  set_tests_properties(fuzz.${target} PROPERTIES FIXTURES_REQUIRED fuzz TIMEOUT 300 LABELS fuzz)
endforeach()
