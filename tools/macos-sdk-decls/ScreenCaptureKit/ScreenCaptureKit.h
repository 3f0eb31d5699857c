// ScreenCaptureKit: the shareable content (displays, windows), content
// filters, stream configurations and the single-frame screenshot call, as far
// as the macOS backend uses them. The framework appears in macOS 12.3; the
// screenshot manager in macOS 14.
#ifndef AGENT_DECLS_SCREENCAPTUREKIT_H
#define AGENT_DECLS_SCREENCAPTUREKIT_H

#include <stddef.h>
#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>

AGENT_NONNULL_BEGIN

AGENT_AVAILABLE_MACOS(12.3)
@interface SCWindow : NSObject
@property(readonly) CGWindowID windowID;
@property(readonly) CGRect frame;
@end

AGENT_AVAILABLE_MACOS(12.3)
@interface SCDisplay : NSObject
@property(readonly) CGDirectDisplayID displayID;
@property(readonly) NSInteger width;
@property(readonly) NSInteger height;
@property(readonly) CGRect frame;
@end

AGENT_AVAILABLE_MACOS(12.3)
@interface SCShareableContent : NSObject
+ (void)getShareableContentWithCompletionHandler:
    (void (^)(SCShareableContent* _Nullable shareableContent, NSError* _Nullable error))completionHandler;
@property(readonly) NSArray<SCWindow*>* windows;
@property(readonly) NSArray<SCDisplay*>* displays;
@end

AGENT_AVAILABLE_MACOS(12.3)
@interface SCContentFilter : NSObject
- (instancetype)initWithDisplay:(SCDisplay*)display excludingWindows:(NSArray<SCWindow*>*)excluded;
@end

AGENT_AVAILABLE_MACOS(12.3)
@interface SCStreamConfiguration : NSObject
@property(nonatomic, assign) size_t width;
@property(nonatomic, assign) size_t height;
@property(nonatomic, assign) CGRect sourceRect;
@property(nonatomic, assign) BOOL showsCursor;
@end

AGENT_AVAILABLE_MACOS(14.0)
@interface SCScreenshotManager : NSObject
+ (void)captureImageWithFilter:(SCContentFilter*)contentFilter
                 configuration:(SCStreamConfiguration*)config
             completionHandler:(nullable void (^)(CGImageRef _Nullable sampleBuffer,
                                                  NSError* _Nullable error))completionHandler;
@end

AGENT_NONNULL_END

#if defined(__cplusplus)
#include <utility>
static_assert(std::is_same_v<decltype(std::declval<SCDisplay*>().displayID), CGDirectDisplayID> &&
                  std::is_same_v<decltype(std::declval<SCDisplay*>().frame), CGRect> &&
                  std::is_same_v<decltype(std::declval<SCStreamConfiguration*>().width), size_t> &&
                  std::is_same_v<decltype(std::declval<SCStreamConfiguration*>().height), size_t> &&
                  std::is_same_v<decltype(std::declval<SCStreamConfiguration*>().sourceRect), CGRect> &&
                  std::is_same_v<decltype(std::declval<SCStreamConfiguration*>().showsCursor), BOOL>,
              "ScreenCaptureKit property types");
static_assert(std::is_same_v<decltype(std::declval<SCShareableContent*>().displays), NSArray<SCDisplay*>*>,
              "the shareable content's displays");
#endif

#endif
