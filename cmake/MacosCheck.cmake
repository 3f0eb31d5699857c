# The macOS backend checked where Apple's SDK is missing: three clang passes
# (Linux-target syntax, Apple-target availability and deprecation, static
# analyzer with the osx checkers), an ownership lint for out-parameters and
# an element lint (every element made through the helper that sets the
# messaging timeout), over src/platform/macos/*.mm against the project's own
# declarations in tools/macos-sdk-decls/. On macOS the backend is compiled for real instead.
if(APPLE)
  return()
endif()
find_program(AGENT_CLANGXX NAMES clang++ clang++-14)
if(NOT AGENT_CLANGXX)
  message(STATUS "clang++ not found: the macOS backend check is not registered")
  return()
endif()

foreach(pass syntax apple analyze ownership elements)
  add_test(NAME macos.${pass}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/macos-check --clang ${AGENT_CLANGXX} ${pass})
endforeach()

# The backend defines the whole seam: everything the portable code calls and
# everything the fake desktop defines, with what it shares with the Linux
# backend (executor, rectangles, PNG).
add_test(NAME macos.link
  COMMAND ${PROJECT_SOURCE_DIR}/tools/macos-check --clang ${AGENT_CLANGXX}
    --require $<TARGET_FILE:agent_core> --require $<TARGET_FILE:agent_fake>
    --require $<TARGET_FILE:agent_platform_common> link)

# Each pass must still reject the fault it exists for (tests/macos/seeds/).
add_test(NAME macos.seeds
  COMMAND ${PROJECT_SOURCE_DIR}/tests/macos/check_seeds.sh ${AGENT_CLANGXX})

# The backend's own logic (value conversion, window list, rectangles,
# accessibility calls, running the launcher, the capture's display choice and
# pixel layout) run against a fake
# CoreFoundation, with leak accounting and sanitizers; the portable
# accessibility operations run over it too.
add_test(NAME macos.conversion
  COMMAND ${PROJECT_SOURCE_DIR}/tests/macos/run_cf_test.sh ${AGENT_CLANGXX})
