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

if(NOT APPLE)
  # The AX names of AT-SPI roles and actions.
  add_executable(ax_vocabulary_test ${PROJECT_SOURCE_DIR}/tests/x11/ax_vocabulary_test.cpp
                                    ${PROJECT_SOURCE_DIR}/src/platform/x11/ax_roles.cpp)
  target_include_directories(ax_vocabulary_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(ax_vocabulary_test PRIVATE PkgConfig::ATSPI GTest::gtest GTest::gtest_main agent_warnings)
  gtest_discover_tests(ax_vocabulary_test DISCOVERY_MODE PRE_TEST)
endif()

if(NOT APPLE)
  # The shared X connection against a private Xvfb, before and after the
  # server goes away.
  add_executable(x_display_test ${PROJECT_SOURCE_DIR}/tests/x11/x_display_test.cpp
                                ${PROJECT_SOURCE_DIR}/src/platform/x11/x_display.cpp)
  target_include_directories(x_display_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(x_display_test PRIVATE PkgConfig::X11DEPS GTest::gtest GTest::gtest_main agent_warnings)
  gtest_discover_tests(x_display_test DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 60 LABELS desktop)
endif()
