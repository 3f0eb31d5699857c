// Conversion between CoreFoundation values and the platform's values.

// The seam comes before any Apple header: CoreGraphics defines
// kCGNullWindowID as a macro, which would rewrite the seam's constant.
#include "platform/platform.h"
#include "platform/macos/cf.h"

#include <ApplicationServices/ApplicationServices.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace platform::mac {
namespace {

// Containers copied from the platform nest a few levels at most; a deeper
// value is cut off as Other instead of recursing without bound.
constexpr int kMaxDepth = 64;

Value fromCF(CFTypeRef ref, int depth);

Value numberValue(CFNumberRef number) {
    if (!CFNumberIsFloatType(number)) {
        std::int64_t integer = 0;
        if (CFNumberGetValue(number, kCFNumberSInt64Type, &integer)) return Value(integer);
        // An integer beyond the signed 64-bit range: keep its magnitude as a real.
    }
    double real = 0;
    CFNumberGetValue(number, kCFNumberDoubleType, &real);
    return Value(real);
}

Value arrayValue(CFArrayRef array, int depth) {
    Array items;
    CFIndex count = CFArrayGetCount(array);
    items.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    for (CFIndex i = 0; i < count; ++i) items.push_back(fromCF(CFArrayGetValueAtIndex(array, i), depth + 1));
    return Value(std::move(items));
}

Value dictionaryValue(CFDictionaryRef dictionary, int depth) {
    CFIndex count = CFDictionaryGetCount(dictionary);
    if (count <= 0) return Value(Dictionary{});
    std::vector<const void*> keys(static_cast<std::size_t>(count));
    std::vector<const void*> values(static_cast<std::size_t>(count));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    Dictionary entries;
    entries.reserve(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        // Only string keys have a form in the agent's vocabulary.
        if (!keys[i] || CFGetTypeID(keys[i]) != CFStringGetTypeID()) return Value(Other{});
        entries.emplace_back(toString(static_cast<CFStringRef>(keys[i])), fromCF(values[i], depth + 1));
    }
    return Value(std::move(entries));
}

Value axValue(AXValueRef value) {
    CGPoint point{};
    if (AXValueGetValue(value, kAXValueTypeCGPoint, &point)) return Value(Point{point.x, point.y});
    CGSize size{};
    if (AXValueGetValue(value, kAXValueTypeCGSize, &size)) return Value(Size{size.width, size.height});
    return Value(Other{});
}

Value fromCF(CFTypeRef ref, int depth) {
    if (!ref) return Value();
    CFTypeID type = CFGetTypeID(ref);
    if (type == CFStringGetTypeID()) return Value(toString(static_cast<CFStringRef>(ref)));
    if (type == CFBooleanGetTypeID()) return Value(CFBooleanGetValue(static_cast<CFBooleanRef>(ref)) != 0);
    if (type == CFNumberGetTypeID()) return numberValue(static_cast<CFNumberRef>(ref));
    if (type == AXUIElementGetTypeID())
        return Value(adoptElement(CFOwner<AXUIElementRef>(static_cast<AXUIElementRef>(CFRetain(ref)))));
    if (type == AXValueGetTypeID()) return axValue(static_cast<AXValueRef>(ref));
    if (depth >= kMaxDepth) return Value(Other{});
    if (type == CFArrayGetTypeID()) return arrayValue(static_cast<CFArrayRef>(ref), depth);
    if (type == CFDictionaryGetTypeID()) return dictionaryValue(static_cast<CFDictionaryRef>(ref), depth);
    return Value(Other{});
}

CFOwner<CFTypeRef> toCFAt(const Value& value, int depth);

template <class T>
CFOwner<CFTypeRef> number(CFNumberType type, T x) {
    return CFOwner<CFTypeRef>(CFNumberCreate(kCFAllocatorDefault, type, &x));
}

CFOwner<CFTypeRef> arrayCF(const Array& items, int depth) {
    std::vector<CFOwner<CFTypeRef>> owned;
    std::vector<const void*> refs;
    owned.reserve(items.size());
    refs.reserve(items.size());
    for (auto& item : items) {
        owned.push_back(toCFAt(item, depth + 1));
        if (!owned.back()) return {};
        refs.push_back(owned.back().get());
    }
    return CFOwner<CFTypeRef>(CFArrayCreate(kCFAllocatorDefault, refs.data(), static_cast<CFIndex>(refs.size()),
                                            &kCFTypeArrayCallBacks));
}

CFOwner<CFTypeRef> dictionaryCF(const Dictionary& entries, int depth) {
    std::vector<CFOwner<CFTypeRef>> owned;
    std::vector<const void*> keys;
    std::vector<const void*> values;
    owned.reserve(entries.size() * 2);
    for (auto& [key, item] : entries) {
        CFOwner<CFStringRef> k = makeString(key);
        if (!k) return {};
        keys.push_back(k.get());
        owned.emplace_back(k.release());
        owned.push_back(toCFAt(item, depth + 1));
        if (!owned.back()) return {};
        values.push_back(owned.back().get());
    }
    return CFOwner<CFTypeRef>(CFDictionaryCreate(kCFAllocatorDefault, keys.data(), values.data(),
                                                 static_cast<CFIndex>(keys.size()), &kCFTypeDictionaryKeyCallBacks,
                                                 &kCFTypeDictionaryValueCallBacks));
}

CFOwner<CFTypeRef> toCFAt(const Value& value, int depth) {
    if (depth >= kMaxDepth) return {};
    if (auto s = value.as<std::string>()) {
        CFOwner<CFStringRef> string = makeString(*s);
        return CFOwner<CFTypeRef>(string.release());
    }
    if (auto b = value.as<bool>()) return CFOwner<CFTypeRef>(CFRetain(*b ? kCFBooleanTrue : kCFBooleanFalse));
    if (auto i = value.as<std::int64_t>()) return number(kCFNumberSInt64Type, *i);
    if (auto d = value.as<double>()) return number(kCFNumberDoubleType, *d);
    if (auto e = value.as<Element>()) {
        if (!*e) return {};
        return CFOwner<CFTypeRef>(CFRetain(e->get()));
    }
    if (auto p = value.as<Point>()) {
        CGPoint point{p->x, p->y};
        return CFOwner<CFTypeRef>(AXValueCreate(kAXValueTypeCGPoint, &point));
    }
    if (auto z = value.as<Size>()) {
        CGSize size{z->width, z->height};
        return CFOwner<CFTypeRef>(AXValueCreate(kAXValueTypeCGSize, &size));
    }
    if (auto a = value.as<Array>()) return arrayCF(*a, depth);
    if (auto d = value.as<Dictionary>()) return dictionaryCF(*d, depth);
    return {};
}

// The number of UTF-16 code units the UTF-8 text stands for.
CFIndex utf16Length(std::string_view utf8) {
    CFIndex units = 0;
    for (unsigned char byte : utf8) {
        if ((byte & 0xC0) != 0x80) ++units;  // a lead byte starts a character
        if (byte >= 0xF0) ++units;            // outside the BMP: a surrogate pair
    }
    return units;
}

}  // namespace

std::string toString(CFStringRef string) {
    CFIndex length = CFStringGetLength(string);
    // The string's own storage, when it has a UTF-8 form; it ends at the first
    // NUL, so it is used only when it covers the whole string.
    if (const char* fast = CFStringGetCStringPtr(string, kCFStringEncodingUTF8)) {
        std::string_view view(fast);
        if (utf16Length(view) == length) return std::string(view);
    }
    std::string text;
    CFIndex at = 0;
    while (at < length) {
        // Convert as far as possible; the conversion stops before a character
        // that UTF-8 cannot hold (a lone surrogate) because no loss byte is given.
        CFIndex bytes = 0;
        CFIndex converted = CFStringGetBytes(string, CFRange{at, length - at}, kCFStringEncodingUTF8, 0, false,
                                             nullptr, 0, &bytes);
        if (converted > 0 && bytes > 0) {
            std::size_t start = text.size();
            text.resize(start + static_cast<std::size_t>(bytes));
            CFStringGetBytes(string, CFRange{at, converted}, kCFStringEncodingUTF8, 0, false,
                             reinterpret_cast<UInt8*>(text.data() + start), bytes, nullptr);
        }
        at += converted;
        if (at < length) {
            text += "\xEF\xBF\xBD";
            at += 1;
        }
    }
    return text;
}

CFOwner<CFStringRef> makeString(const std::string& text) {
    return CFOwner<CFStringRef>(CFStringCreateWithBytes(kCFAllocatorDefault,
                                                        reinterpret_cast<const UInt8*>(text.data()),
                                                        static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8,
                                                        false));
}

Element adoptElement(CFOwner<AXUIElementRef> element) noexcept {
    if (!element) return Element();
    AXUIElementSetMessagingTimeout(element.get(), kAXMessagingTimeoutSeconds);
    return Element(handleRef(element.release()));
}

Value toValue(CFTypeRef ref) { return fromCF(ref, 0); }

CFOwner<CFTypeRef> toCF(const Value& value) { return toCFAt(value, 0); }

}  // namespace platform::mac
