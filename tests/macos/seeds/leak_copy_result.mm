// expect analyze: Potential leak of an object stored into 'list'
// clean syntax
// A Copy result that is never released.
#include <ApplicationServices/ApplicationServices.h>

long windowCount() {
    CFArrayRef list = CGWindowListCopyWindowInfo(kCGWindowListOptionOnScreenOnly, kCGNullWindowID);
    if (!list) return 0;
    return CFArrayGetCount(list);
}
