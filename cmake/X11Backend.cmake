# The Linux backend: X11, XTest, XRandR and AT-SPI.
file(GLOB AGENT_X11_SOURCES CONFIGURE_DEPENDS src/platform/x11/*.cpp)
add_library(agent_backend STATIC ${AGENT_X11_SOURCES} src/platform/fifo_executor.cpp)
target_link_libraries(agent_backend PUBLIC agent_core Threads::Threads PRIVATE agent_warnings)
