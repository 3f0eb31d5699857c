// Screen capture from the root window.
#include "platform/platform.h"

namespace platform {

CaptureError captureScreen(const Rect&, Rect& captured, Bitmap& image, double& scale) {
    captured = Rect{};
    image = Bitmap{};
    scale = 1;
    return CaptureError::failed;
}

}  // namespace platform
