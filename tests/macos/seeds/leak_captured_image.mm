// expect analyze: Potential leak of an object stored into 'image'
// clean syntax
// A captured image that is never released.
#include <ApplicationServices/ApplicationServices.h>

#pragma clang diagnostic ignored "-Wdeprecated-declarations"

size_t capturedWidth(CGRect rect) {
    CGImageRef image = CGWindowListCreateImage(rect, kCGWindowListOptionOnScreenOnly, kCGNullWindowID,
                                               kCGWindowImageBestResolution);
    if (!image) return 0;
    return CGImageGetWidth(image);
}
