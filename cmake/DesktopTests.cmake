# Desktop tests: each tests/desktop/test_*.py drives the built agent against
# the GTK3 fixture below on private headless desktops, which its harness
# (tests/desktop/harness.py) starts through tools/desktop-session.
if(NOT APPLE)
  pkg_check_modules(GTK3 IMPORTED_TARGET gtk+-3.0)
  if(GTK3_FOUND)
    add_executable(desktop_fixture ${PROJECT_SOURCE_DIR}/tests/desktop/fixture/fixture.c)
    target_link_libraries(desktop_fixture PRIVATE PkgConfig::GTK3 agent_warnings)

    file(GLOB AGENT_DESKTOP_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/desktop/test_*.py)
    foreach(test ${AGENT_DESKTOP_TESTS})
      get_filename_component(name ${test} NAME_WE)
      # Debian's interpreter: the fake toolkit needs its GObject and D-Bus bindings.
      add_test(NAME desktop.${name}
               COMMAND /usr/bin/python3 ${test} $<TARGET_FILE:agent> $<TARGET_FILE:desktop_fixture>)
      # Ten times the longest file's run on a quiet machine, and more.
      set_tests_properties(desktop.${name} PROPERTIES TIMEOUT 900 LABELS desktop)
    endforeach()
  else()
    message(STATUS "gtk+-3.0 not found: no desktop fixture, no desktop tests")
  endif()
endif()
