if(NOT APPLE)
  # The Linux backend's key and text logic that needs no X server.
  add_executable(x11_keymap_test ${PROJECT_SOURCE_DIR}/tests/x11/keymap_test.cpp
                                 ${PROJECT_SOURCE_DIR}/src/platform/x11/keymap.cpp)
  target_include_directories(x11_keymap_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(x11_keymap_test PRIVATE GTest::gtest GTest::gtest_main agent_warnings)
  gtest_discover_tests(x11_keymap_test DISCOVERY_MODE PRE_TEST)
endif()
