// expect syntax: no matching function for call to 'CGRectContainsPoint'
#include <ApplicationServices/ApplicationServices.h>

bool inside(CGRect rect, CGPoint point) { return CGRectContainsPoint(point, rect); }
