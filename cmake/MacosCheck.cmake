# The macOS backend checked where Apple's SDK is missing: three clang passes
# (Linux-target syntax, Apple-target availability, static analyzer with the
# osx checkers) over src/platform/macos/*.mm against the project's own
# declarations in tools/macos-sdk-decls/. On macOS the backend is compiled
# for real instead.
if(APPLE)
  return()
endif()
find_program(AGENT_CLANGXX NAMES clang++ clang++-14)
if(NOT AGENT_CLANGXX)
  message(STATUS "clang++ not found: the macOS backend check is not registered")
  return()
endif()

foreach(pass syntax apple analyze)
  add_test(NAME macos.${pass}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/macos-check --clang ${AGENT_CLANGXX} ${pass})
endforeach()
