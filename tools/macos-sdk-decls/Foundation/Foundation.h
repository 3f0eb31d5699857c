// Foundation: the root class, strings, arrays and errors as far as they are used, the
// process-information version test, and the CF bridging functions.
#ifndef AGENT_DECLS_FOUNDATION_H
#define AGENT_DECLS_FOUNDATION_H

#include <CoreFoundation/CoreFoundation.h>

#if !defined(__OBJC__)
#error "Foundation is Objective-C"
#endif

#if defined(__arm64__) || defined(__aarch64__)
typedef bool BOOL;
#else
typedef signed char BOOL;
#endif
#if defined(__cplusplus)
#define nil nullptr
#else
#define nil ((id)0)
#endif
#define YES __objc_yes
#define NO __objc_no

typedef long NSInteger;
typedef unsigned long NSUInteger;

#define AGENT_NS_ENUM(U, N) AGENT_ENUM(U, N)
#define AGENT_NS_OPTIONS(U, N) AGENT_OPTIONS(U, N)

AGENT_NONNULL_BEGIN

@class NSString;

@protocol NSObject
- (BOOL)isEqual:(nullable id)object;
@property(readonly) NSUInteger hash;
@end

__attribute__((objc_root_class))
@interface NSObject <NSObject>
+ (instancetype)alloc;
+ (instancetype)new;
- (instancetype)init;
@end

@interface NSString : NSObject
@property(readonly) NSUInteger length;
@end

@interface NSArray<__covariant ObjectType> : NSObject
+ (instancetype)array;
@property(readonly) NSUInteger count;
- (ObjectType)objectAtIndex:(NSUInteger)index;
@end

@interface NSDictionary<__covariant KeyType, __covariant ObjectType> : NSObject
@property(readonly) NSUInteger count;
@end

@interface NSNumber : NSObject
@end

@interface NSError : NSObject
@property(readonly) NSInteger code;
@end

typedef struct {
    NSInteger majorVersion;
    NSInteger minorVersion;
    NSInteger patchVersion;
} NSOperatingSystemVersion;

@interface NSProcessInfo : NSObject
@property(class, readonly, strong) NSProcessInfo* processInfo;
- (BOOL)isOperatingSystemAtLeastVersion:(NSOperatingSystemVersion)version AGENT_AVAILABLE_MACOS(10.10);
@end

// Hands an Objective-C object's reference over to CoreFoundation (+1), and back.
static inline __attribute__((always_inline)) AGENT_CF_RETURNS_RETAINED CFTypeRef _Nullable
CFBridgingRetain(id _Nullable object) {
    return (__bridge_retained CFTypeRef)object;
}
static inline __attribute__((always_inline)) id _Nullable CFBridgingRelease(AGENT_CF_CONSUMED CFTypeRef _Nullable ref) {
    return (__bridge_transfer id)ref;
}

AGENT_NONNULL_END

AGENT_PIN(CFBridgingRetain, CFTypeRef(id));
AGENT_PIN(CFBridgingRelease, id(CFTypeRef));
#if defined(__cplusplus)
static_assert(sizeof(NSInteger) == 8 && sizeof(NSOperatingSystemVersion) == 24, "64-bit Foundation types");
static_assert(std::is_same_v<decltype([NSProcessInfo.processInfo isOperatingSystemAtLeastVersion:NSOperatingSystemVersion{}]),
                             BOOL>,
              "isOperatingSystemAtLeastVersion: answers BOOL");
#endif

#endif
