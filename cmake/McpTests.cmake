# agent-mcp's tests. tests/mcp/test_*.py: the server over real pipes (the
# desktop ones start their own private desktop through tools/desktop-session).
# mcp.sdk_client: the official MCP client (TypeScript SDK, from the npm
# registry) drives the server on a private desktop; the SDK is installed from
# the pinned lock into the build tree by mcp.sdk_install, which needs the
# network (or npm's cache).
file(GLOB AGENT_MCP_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/mcp/test_*.py)
foreach(test ${AGENT_MCP_TESTS})
  get_filename_component(name ${test} NAME_WE)
  add_test(NAME mcp.${name} COMMAND ${Python3_EXECUTABLE} ${test} $<TARGET_FILE:agent-mcp>)
  set_tests_properties(mcp.${name} PROPERTIES LABELS mcp TIMEOUT 900)
endforeach()

if(NOT APPLE)
  find_program(NODE_EXECUTABLE NAMES node nodejs)
  find_program(NPM_EXECUTABLE npm)
  if(NODE_EXECUTABLE AND NPM_EXECUTABLE AND TARGET desktop_fixture)
    set(sdk ${CMAKE_CURRENT_BINARY_DIR}/mcp-sdk)
    foreach(file package.json package-lock.json client.mjs)
      configure_file(${PROJECT_SOURCE_DIR}/tests/mcp/sdk/${file} ${sdk}/${file} COPYONLY)
    endforeach()
    add_test(NAME mcp.sdk_install COMMAND ${NPM_EXECUTABLE} ci --prefix ${sdk} --no-audit --no-fund)
    set_tests_properties(mcp.sdk_install PROPERTIES FIXTURES_SETUP mcp_sdk LABELS "mcp;network" TIMEOUT 900)
    add_test(NAME mcp.sdk_client
             COMMAND ${PROJECT_SOURCE_DIR}/tools/desktop-session ${NODE_EXECUTABLE} ${sdk}/client.mjs
                     $<TARGET_FILE:agent-mcp> $<TARGET_FILE:desktop_fixture>)
    set_tests_properties(mcp.sdk_client PROPERTIES FIXTURES_REQUIRED mcp_sdk LABELS mcp TIMEOUT 900)
  else()
    message(STATUS "node, npm or the desktop fixture missing: no test with the official MCP client")
  endif()
endif()
