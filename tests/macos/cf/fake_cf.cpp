#include "fake_cf.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

enum Kind : CFTypeID { kString = 1, kArray, kNumber, kBoolean, kDictionary, kElement, kAXValue };

struct Object {
    CFTypeID type;
    long refs = 1;
    // string
    std::u16string units;
    std::string storage;
    bool fast = false;
    // number
    bool isFloat = false;
    bool huge = false;
    long long integer = 0;
    double real = 0;
    // boolean
    bool truth = false;
    // array, dictionary
    std::vector<const void*> items;
    std::vector<const void*> keys;
    // AXValue
    AXValueType valueType = kAXValueTypeIllegal;
    unsigned char bytes[32] = {};
    // accessibility element: its messaging timeout, negative until one is set
    float timeout = -1;
};

long liveObjects = 0;
Object trueObject{kBoolean, 1L << 40, {}, {}, false, false, false, 0, 0, true, {}, {}, kAXValueTypeIllegal, {}, -1};
Object falseObject{kBoolean, 1L << 40, {}, {}, false, false, false, 0, 0, false, {}, {}, kAXValueTypeIllegal, {}, -1};
CFArrayRef windowList = nullptr;
CGWindowListOption lastOption = 0;

Object* make(CFTypeID type) {
    ++liveObjects;
    auto* o = new Object{};
    o->type = type;
    return o;
}
Object* obj(CFTypeRef ref) {
    if (!ref) std::abort();  // CF crashes on null; so does the fake
    return static_cast<Object*>(const_cast<void*>(ref));
}
template <class T>
T as(Object* o) {
    return reinterpret_cast<T>(o);
}

std::size_t valueSize(AXValueType type) {
    switch (type) {
        case kAXValueTypeCGPoint: return sizeof(CGPoint);
        case kAXValueTypeCGSize: return sizeof(CGSize);
        case kAXValueTypeCGRect: return sizeof(CGRect);
        case kAXValueTypeCFRange: return sizeof(CFRange);
        default: return 0;
    }
}

bool sameString(CFTypeRef a, CFTypeRef b) {
    return obj(a)->type == kString && obj(b)->type == kString && obj(a)->units == obj(b)->units;
}

}  // namespace

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFBooleanRef kCFBooleanTrue = reinterpret_cast<CFBooleanRef>(&trueObject);
const CFBooleanRef kCFBooleanFalse = reinterpret_cast<CFBooleanRef>(&falseObject);
const CFArrayCallBacks kCFTypeArrayCallBacks{};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks{};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks{};

CFTypeID CFGetTypeID(CFTypeRef cf) { return obj(cf)->type; }
CFTypeRef CFRetain(CFTypeRef cf) {
    ++obj(cf)->refs;
    return cf;
}
void CFRelease(CFTypeRef cf) {
    Object* o = obj(cf);
    if (--o->refs > 0) return;
    if (o == &trueObject || o == &falseObject) std::abort();
    for (auto* item : o->items) CFRelease(item);
    for (auto* key : o->keys) CFRelease(key);
    delete o;
    --liveObjects;
}

CFTypeID CFStringGetTypeID(void) { return kString; }
CFTypeID CFArrayGetTypeID(void) { return kArray; }
CFTypeID CFNumberGetTypeID(void) { return kNumber; }
CFTypeID CFBooleanGetTypeID(void) { return kBoolean; }
CFTypeID CFDictionaryGetTypeID(void) { return kDictionary; }
CFTypeID AXUIElementGetTypeID(void) { return kElement; }
CFTypeID AXValueGetTypeID(void) { return kAXValue; }

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes, CFStringEncoding encoding,
                                    Boolean) {
    if (encoding != kCFStringEncodingUTF8) std::abort();
    std::u16string units;
    for (CFIndex i = 0; i < numBytes;) {
        unsigned b = bytes[i];
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0) return nullptr;
        char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= numBytes || (bytes[i + k] & 0xC0) != 0x80) return nullptr;
            cp = (cp << 6) | (bytes[i + k] & 0x3F);
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return nullptr;
        if (cp >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(cp);
        }
        i += extra + 1;
    }
    return fakecf::utf16(units);
}
CFIndex CFStringGetLength(CFStringRef s) { return static_cast<CFIndex>(obj(s)->units.size()); }
const char* CFStringGetCStringPtr(CFStringRef s, CFStringEncoding) {
    return obj(s)->fast ? obj(s)->storage.c_str() : nullptr;
}
// Converts whole characters only; with lossByte 0 it stops before a character
// UTF-8 cannot hold; returns the UTF-16 units converted and the bytes used.
CFIndex CFStringGetBytes(CFStringRef s, CFRange range, CFStringEncoding encoding, UInt8 lossByte, Boolean,
                         UInt8* buffer, CFIndex maxBufLen, CFIndex* usedBufLen) {
    if (encoding != kCFStringEncodingUTF8) std::abort();
    const std::u16string& u = obj(s)->units;
    if (range.location < 0 || range.length < 0 || range.location + range.length > static_cast<CFIndex>(u.size()))
        std::abort();
    CFIndex i = range.location, end = range.location + range.length, used = 0;
    while (i < end) {
        char32_t cp = u[i];
        int width = 1;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < end && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            width = 2;
        }
        UInt8 out[4];
        int n;
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (lossByte == 0) break;
            out[0] = lossByte;
            n = 1;
        } else if (cp < 0x80) {
            out[0] = static_cast<UInt8>(cp);
            n = 1;
        } else if (cp < 0x800) {
            out[0] = static_cast<UInt8>(0xC0 | (cp >> 6));
            out[1] = static_cast<UInt8>(0x80 | (cp & 0x3F));
            n = 2;
        } else if (cp < 0x10000) {
            out[0] = static_cast<UInt8>(0xE0 | (cp >> 12));
            out[1] = static_cast<UInt8>(0x80 | ((cp >> 6) & 0x3F));
            out[2] = static_cast<UInt8>(0x80 | (cp & 0x3F));
            n = 3;
        } else {
            out[0] = static_cast<UInt8>(0xF0 | (cp >> 18));
            out[1] = static_cast<UInt8>(0x80 | ((cp >> 12) & 0x3F));
            out[2] = static_cast<UInt8>(0x80 | ((cp >> 6) & 0x3F));
            out[3] = static_cast<UInt8>(0x80 | (cp & 0x3F));
            n = 4;
        }
        if (buffer) {
            if (used + n > maxBufLen) break;
            std::memcpy(buffer + used, out, static_cast<std::size_t>(n));
        }
        used += n;
        i += width;
    }
    if (usedBufLen) *usedBufLen = used;
    return i - range.location;
}

CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex numValues, const CFArrayCallBacks* callBacks) {
    if (callBacks != &kCFTypeArrayCallBacks) std::abort();
    Object* o = make(kArray);
    for (CFIndex i = 0; i < numValues; ++i) o->items.push_back(CFRetain(values[i]));
    return as<CFArrayRef>(o);
}
CFIndex CFArrayGetCount(CFArrayRef a) { return static_cast<CFIndex>(obj(a)->items.size()); }
const void* CFArrayGetValueAtIndex(CFArrayRef a, CFIndex i) { return obj(a)->items.at(static_cast<std::size_t>(i)); }

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* p) {
    Object* o = make(kNumber);
    switch (type) {
        case kCFNumberSInt32Type: o->integer = *static_cast<const int32_t*>(p); break;
        case kCFNumberSInt64Type: o->integer = *static_cast<const int64_t*>(p); break;
        case kCFNumberFloat32Type: o->isFloat = true; o->real = *static_cast<const float*>(p); break;
        case kCFNumberFloat64Type:
        case kCFNumberDoubleType:
        case kCFNumberCGFloatType: o->isFloat = true; o->real = *static_cast<const double*>(p); break;
        default: std::abort();
    }
    return as<CFNumberRef>(o);
}
Boolean CFNumberIsFloatType(CFNumberRef n) { return obj(n)->isFloat; }
// Like CF: the value is converted, and the answer is false when that lost something.
Boolean CFNumberGetValue(CFNumberRef n, CFNumberType type, void* p) {
    Object* o = obj(n);
    switch (type) {
        case kCFNumberSInt64Type: {
            if (o->isFloat || o->huge) {
                *static_cast<int64_t*>(p) = static_cast<int64_t>(o->huge ? 0 : o->real);
                return o->huge ? false : static_cast<double>(static_cast<int64_t>(o->real)) == o->real;
            }
            *static_cast<int64_t*>(p) = o->integer;
            return true;
        }
        case kCFNumberDoubleType:
        case kCFNumberFloat64Type:
        case kCFNumberCGFloatType:
            *static_cast<double*>(p) = o->isFloat || o->huge ? o->real : static_cast<double>(o->integer);
            return true;
        default: std::abort();
    }
}

Boolean CFBooleanGetValue(CFBooleanRef b) { return obj(b)->truth; }

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef, const void** keys, const void** values, CFIndex numValues,
                                   const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks) {
    if (keyCallBacks != &kCFTypeDictionaryKeyCallBacks || valueCallBacks != &kCFTypeDictionaryValueCallBacks)
        std::abort();
    Object* o = make(kDictionary);
    for (CFIndex i = 0; i < numValues; ++i) {
        o->keys.push_back(CFRetain(keys[i]));
        o->items.push_back(CFRetain(values[i]));
    }
    return as<CFDictionaryRef>(o);
}
CFIndex CFDictionaryGetCount(CFDictionaryRef d) { return static_cast<CFIndex>(obj(d)->keys.size()); }
const void* CFDictionaryGetValue(CFDictionaryRef d, const void* key) {
    Object* o = obj(d);
    for (std::size_t i = 0; i < o->keys.size(); ++i)
        if (o->keys[i] == key || sameString(o->keys[i], key)) return o->items[i];
    return nullptr;
}
void CFDictionaryGetKeysAndValues(CFDictionaryRef d, const void** keys, const void** values) {
    Object* o = obj(d);
    for (std::size_t i = 0; i < o->keys.size(); ++i) {
        if (keys) keys[i] = o->keys[i];
        if (values) values[i] = o->items[i];
    }
}

AXValueRef AXValueCreate(AXValueType type, const void* p) {
    std::size_t size = valueSize(type);
    if (size == 0) return nullptr;
    Object* o = make(kAXValue);
    o->valueType = type;
    std::memcpy(o->bytes, p, size);
    return as<AXValueRef>(o);
}
Boolean AXValueGetValue(AXValueRef v, AXValueType type, void* p) {
    Object* o = obj(v);
    if (o->valueType != type) return false;
    std::memcpy(p, o->bytes, valueSize(type));
    return true;
}

AXError AXUIElementSetMessagingTimeout(AXUIElementRef element, float timeoutInSeconds) {
    Object* o = obj(element);
    if (o->type != kElement || timeoutInSeconds < 0) return kAXErrorIllegalArgument;
    o->timeout = timeoutInSeconds;
    return kAXErrorSuccess;
}

CFArrayRef CGWindowListCopyWindowInfo(CGWindowListOption option, CGWindowID) {
    lastOption = option;
    if (!windowList) return nullptr;
    return static_cast<CFArrayRef>(CFRetain(windowList));
}
bool CGRectMakeWithDictionaryRepresentation(CFDictionaryRef dict, CGRect* rect) {
    if (!dict || !rect || obj(dict)->type != kDictionary) return false;
    double parts[4];
    const char* names[4] = {"X", "Y", "Width", "Height"};
    for (int i = 0; i < 4; ++i) {
        CFStringRef name = fakecf::utf16(std::u16string(names[i], names[i] + std::strlen(names[i])));
        const void* v = CFDictionaryGetValue(dict, name);
        CFRelease(name);
        if (!v || obj(v)->type != kNumber) return false;
        CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberDoubleType, &parts[i]);
    }
    *rect = CGRect{{parts[0], parts[1]}, {parts[2], parts[3]}};
    return true;
}
bool CGRectContainsPoint(CGRect r, CGPoint p) {
    return r.size.width > 0 && r.size.height > 0 && p.x >= r.origin.x && p.y >= r.origin.y &&
           p.x < r.origin.x + r.size.width && p.y < r.origin.y + r.size.height;
}
CGDirectDisplayID CGMainDisplayID(void) { return 1; }
CGRect CGDisplayBounds(CGDirectDisplayID) { return CGRect{{0, 0}, {1440, 900}}; }
bool CGPreflightScreenCaptureAccess(void) { return false; }
bool CGRequestScreenCaptureAccess(void) { return false; }

}  // extern "C"

namespace fakecf {

long live() { return liveObjects; }
long refs(CFTypeRef ref) { return obj(ref)->refs; }

CFStringRef utf16(const std::u16string& units, bool fastStorage) {
    Object* o = make(kString);
    o->units = units;
    if (fastStorage) {
        o->fast = true;
        for (char16_t u : units) o->storage += static_cast<char>(u);  // 8-bit storage: callers pass ASCII
    }
    return as<CFStringRef>(o);
}

CFNumberRef hugeNumber(double value) {
    Object* o = make(kNumber);
    o->huge = true;
    o->real = value;
    return as<CFNumberRef>(o);
}

AXUIElementRef element() { return as<AXUIElementRef>(make(kElement)); }
float timeout(AXUIElementRef element) { return obj(element)->timeout; }

void setWindowList(CFArrayRef list) {
    if (windowList) CFRelease(windowList);
    windowList = list ? static_cast<CFArrayRef>(CFRetain(list)) : nullptr;
}
CGWindowListOption lastWindowListOption() { return lastOption; }

}  // namespace fakecf
