// expect apple: 'SCScreenshotManager' is only available on macOS 14.0 or newer
// clean syntax
// ScreenCaptureKit's screenshot call without a guard for the systems before it.
#include <ScreenCaptureKit/ScreenCaptureKit.h>

void shoot(SCContentFilter* filter, SCStreamConfiguration* config) {
    [SCScreenshotManager captureImageWithFilter:filter
                                  configuration:config
                              completionHandler:^(CGImageRef, NSError*) {
                              }];
}
