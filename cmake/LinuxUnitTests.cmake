# Unit tests of the Linux backend, linked against the backend library itself:
# key and text planning, the AX vocabulary of AT-SPI roles and actions,
# desktop entries, the launcher, window layers, screen pixels to RGB and
# the answers without a display. They need no X server.
if(APPLE)
  return()
endif()
add_executable(x11_unit_tests
  ${PROJECT_SOURCE_DIR}/tests/x11/keymap_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/x11/ax_vocabulary_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/x11/ax_dbus_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/x11/ax_batch_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/x11/desktop_entries_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/x11/desktop_seam_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/x11/launcher_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/x11/window_layers_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/x11/capture_pixels_test.cpp)
target_include_directories(x11_unit_tests PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(x11_unit_tests PRIVATE agent_backend GTest::gtest GTest::gtest_main agent_warnings)
gtest_discover_tests(x11_unit_tests DISCOVERY_MODE PRE_TEST)

# The shared X connection against a private Xvfb the test starts, before and
# after the server goes away, and the window-tree walks and window-manager
# requests built on it.
add_executable(x_display_test ${PROJECT_SOURCE_DIR}/tests/x11/x_display_test.cpp)
target_include_directories(x_display_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(x_display_test PRIVATE agent_backend GTest::gtest GTest::gtest_main agent_warnings)
gtest_discover_tests(x_display_test DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 60 LABELS desktop)
