# Operation-level desktop tests: each test_desktop_*.py runs inside its own
# private headless desktop (tools/desktop-session) with the GTK3 fixture
# below, and drives the built agent.
if(NOT APPLE)
  pkg_check_modules(GTK3 IMPORTED_TARGET gtk+-3.0)
  if(GTK3_FOUND)
    add_executable(desktop_fixture ${PROJECT_SOURCE_DIR}/tests/desktop/fixture/fixture.c)
    target_link_libraries(desktop_fixture PRIVATE PkgConfig::GTK3 agent_warnings)

    file(GLOB AGENT_OP_DESKTOP_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/desktop/test_desktop_*.py)
    foreach(test ${AGENT_OP_DESKTOP_TESTS})
      get_filename_component(name ${test} NAME_WE)
      # Debian's interpreter, as for the other desktop tests.
      add_test(NAME desktop.${name}
               COMMAND ${PROJECT_SOURCE_DIR}/tools/desktop-session /usr/bin/python3 ${test}
                       $<TARGET_FILE:agent> $<TARGET_FILE:desktop_fixture>)
      set_tests_properties(desktop.${name} PROPERTIES TIMEOUT 180 LABELS desktop)
    endforeach()
  else()
    message(STATUS "gtk+-3.0 not found: no desktop fixture, no operation-level desktop tests")
  endif()
endif()

# Accessibility desktop tests: each starts its own headless desktop (Xvfb,
# session bus, AT-SPI bus, openbox) and a GTK3 fixture, and drives the agent.
if(NOT APPLE)
  file(GLOB AGENT_AX_DESKTOP_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/desktop/test_ax_*.py)
  foreach(test ${AGENT_AX_DESKTOP_TESTS})
    get_filename_component(name ${test} NAME_WE)
    # Debian's interpreter: the fixture needs its GTK bindings.
    add_test(NAME desktop.${name} COMMAND /usr/bin/python3 ${test} $<TARGET_FILE:agent>)
    set_tests_properties(desktop.${name} PROPERTIES TIMEOUT 180 LABELS desktop)
  endforeach()
endif()
