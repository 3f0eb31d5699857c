# Unit tests of the Linux backend's desktop logic that needs no X server:
# desktop entries, the launcher and window layers.
if(NOT APPLE)
  add_executable(x11_desktop_test
    ${PROJECT_SOURCE_DIR}/tests/x11/desktop_entries_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/x11/launcher_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/x11/window_layers_test.cpp
    ${PROJECT_SOURCE_DIR}/src/platform/x11/desktop_entries.cpp
    ${PROJECT_SOURCE_DIR}/src/platform/x11/launcher.cpp
    ${PROJECT_SOURCE_DIR}/src/platform/x11/window_layers.cpp)
  target_include_directories(x11_desktop_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(x11_desktop_test PRIVATE GTest::gtest GTest::gtest_main agent_warnings)
  gtest_discover_tests(x11_desktop_test DISCOVERY_MODE PRE_TEST)
endif()
