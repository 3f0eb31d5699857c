// CoreFoundation: the part of it the macOS backend uses (see
// agent_decls/annotations.h for what these stand-in declarations are for).
#ifndef AGENT_DECLS_COREFOUNDATION_H
#define AGENT_DECLS_COREFOUNDATION_H

#include <stdint.h>
#include <agent_decls/annotations.h>

typedef unsigned char Boolean;
typedef uint8_t UInt8;
typedef uint16_t UInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef UInt16 UniChar;
typedef unsigned long UniCharCount;

typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef unsigned long CFHashCode;
typedef signed long CFIndex;
typedef struct {
    CFIndex location;
    CFIndex length;
} CFRange;

typedef const void* CFTypeRef;
typedef const struct AGENT_CF_BRIDGED(NSString) __CFString* CFStringRef;
typedef const struct AGENT_CF_BRIDGED(NSArray) __CFArray* CFArrayRef;
typedef const struct AGENT_CF_BRIDGED(NSDictionary) __CFDictionary* CFDictionaryRef;
typedef const struct AGENT_CF_BRIDGED(NSNumber) __CFNumber* CFNumberRef;
typedef const struct AGENT_CF_BRIDGED(NSNumber) __CFBoolean* CFBooleanRef;
typedef const struct AGENT_CF_BRIDGED(id) __CFAllocator* CFAllocatorRef;
typedef struct AGENT_CF_BRIDGED(id) __CFRunLoop* CFRunLoopRef;
typedef const struct AGENT_CF_BRIDGED(NSData) __CFData* CFDataRef;
typedef struct AGENT_CF_BRIDGED_MUTABLE(NSMutableData) __CFData* CFMutableDataRef;

typedef UInt32 CFStringEncoding;
AGENT_ENUM(CFStringEncoding, CFStringBuiltInEncodings){
    kCFStringEncodingUTF8 = 0x08000100,
};

AGENT_ENUM(CFIndex, CFNumberType){
    kCFNumberSInt8Type = 1,    kCFNumberSInt16Type = 2,  kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,   kCFNumberFloat32Type = 5, kCFNumberFloat64Type = 6,
    kCFNumberCharType = 7,     kCFNumberShortType = 8,   kCFNumberIntType = 9,
    kCFNumberLongType = 10,    kCFNumberLongLongType = 11, kCFNumberFloatType = 12,
    kCFNumberDoubleType = 13,  kCFNumberCFIndexType = 14, kCFNumberNSIntegerType = 15,
    kCFNumberCGFloatType = 16,
};

typedef const void* _Nullable (*CFArrayRetainCallBack)(CFAllocatorRef _Nullable, const void* _Nullable);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef _Nullable, const void* _Nullable);
typedef CFStringRef _Nullable (*CFArrayCopyDescriptionCallBack)(const void* _Nullable);
typedef Boolean (*CFArrayEqualCallBack)(const void* _Nullable, const void* _Nullable);
typedef struct {
    CFIndex version;
    CFArrayRetainCallBack _Nullable retain;
    CFArrayReleaseCallBack _Nullable release;
    CFArrayCopyDescriptionCallBack _Nullable copyDescription;
    CFArrayEqualCallBack _Nullable equal;
} CFArrayCallBacks;

typedef CFHashCode (*CFDictionaryHashCallBack)(const void* _Nullable);
typedef struct {
    CFIndex version;
    CFArrayRetainCallBack _Nullable retain;
    CFArrayReleaseCallBack _Nullable release;
    CFArrayCopyDescriptionCallBack _Nullable copyDescription;
    CFArrayEqualCallBack _Nullable equal;
    CFDictionaryHashCallBack _Nullable hash;
} CFDictionaryKeyCallBacks;
typedef struct {
    CFIndex version;
    CFArrayRetainCallBack _Nullable retain;
    CFArrayReleaseCallBack _Nullable release;
    CFArrayCopyDescriptionCallBack _Nullable copyDescription;
    CFArrayEqualCallBack _Nullable equal;
} CFDictionaryValueCallBacks;

// A compile-time constant string.
#define CFSTR(text) ((CFStringRef)__builtin___CFStringMakeConstantString("" text ""))

AGENT_EXTERN_C_BEGIN
AGENT_IMPLICIT_BRIDGING_BEGIN
AGENT_NONNULL_BEGIN

extern const CFAllocatorRef _Nullable kCFAllocatorDefault;

CFTypeID CFGetTypeID(CFTypeRef cf);
CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);

CFTypeID CFStringGetTypeID(void);
CFStringRef _Nullable CFStringCreateWithBytes(CFAllocatorRef _Nullable alloc, const UInt8* _Nullable bytes,
                                              CFIndex numBytes, CFStringEncoding encoding,
                                              Boolean isExternalRepresentation);
CFIndex CFStringGetLength(CFStringRef theString);
CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8* _Nullable buffer, CFIndex maxBufLen,
                         CFIndex* _Nullable usedBufLen);
const char* _Nullable CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding);

CFTypeID CFArrayGetTypeID(void);
extern const CFArrayCallBacks kCFTypeArrayCallBacks;
CFArrayRef CFArrayCreate(CFAllocatorRef _Nullable allocator, const void* _Nullable* _Nullable values,
                         CFIndex numValues, const CFArrayCallBacks* _Nullable callBacks);
CFIndex CFArrayGetCount(CFArrayRef theArray);
const void* _Nullable CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);

CFTypeID CFNumberGetTypeID(void);
CFNumberRef _Nullable CFNumberCreate(CFAllocatorRef _Nullable allocator, CFNumberType theType,
                                     const void* valuePtr);
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);
Boolean CFNumberIsFloatType(CFNumberRef number);

CFTypeID CFBooleanGetTypeID(void);
extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;
Boolean CFBooleanGetValue(CFBooleanRef boolean);

CFTypeID CFDictionaryGetTypeID(void);
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;
CFDictionaryRef CFDictionaryCreate(CFAllocatorRef _Nullable allocator, const void* _Nullable* _Nullable keys,
                                   const void* _Nullable* _Nullable values, CFIndex numValues,
                                   const CFDictionaryKeyCallBacks* _Nullable keyCallBacks,
                                   const CFDictionaryValueCallBacks* _Nullable valueCallBacks);
CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
const void* _Nullable CFDictionaryGetValue(CFDictionaryRef theDict, const void* key);
void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void* _Nullable* _Nullable keys,
                                  const void* _Nullable* _Nullable values);

CFTypeID CFDataGetTypeID(void);
CFDataRef CFDataCreate(CFAllocatorRef _Nullable allocator, const UInt8* _Nullable bytes, CFIndex length);
CFMutableDataRef CFDataCreateMutable(CFAllocatorRef _Nullable allocator, CFIndex capacity);
CFIndex CFDataGetLength(CFDataRef theData);
const UInt8* _Nullable CFDataGetBytePtr(CFDataRef theData);

void CFRunLoopRun(void);

AGENT_NONNULL_END
AGENT_IMPLICIT_BRIDGING_END
AGENT_EXTERN_C_END

AGENT_PIN(CFGetTypeID, CFTypeID(CFTypeRef));
AGENT_PIN(CFRetain, CFTypeRef(CFTypeRef));
AGENT_PIN(CFRelease, void(CFTypeRef));
AGENT_PIN(CFStringGetTypeID, CFTypeID());
AGENT_PIN(CFStringCreateWithBytes, CFStringRef(CFAllocatorRef, const UInt8*, CFIndex, CFStringEncoding, Boolean));
AGENT_PIN(CFStringGetLength, CFIndex(CFStringRef));
AGENT_PIN(CFStringGetBytes,
          CFIndex(CFStringRef, CFRange, CFStringEncoding, UInt8, Boolean, UInt8*, CFIndex, CFIndex*));
AGENT_PIN(CFStringGetCStringPtr, const char*(CFStringRef, CFStringEncoding));
AGENT_PIN(CFArrayGetTypeID, CFTypeID());
AGENT_PIN(CFArrayCreate, CFArrayRef(CFAllocatorRef, const void**, CFIndex, const CFArrayCallBacks*));
AGENT_PIN(CFArrayGetCount, CFIndex(CFArrayRef));
AGENT_PIN(CFArrayGetValueAtIndex, const void*(CFArrayRef, CFIndex));
AGENT_PIN(CFNumberGetTypeID, CFTypeID());
AGENT_PIN(CFNumberCreate, CFNumberRef(CFAllocatorRef, CFNumberType, const void*));
AGENT_PIN(CFNumberGetValue, Boolean(CFNumberRef, CFNumberType, void*));
AGENT_PIN(CFNumberIsFloatType, Boolean(CFNumberRef));
AGENT_PIN(CFBooleanGetTypeID, CFTypeID());
AGENT_PIN(CFBooleanGetValue, Boolean(CFBooleanRef));
AGENT_PIN(CFDictionaryGetTypeID, CFTypeID());
AGENT_PIN(CFDictionaryCreate, CFDictionaryRef(CFAllocatorRef, const void**, const void**, CFIndex,
                                              const CFDictionaryKeyCallBacks*,
                                              const CFDictionaryValueCallBacks*));
AGENT_PIN(CFDictionaryGetCount, CFIndex(CFDictionaryRef));
AGENT_PIN(CFDictionaryGetValue, const void*(CFDictionaryRef, const void*));
AGENT_PIN(CFDictionaryGetKeysAndValues, void(CFDictionaryRef, const void**, const void**));
AGENT_PIN(CFDataGetTypeID, CFTypeID());
AGENT_PIN(CFDataCreate, CFDataRef(CFAllocatorRef, const UInt8*, CFIndex));
AGENT_PIN(CFDataCreateMutable, CFMutableDataRef(CFAllocatorRef, CFIndex));
AGENT_PIN(CFDataGetLength, CFIndex(CFDataRef));
AGENT_PIN(CFDataGetBytePtr, const UInt8*(CFDataRef));
AGENT_PIN(CFRunLoopRun, void());
AGENT_PIN_VAR(kCFBooleanTrue, const CFBooleanRef);
AGENT_PIN_VAR(kCFBooleanFalse, const CFBooleanRef);
AGENT_PIN_VAR(kCFAllocatorDefault, const CFAllocatorRef);
#if defined(__cplusplus)
static_assert(sizeof(CFIndex) == 8 && sizeof(CFTypeID) == 8 && sizeof(Boolean) == 1, "64-bit CF types");
static_assert(sizeof(CFNumberType) == sizeof(CFIndex) && !std::is_convertible_v<int, CFNumberType>,
              "CFNumberType is a typed enumeration over CFIndex");
#endif

#endif
