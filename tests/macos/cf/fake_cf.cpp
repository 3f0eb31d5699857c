#include "fake_cf.h"

#include <crt_externs.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
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
    // accessibility element: its process (the system-wide element has none),
    // its messaging timeout (negative until one is set), and what it answers:
    // attributes (keys: names, items: values), action names and the element
    // at any position. An element made by AXUIElementCreateApplication or
    // AXUIElementCreateSystemWide answers what is scripted on `script`.
    pid_t pid = 0;
    bool systemWide = false;
    float timeout = -1;
    const void* actions = nullptr;
    const void* hit = nullptr;
    const void* script = nullptr;
};

long liveObjects = 0;
// The boolean constants are never freed.
Object constant(bool truth) {
    Object o{};
    o.type = kBoolean;
    o.refs = 1L << 40;
    o.truth = truth;
    return o;
}
Object trueObject = constant(true);
Object falseObject = constant(false);
CFArrayRef windowList = nullptr;
CGWindowListOption lastOption = 0;

// The accessibility model: scripts per process and for the system-wide
// element, processes that do not answer, and the calls that reached each.
std::map<pid_t, AXUIElementRef> applicationScripts;
AXUIElementRef systemWideScript = nullptr;
std::set<pid_t> unanswering;
std::map<pid_t, long> callCount;
std::map<std::pair<pid_t, std::u16string>, AXError> refusals;
std::vector<fakecf::Call> callRecords;
float processTimeout = -1;

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

Object* element(CFTypeRef ref) {
    Object* o = obj(ref);
    if (o->type != kElement) std::abort();  // the AX calls take elements only
    return o;
}
// The element whose script answers for `ref`.
Object* answering(CFTypeRef ref) {
    Object* o = element(ref);
    return o->script ? obj(o->script) : o;
}
pid_t processKey(Object* o) { return o->systemWide ? fakecf::kSystemWide : o->pid; }
// Counts a call to the element's process; false when that process does not answer.
bool reached(CFTypeRef ref) {
    pid_t key = processKey(element(ref));
    ++callCount[key];
    return unanswering.count(key) == 0;
}
std::string nameOf(CFStringRef name) {
    std::string text;
    for (char16_t u : obj(name)->units) text += static_cast<char>(u);  // callers use ASCII names
    return text;
}
// Logs a call that reached `ref` with its answer, and returns the answer.
AXError logged(CFTypeRef ref, const char* kind, CFStringRef name, AXError answer, CFTypeRef value = nullptr) {
    Object* o = element(ref);
    std::string text;
    if (value) text = value == kCFBooleanTrue ? "true" : value == kCFBooleanFalse ? "false" : "other";
    callRecords.push_back(
        fakecf::Call{processKey(o), kind, name ? nameOf(name) : "", o->script != nullptr, o->timeout, text, answer});
    return answer;
}
void replace(const void*& slot, CFTypeRef value) {
    if (value) CFRetain(value);
    if (slot) CFRelease(slot);
    slot = value;
}
void setAttributeOf(Object* o, CFStringRef name, CFTypeRef value) {
    for (std::size_t i = 0; i < o->keys.size(); ++i)
        if (sameString(o->keys[i], name)) {
            replace(o->items[i], value);
            return;
        }
    o->keys.push_back(CFRetain(name));
    o->items.push_back(CFRetain(value));
}

}  // namespace

extern char** environ;

extern "C" {

// The C runtime's environment accessor, over the C library's variable.
char*** _NSGetEnviron(void) { return &environ; }

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
    for (auto* held : {o->actions, o->hit, o->script})
        if (held) CFRelease(held);
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

CFStringRef kAXTrustedCheckOptionPrompt = fakecf::utf16(u"AXTrustedCheckOptionPrompt");
Boolean AXIsProcessTrusted(void) { return false; }
Boolean AXIsProcessTrustedWithOptions(CFDictionaryRef) { return false; }
Boolean IsSecureEventInputEnabled(void) { return false; }

AXUIElementRef AXUIElementCreateApplication(pid_t pid) {
    Object* o = make(kElement);
    o->pid = pid;
    o->script = CFRetain(fakecf::application(pid));
    return as<AXUIElementRef>(o);
}
AXUIElementRef AXUIElementCreateSystemWide(void) {
    Object* o = make(kElement);
    o->systemWide = true;
    o->script = CFRetain(fakecf::systemWide());
    return as<AXUIElementRef>(o);
}
// The system-wide element belongs to no process.
AXError AXUIElementGetPid(AXUIElementRef e, pid_t* pid) {
    Object* o = element(e);
    if (o->systemWide) return kAXErrorIllegalArgument;
    *pid = o->pid;
    return kAXErrorSuccess;
}
// Set on the system-wide element, the timeout is also the process's default.
AXError AXUIElementSetMessagingTimeout(AXUIElementRef e, float timeoutInSeconds) {
    Object* o = element(e);
    if (timeoutInSeconds < 0) return kAXErrorIllegalArgument;
    o->timeout = timeoutInSeconds;
    if (o->systemWide) processTimeout = timeoutInSeconds;
    return kAXErrorSuccess;
}
AXError AXUIElementCopyAttributeValue(AXUIElementRef e, CFStringRef attribute, CFTypeRef* value) {
    *value = nullptr;
    if (!reached(e)) return logged(e, "copy", attribute, kAXErrorCannotComplete);
    Object* o = answering(e);
    for (std::size_t i = 0; i < o->keys.size(); ++i)
        if (sameString(o->keys[i], attribute)) {
            *value = CFRetain(o->items[i]);
            return logged(e, "copy", attribute, kAXErrorSuccess);
        }
    return logged(e, "copy", attribute, kAXErrorAttributeUnsupported);
}
AXError AXUIElementSetAttributeValue(AXUIElementRef e, CFStringRef attribute, CFTypeRef value) {
    if (!value) std::abort();  // the value is not optional
    if (!reached(e)) return logged(e, "set", attribute, kAXErrorCannotComplete, value);
    auto refused = refusals.find({processKey(element(e)), obj(attribute)->units});
    if (refused != refusals.end()) return logged(e, "set", attribute, refused->second, value);
    setAttributeOf(answering(e), attribute, value);
    return logged(e, "set", attribute, kAXErrorSuccess, value);
}
AXError AXUIElementCopyActionNames(AXUIElementRef e, CFArrayRef* names) {
    *names = nullptr;
    if (!reached(e)) return logged(e, "actions", nullptr, kAXErrorCannotComplete);
    Object* o = answering(e);
    *names = o->actions ? static_cast<CFArrayRef>(CFRetain(o->actions))
                        : CFArrayCreate(kCFAllocatorDefault, nullptr, 0, &kCFTypeArrayCallBacks);
    return logged(e, "actions", nullptr, kAXErrorSuccess);
}
AXError AXUIElementPerformAction(AXUIElementRef e, CFStringRef action) {
    if (!reached(e)) return logged(e, "perform", action, kAXErrorCannotComplete);
    return logged(e, "perform", action, kAXErrorSuccess);
}
AXError AXUIElementCopyElementAtPosition(AXUIElementRef application, float, float, AXUIElementRef* e) {
    *e = nullptr;
    if (!reached(application)) return logged(application, "hit", nullptr, kAXErrorCannotComplete);
    Object* o = answering(application);
    if (!o->hit) return logged(application, "hit", nullptr, kAXErrorNoValue);
    *e = static_cast<AXUIElementRef>(CFRetain(o->hit));
    return logged(application, "hit", nullptr, kAXErrorSuccess);
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

AXUIElementRef element(pid_t pid) {
    Object* o = make(kElement);
    o->pid = pid;
    return as<AXUIElementRef>(o);
}
float timeout(AXUIElementRef e) { return ::element(e)->timeout; }

AXUIElementRef application(pid_t pid) {
    AXUIElementRef& script = applicationScripts[pid];
    if (!script) script = element(pid);
    return script;
}
AXUIElementRef systemWide() {
    if (!systemWideScript) {
        systemWideScript = element(0);
        obj(systemWideScript)->systemWide = true;
    }
    return systemWideScript;
}
void setAttribute(AXUIElementRef e, const char* name, CFTypeRef value) {
    CFStringRef key = utf16(std::u16string(name, name + std::strlen(name)));
    setAttributeOf(::element(e), key, value);
    CFRelease(key);
}
void setActions(AXUIElementRef e, CFArrayRef names) { replace(::element(e)->actions, names); }
void setHit(AXUIElementRef e, AXUIElementRef hit) { replace(::element(e)->hit, hit); }

void refuseSet(pid_t pid, const char* name, AXError error) {
    refusals[{pid, std::u16string(name, name + std::strlen(name))}] = error;
}
const std::vector<Call>& callLog() { return callRecords; }

void hang(pid_t pid, bool hung) {
    if (hung)
        unanswering.insert(pid);
    else
        unanswering.erase(pid);
}
long calls(pid_t pid) {
    auto it = callCount.find(pid);
    return it == callCount.end() ? 0 : it->second;
}
float processDefaultTimeout() { return processTimeout; }

void resetAccessibility() {
    for (auto& [pid, script] : applicationScripts) CFRelease(script);
    applicationScripts.clear();
    if (systemWideScript) CFRelease(systemWideScript);
    systemWideScript = nullptr;
    unanswering.clear();
    callCount.clear();
    refusals.clear();
    callRecords.clear();
    processTimeout = -1;
}

void setWindowList(CFArrayRef list) {
    if (windowList) CFRelease(windowList);
    windowList = list ? static_cast<CFArrayRef>(CFRetain(list)) : nullptr;
}
CGWindowListOption lastWindowListOption() { return lastOption; }

}  // namespace fakecf
