# The Linux backend: X11, XTest, XRandR, MIT-SHM (Xext), and AT-SPI over raw D-Bus.
pkg_check_modules(X11DEPS REQUIRED IMPORTED_TARGET x11 xext xtst xrandr)
pkg_check_modules(DBUS REQUIRED IMPORTED_TARGET dbus-1)
# AT-SPI's role and state numbers come from its public constants header; no
# library of it is linked.
pkg_check_modules(ATSPI REQUIRED atspi-2)
find_path(ATSPI_CONSTANTS_DIR atspi/atspi-constants.h HINTS ${ATSPI_INCLUDE_DIRS} REQUIRED NO_DEFAULT_PATH)
file(GLOB_RECURSE AGENT_X11_SOURCES CONFIGURE_DEPENDS src/platform/x11/*.cpp)
add_library(agent_backend STATIC ${AGENT_X11_SOURCES})
target_include_directories(agent_backend PRIVATE src)
target_include_directories(agent_backend SYSTEM PUBLIC ${ATSPI_CONSTANTS_DIR})
target_link_libraries(agent_backend
  PUBLIC agent_platform_common Threads::Threads PkgConfig::X11DEPS PkgConfig::DBUS
  PRIVATE agent_warnings)
