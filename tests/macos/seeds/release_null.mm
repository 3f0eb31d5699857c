// expect analyze: Null pointer argument in call to CFRelease
// clean syntax
#include <ApplicationServices/ApplicationServices.h>

void drop() {
    CFArrayRef list = CGWindowListCopyWindowInfo(kCGWindowListOptionOnScreenOnly, kCGNullWindowID);
    if (!list) CFRelease(list);
}
