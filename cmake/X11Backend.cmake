# The Linux backend: X11, XTest, XRandR and AT-SPI.
pkg_check_modules(X11DEPS REQUIRED IMPORTED_TARGET x11 xtst xrandr)
pkg_check_modules(ATSPI REQUIRED IMPORTED_TARGET atspi-2 glib-2.0 gobject-2.0)
file(GLOB_RECURSE AGENT_X11_SOURCES CONFIGURE_DEPENDS src/platform/x11/*.cpp)
add_library(agent_backend STATIC ${AGENT_X11_SOURCES})
target_include_directories(agent_backend PRIVATE src)
target_link_libraries(agent_backend
  PUBLIC agent_platform_common Threads::Threads PkgConfig::X11DEPS PkgConfig::ATSPI
  PRIVATE agent_warnings)
