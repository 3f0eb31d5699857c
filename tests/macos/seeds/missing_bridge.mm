// expect syntax: requires a bridged cast
#include <Foundation/Foundation.h>

NSUInteger length(CFStringRef string) { return ((NSString*)string).length; }
