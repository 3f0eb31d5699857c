// AppKit: the shared workspace and its running-application objects.
#ifndef AGENT_DECLS_APPKIT_H
#define AGENT_DECLS_APPKIT_H

#include <sys/types.h>
#include <Foundation/Foundation.h>

AGENT_NS_ENUM(NSInteger, NSApplicationActivationPolicy){
    NSApplicationActivationPolicyRegular = 0,
    NSApplicationActivationPolicyAccessory = 1,
    NSApplicationActivationPolicyProhibited = 2,
};

AGENT_NS_OPTIONS(NSUInteger, NSApplicationActivationOptions){
    NSApplicationActivateAllWindows = 1 << 0,
    NSApplicationActivateIgnoringOtherApps
        AGENT_DEPRECATED_MACOS(10.6, 14.0, "ignoringOtherApps is deprecated in macOS 14 and will have no effect.") =
            1 << 1,
};

AGENT_NONNULL_BEGIN

@interface NSRunningApplication : NSObject
+ (nullable instancetype)runningApplicationWithProcessIdentifier:(pid_t)pid;
@property(nullable, readonly, copy) NSString* localizedName;
@property(nullable, readonly, copy) NSString* bundleIdentifier;
@property(readonly) pid_t processIdentifier;
@property(readonly, getter=isActive) BOOL active;
@property(readonly, getter=isHidden) BOOL hidden;
@property(readonly) NSApplicationActivationPolicy activationPolicy;
- (BOOL)activateWithOptions:(NSApplicationActivationOptions)options;
@end

@interface NSWorkspace : NSObject
@property(class, readonly, strong) NSWorkspace* sharedWorkspace;
@property(readonly, copy) NSArray<NSRunningApplication*>* runningApplications;
@property(nullable, readonly, strong) NSRunningApplication* frontmostApplication;
@end

AGENT_NONNULL_END

#if defined(__cplusplus)
#define AGENT_PIN_MESSAGE(expr, ...) \
    static_assert(std::is_same_v<decltype(expr), __VA_ARGS__>, "declaration of " #expr " changed")
AGENT_PIN_MESSAGE([NSWorkspace.sharedWorkspace runningApplications], NSArray<NSRunningApplication*>*);
AGENT_PIN_MESSAGE([NSWorkspace.sharedWorkspace frontmostApplication], NSRunningApplication*);
AGENT_PIN_MESSAGE([NSRunningApplication runningApplicationWithProcessIdentifier:0], NSRunningApplication*);
AGENT_PIN_MESSAGE([NSWorkspace.sharedWorkspace.frontmostApplication localizedName], NSString*);
AGENT_PIN_MESSAGE([NSWorkspace.sharedWorkspace.frontmostApplication bundleIdentifier], NSString*);
AGENT_PIN_MESSAGE([NSWorkspace.sharedWorkspace.frontmostApplication processIdentifier], pid_t);
AGENT_PIN_MESSAGE([NSWorkspace.sharedWorkspace.frontmostApplication isActive], BOOL);
AGENT_PIN_MESSAGE([NSWorkspace.sharedWorkspace.frontmostApplication isHidden], BOOL);
AGENT_PIN_MESSAGE([NSWorkspace.sharedWorkspace.frontmostApplication activationPolicy], NSApplicationActivationPolicy);
AGENT_PIN_MESSAGE([NSWorkspace.sharedWorkspace.frontmostApplication activateWithOptions:0], BOOL);
static_assert(std::is_same_v<NSApplicationActivationOptions, NSUInteger> &&
                  !std::is_convertible_v<int, NSApplicationActivationPolicy>,
              "activation options are a plain integer, the policy a typed enumeration");
#endif

#endif
