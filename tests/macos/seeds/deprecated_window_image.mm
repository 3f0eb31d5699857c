// expect apple: 'CGWindowListCreateImage' is deprecated: first deprecated in macOS 14.0
// clean syntax
// clean analyze
// The window-list image called where ScreenCaptureKit replaces it.
#include <ApplicationServices/ApplicationServices.h>

size_t capturedWidth(CGRect rect) {
    CGImageRef image = CGWindowListCreateImage(rect, kCGWindowListOptionOnScreenOnly, kCGNullWindowID,
                                               kCGWindowImageBestResolution);
    if (!image) return 0;
    size_t width = CGImageGetWidth(image);
    CFRelease(image);
    return width;
}
