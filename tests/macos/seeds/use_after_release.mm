// expect analyze: Reference-counted object is used after it is released
// clean syntax
#include <ApplicationServices/ApplicationServices.h>

long count() {
    CFArrayRef list = CGWindowListCopyWindowInfo(kCGWindowListOptionOnScreenOnly, kCGNullWindowID);
    if (!list) return 0;
    CFRelease(list);
    return CFArrayGetCount(list);
}
