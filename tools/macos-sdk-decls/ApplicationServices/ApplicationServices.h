// ApplicationServices: CoreGraphics plus the accessibility client interface
// (AXUIElement, AXValue, process trust).
#ifndef AGENT_DECLS_APPLICATIONSERVICES_H
#define AGENT_DECLS_APPLICATIONSERVICES_H

#include <sys/types.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>

typedef const struct AGENT_CF_BRIDGED(id) __AXUIElement* AXUIElementRef;
typedef const struct AGENT_CF_BRIDGED(id) __AXValue* AXValueRef;

AGENT_ENUM(SInt32, AXError){
    kAXErrorSuccess = 0,
    kAXErrorFailure = -25200,
    kAXErrorIllegalArgument = -25201,
    kAXErrorInvalidUIElement = -25202,
    kAXErrorInvalidUIElementObserver = -25203,
    kAXErrorCannotComplete = -25204,
    kAXErrorAttributeUnsupported = -25205,
    kAXErrorActionUnsupported = -25206,
    kAXErrorNotificationUnsupported = -25207,
    kAXErrorNotImplemented = -25208,
    kAXErrorNotificationAlreadyRegistered = -25209,
    kAXErrorNotificationNotRegistered = -25210,
    kAXErrorAPIDisabled = -25211,
    kAXErrorNoValue = -25212,
    kAXErrorParameterizedAttributeUnsupported = -25213,
    kAXErrorNotEnoughPrecision = -25214,
};

AGENT_ENUM(UInt32, AXValueType){
    kAXValueTypeIllegal = 0,
    kAXValueTypeCGPoint = 1,
    kAXValueTypeCGSize = 2,
    kAXValueTypeCGRect = 3,
    kAXValueTypeCFRange = 4,
    kAXValueTypeAXError = 5,
};

AGENT_EXTERN_C_BEGIN
AGENT_IMPLICIT_BRIDGING_BEGIN
AGENT_NONNULL_BEGIN

// Not const: the process-trust option key.
extern CFStringRef kAXTrustedCheckOptionPrompt;

Boolean AXIsProcessTrusted(void);
Boolean AXIsProcessTrustedWithOptions(CFDictionaryRef _Nullable options);

CFTypeID AXUIElementGetTypeID(void);
AXUIElementRef AXUIElementCreateApplication(pid_t pid);
AXUIElementRef AXUIElementCreateSystemWide(void);
AXError AXUIElementGetPid(AXUIElementRef element, pid_t* pid);
AXError AXUIElementCopyAttributeValue(AXUIElementRef element, CFStringRef attribute,
                                      CFTypeRef _Nullable* _Nonnull value);
AXError AXUIElementSetAttributeValue(AXUIElementRef element, CFStringRef attribute, CFTypeRef value);
AXError AXUIElementCopyActionNames(AXUIElementRef element, CFArrayRef _Nullable* _Nonnull names);
AXError AXUIElementPerformAction(AXUIElementRef element, CFStringRef action);
AXError AXUIElementCopyElementAtPosition(AXUIElementRef application, float x, float y,
                                         AXUIElementRef _Nullable* _Nonnull element);
AXError AXUIElementSetMessagingTimeout(AXUIElementRef element, float timeoutInSeconds);

CFTypeID AXValueGetTypeID(void);
AXValueRef _Nullable AXValueCreate(AXValueType theType, const void* valuePtr);
Boolean AXValueGetValue(AXValueRef value, AXValueType theType, void* valuePtr);

AGENT_NONNULL_END
AGENT_IMPLICIT_BRIDGING_END
AGENT_EXTERN_C_END

AGENT_PIN(AXIsProcessTrusted, Boolean());
AGENT_PIN(AXIsProcessTrustedWithOptions, Boolean(CFDictionaryRef));
AGENT_PIN(AXUIElementGetTypeID, CFTypeID());
AGENT_PIN(AXUIElementCreateApplication, AXUIElementRef(pid_t));
AGENT_PIN(AXUIElementCreateSystemWide, AXUIElementRef());
AGENT_PIN(AXUIElementGetPid, AXError(AXUIElementRef, pid_t*));
AGENT_PIN(AXUIElementCopyAttributeValue, AXError(AXUIElementRef, CFStringRef, CFTypeRef*));
AGENT_PIN(AXUIElementSetAttributeValue, AXError(AXUIElementRef, CFStringRef, CFTypeRef));
AGENT_PIN(AXUIElementCopyActionNames, AXError(AXUIElementRef, CFArrayRef*));
AGENT_PIN(AXUIElementPerformAction, AXError(AXUIElementRef, CFStringRef));
AGENT_PIN(AXUIElementCopyElementAtPosition, AXError(AXUIElementRef, float, float, AXUIElementRef*));
AGENT_PIN(AXUIElementSetMessagingTimeout, AXError(AXUIElementRef, float));
AGENT_PIN(AXValueGetTypeID, CFTypeID());
AGENT_PIN(AXValueCreate, AXValueRef(AXValueType, const void*));
AGENT_PIN(AXValueGetValue, Boolean(AXValueRef, AXValueType, void*));
AGENT_PIN_VAR(kAXTrustedCheckOptionPrompt, CFStringRef);
#if defined(__cplusplus)
static_assert(sizeof(AXError) == 4 && !std::is_convertible_v<int, AXError>, "AXError is a typed enumeration");
static_assert(!std::is_convertible_v<int, AXValueType>, "AXValueType is a typed enumeration");
#endif

#endif
