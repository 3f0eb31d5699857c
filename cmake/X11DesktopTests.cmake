# Unit tests of the Linux backend's desktop half: desktop entries, the
# launcher, window layers, rectangles and the answers without a display.
# They need no X server.
if(NOT APPLE)
  add_executable(x11_desktop_test
    ${PROJECT_SOURCE_DIR}/tests/x11/desktop_entries_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/x11/desktop_seam_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/x11/launcher_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/x11/window_layers_test.cpp)
  target_include_directories(x11_desktop_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(x11_desktop_test PRIVATE agent_backend GTest::gtest GTest::gtest_main agent_warnings)
  gtest_discover_tests(x11_desktop_test DISCOVERY_MODE PRE_TEST)
endif()
