# The macOS backend: Objective-C++ with ARC over ApplicationServices
# (accessibility, Quartz events and window services), CoreGraphics, Carbon
# (secure keyboard input), AppKit (the workspace), Foundation, ImageIO (PNG
# encoding) and ScreenCaptureKit (screen capture on macOS 14 and later, linked
# weakly: the framework is missing before macOS 12.3). Its main
# executor is the main dispatch queue served by the main run loop, so the
# FIFO executor of the other builds is not part of it.
enable_language(OBJCXX)
file(GLOB AGENT_MACOS_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/macos/*.mm)
add_library(agent_backend STATIC ${AGENT_MACOS_SOURCES})
set_target_properties(agent_backend PROPERTIES
  OBJCXX_STANDARD 20
  OBJCXX_STANDARD_REQUIRED ON
  OBJCXX_EXTENSIONS OFF)
target_include_directories(agent_backend PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(agent_backend PRIVATE -fobjc-arc)
target_link_libraries(agent_backend
  PUBLIC
    Threads::Threads
    "-framework ApplicationServices"
    "-framework CoreGraphics"
    "-framework Carbon"
    "-framework AppKit"
    "-framework Foundation"
    "-framework ImageIO"
    "-weak_framework ScreenCaptureKit"
  PRIVATE agent_warnings)
