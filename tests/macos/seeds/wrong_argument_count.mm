// expect syntax: no matching function for call to 'AXUIElementCopyElementAtPosition'
// The hit-test takes x and y as two floats, not a point.
#include <ApplicationServices/ApplicationServices.h>

AXError hit(AXUIElementRef app, CGPoint point, AXUIElementRef* out) {
    return AXUIElementCopyElementAtPosition(app, point, out);
}
