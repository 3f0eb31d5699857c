// macOS backend: screen capture and PNG encoding.
//
// A region is captured from one display: the one holding the largest part of
// it, and only that part (a display's pixels keep their own scale that way,
// and ScreenCaptureKit captures one display per filter). macOS 14 and later
// capture through ScreenCaptureKit's screenshot call; macOS 11 to 13 through
// the window server's composite image (CGWindowListCreateImage), deprecated
// in 14 and not called there. Both deliver the display's pixels, so the scale
// is the display's backing scale factor (2 on Retina, 1 otherwise).

// The seam comes before any Apple header: CoreGraphics defines
// kCGNullWindowID as a macro, which would rewrite the seam's constant.
#include "platform/platform.h"
#include "platform/macos/capture_geometry.h"
#include "platform/macos/cf.h"

#include <ApplicationServices/ApplicationServices.h>
#include <CoreFoundation/CoreFoundation.h>
#include <Foundation/Foundation.h>
#include <ImageIO/ImageIO.h>
#include <ScreenCaptureKit/ScreenCaptureKit.h>
#include <dispatch/dispatch.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

namespace {

// How long a ScreenCaptureKit call may take to answer. Its completion
// handlers run on the framework's own queue, so the main thread may wait for
// them; an answer that never comes fails the capture instead of the agent.
constexpr std::int64_t kAnswerWaitNanoseconds = 5 * static_cast<std::int64_t>(NSEC_PER_SEC);

struct DisplayPart {
    CGDirectDisplayID display = 0;
    CGRect bounds{};  // the display, global points
    CGRect part{};    // the part of the wanted region on it, global points
};

// The display holding the largest part of `wanted`; an empty part when no
// display holds any of it. False when there is no display at all.
bool largestPart(const CGRect& wanted, DisplayPart& best) {
    std::uint32_t count = 0;
    if (CGGetActiveDisplayList(0, nullptr, &count) != kCGErrorSuccess) return false;
    std::vector<CGDirectDisplayID> displays(count);
    if (count > 0 && CGGetActiveDisplayList(count, displays.data(), &count) != kCGErrorSuccess) return false;
    displays.resize(count);
    std::vector<CGRect> bounds;
    for (CGDirectDisplayID display : displays) bounds.push_back(CGDisplayBounds(display));
    CGRect part{};
    std::ptrdiff_t index = mac::largestPart(wanted, bounds.data(), bounds.size(), part);
    if (index >= 0) best = DisplayPart{displays[index], bounds[index], part};
    return !displays.empty();
}

// Pixels per point of a display: its mode's pixel width over its width in
// points (2 on Retina, whatever the resolution chosen in the settings).
double backingScale(CGDirectDisplayID display, const CGRect& bounds) {
    mac::CFOwner<CGDisplayModeRef> mode(CGDisplayCopyDisplayMode(display));
    if (!mode || bounds.size.width <= 0) return 1;
    double pixels = static_cast<double>(CGDisplayModeGetPixelWidth(mode.get()));
    return pixels > 0 ? pixels / bounds.size.width : 1;
}

// The pixels of `image` as 8-bit RGB, drawn into a bitmap context of known
// layout (bytes R, G, B, unused) in sRGB, which is what a PNG without a color
// profile is read as.
bool readPixels(CGImageRef image, Bitmap& out) {
    std::size_t width = CGImageGetWidth(image);
    std::size_t height = CGImageGetHeight(image);
    if (width == 0 || height == 0 || width > INT32_MAX / 4 || height > INT32_MAX / 4) return false;
    std::vector<std::uint8_t> rgbx(width * height * 4);
    {
        mac::CFOwner<CGColorSpaceRef> space(CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
        if (!space) return false;
        // The context draws into `rgbx` and is gone before it.
        mac::CFOwner<CGContextRef> context(CGBitmapContextCreate(
            rgbx.data(), width, height, 8, width * 4, space.get(), static_cast<std::uint32_t>(kCGImageAlphaNoneSkipLast) | kCGBitmapByteOrder32Big));
        if (!context) return false;
        CGContextDrawImage(context.get(), CGRect{{0, 0}, {static_cast<double>(width), static_cast<double>(height)}},
                           image);
    }
    out.width = static_cast<std::int32_t>(width);
    out.height = static_cast<std::int32_t>(height);
    out.rgb.resize(width * height * 3);
    mac::rgbxToRgb(rgbx.data(), width * height, out.rgb.data());
    return true;
}

// What a completion handler hands back. Shared by the waiting caller and the
// handler's block, so a handler that answers after the caller gave up writes
// into something that still exists.
struct __attribute__((availability(macos, introduced = 12.3))) ContentAnswer {
    dispatch_semaphore_t done = dispatch_semaphore_create(0);
    SCShareableContent* content = nil;
};
struct ImageAnswer {
    dispatch_semaphore_t done = dispatch_semaphore_create(0);
    mac::CFOwner<CGImageRef> image;
};

bool waitFor(dispatch_semaphore_t done) {
    return done && dispatch_semaphore_wait(done, dispatch_time(DISPATCH_TIME_NOW, kAnswerWaitNanoseconds)) == 0;
}

// ScreenCaptureKit's screenshot of `source` (points, relative to the
// display's top-left corner) at `pixelWidth` x `pixelHeight`.
__attribute__((availability(macos, introduced = 14.0))) mac::CFOwner<CGImageRef> screenshot(
    CGDirectDisplayID displayID, CGRect source, std::size_t pixelWidth, std::size_t pixelHeight) {
    auto content = std::make_shared<ContentAnswer>();
    if (!content->done) return {};
    [SCShareableContent getShareableContentWithCompletionHandler:^(SCShareableContent* shareable, NSError*) {
      content->content = shareable;
      dispatch_semaphore_signal(content->done);
    }];
    if (!waitFor(content->done) || !content->content) return {};

    SCDisplay* display = nil;
    NSArray<SCDisplay*>* displays = content->content.displays;
    for (NSUInteger i = 0; i < displays.count; ++i)
        if ([displays objectAtIndex:i].displayID == displayID) display = [displays objectAtIndex:i];
    if (!display) return {};

    SCContentFilter* filter = [[SCContentFilter alloc] initWithDisplay:display excludingWindows:[NSArray array]];
    SCStreamConfiguration* config = [[SCStreamConfiguration alloc] init];
    config.sourceRect = source;
    config.width = pixelWidth;
    config.height = pixelHeight;
    config.showsCursor = NO;

    auto answer = std::make_shared<ImageAnswer>();
    if (!answer->done) return {};
    [SCScreenshotManager captureImageWithFilter:filter
                                  configuration:config
                              completionHandler:^(CGImageRef image, NSError*) {
                                // The image is the handler's to keep only if it retains it.
                                if (image) answer->image = mac::CFOwner<CGImageRef>(CGImageRetain(image));
                                dispatch_semaphore_signal(answer->done);
                              }];
    if (!waitFor(answer->done)) return {};
    return std::move(answer->image);
}

// The window server's composite of the on-screen windows in `rect` (global
// points) at the displays' own resolution: macOS 11 to 13.
mac::CFOwner<CGImageRef> windowListImage(CGRect rect) {
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
    // Called only before macOS 14, where it is not deprecated.
    return mac::CFOwner<CGImageRef>(CGWindowListCreateImage(rect, kCGWindowListOptionOnScreenOnly, kCGNullWindowID,
                                                            kCGWindowImageBestResolution));
#pragma clang diagnostic pop
}

}  // namespace

CaptureError captureScreen(const Rect& wanted, Rect& captured, Bitmap& image, double& scale) {
    captured = Rect{};
    image = Bitmap{};
    scale = 1;
    CGRect want{{wanted.origin.x, wanted.origin.y}, {wanted.size.width, wanted.size.height}};
    DisplayPart on;
    if (!largestPart(want, on)) return CaptureError::noDisplay;
    if (on.part.size.width <= 0 || on.part.size.height <= 0) return CaptureError::none;
    if (!CGPreflightScreenCaptureAccess()) return CaptureError::notAllowed;

    mac::CFOwner<CGImageRef> shot;
    if (@available(macOS 14.0, *)) {
        double pixelsPerPoint = backingScale(on.display, on.bounds);
        std::size_t pixelWidth = mac::pixelsFor(on.part.size.width, pixelsPerPoint);
        std::size_t pixelHeight = mac::pixelsFor(on.part.size.height, pixelsPerPoint);
        if (pixelWidth == 0 || pixelHeight == 0) return CaptureError::failed;
        shot = screenshot(on.display, mac::displayLocal(on.part, on.bounds), pixelWidth, pixelHeight);
    } else {
        shot = windowListImage(on.part);
    }
    if (!shot || !readPixels(shot.get(), image)) {
        image = Bitmap{};
        return CaptureError::failed;
    }
    captured = Rect{{on.part.origin.x, on.part.origin.y}, {on.part.size.width, on.part.size.height}};
    scale = image.width / on.part.size.width;
    return CaptureError::none;
}

std::string encodePng(const Bitmap& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3)
        return {};
    auto width = static_cast<std::size_t>(image.width);
    auto height = static_cast<std::size_t>(image.height);
    mac::CFOwner<CFDataRef> pixels(
        CFDataCreate(kCFAllocatorDefault, image.rgb.data(), static_cast<CFIndex>(image.rgb.size())));
    if (!pixels) return {};
    mac::CFOwner<CGDataProviderRef> provider(CGDataProviderCreateWithCFData(pixels.get()));
    mac::CFOwner<CGColorSpaceRef> space(CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    if (!provider || !space) return {};
    // Three bytes a pixel, rows without padding: the bitmap's own layout.
    mac::CFOwner<CGImageRef> picture(CGImageCreate(width, height, 8, 24, width * 3, space.get(),
                                                   kCGBitmapByteOrderDefault | static_cast<CGBitmapInfo>(kCGImageAlphaNone), provider.get(),
                                                   nullptr, false, kCGRenderingIntentDefault));
    if (!picture) return {};
    mac::CFOwner<CFMutableDataRef> file(CFDataCreateMutable(kCFAllocatorDefault, 0));
    if (!file) return {};
    mac::CFOwner<CGImageDestinationRef> destination(
        CGImageDestinationCreateWithData(file.get(), CFSTR("public.png"), 1, nullptr));
    if (!destination) return {};
    CGImageDestinationAddImage(destination.get(), picture.get(), nullptr);
    if (!CGImageDestinationFinalize(destination.get())) return {};
    const UInt8* bytes = CFDataGetBytePtr(file.get());
    CFIndex length = CFDataGetLength(file.get());
    if (!bytes || length <= 0) return {};
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

}  // namespace platform
