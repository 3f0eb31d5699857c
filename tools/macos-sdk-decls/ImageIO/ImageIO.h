// ImageIO: writing an image to a file format in memory (image destinations).
#ifndef AGENT_DECLS_IMAGEIO_H
#define AGENT_DECLS_IMAGEIO_H

#include <stddef.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>

typedef struct AGENT_CF_BRIDGED(id) CGImageDestination* CGImageDestinationRef;

AGENT_EXTERN_C_BEGIN
AGENT_IMPLICIT_BRIDGING_BEGIN
AGENT_NONNULL_BEGIN

CFTypeID CGImageDestinationGetTypeID(void) AGENT_AVAILABLE_MACOS(10.4);
// `type` is a uniform type identifier, such as "public.png".
CGImageDestinationRef _Nullable CGImageDestinationCreateWithData(CFMutableDataRef data, CFStringRef type,
                                                                 size_t count, CFDictionaryRef _Nullable options)
    AGENT_AVAILABLE_MACOS(10.4);
void CGImageDestinationAddImage(CGImageDestinationRef idst, CGImageRef image, CFDictionaryRef _Nullable properties)
    AGENT_AVAILABLE_MACOS(10.4);
bool CGImageDestinationFinalize(CGImageDestinationRef idst) AGENT_AVAILABLE_MACOS(10.4);

AGENT_NONNULL_END
AGENT_IMPLICIT_BRIDGING_END
AGENT_EXTERN_C_END

AGENT_PIN(CGImageDestinationGetTypeID, CFTypeID());
AGENT_PIN(CGImageDestinationCreateWithData, CGImageDestinationRef(CFMutableDataRef, CFStringRef, size_t, CFDictionaryRef));
AGENT_PIN(CGImageDestinationAddImage, void(CGImageDestinationRef, CGImageRef, CFDictionaryRef));
AGENT_PIN(CGImageDestinationFinalize, bool(CGImageDestinationRef));

#endif
