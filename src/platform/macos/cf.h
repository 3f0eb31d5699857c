// Ownership and conversion of CoreFoundation values for the macOS backend.
#pragma once

// The seam comes before any Apple header: CoreGraphics defines
// kCGNullWindowID as a macro, which would rewrite the seam's constant.
#include "platform/platform.h"

#include <ApplicationServices/ApplicationServices.h>
#include <CoreFoundation/CoreFoundation.h>

#include <string>
#include <utility>

namespace platform::mac {

// Owns one reference to a CF object: every Create/Copy result of the backend
// lives in one of these, including the ones handed back through an
// out-parameter (pass `out()` as that parameter).
template <class T>
class CFOwner {
public:
    CFOwner() noexcept = default;
    explicit CFOwner(T adopted) noexcept : ref_(adopted) {}
    CFOwner(const CFOwner&) = delete;
    CFOwner& operator=(const CFOwner&) = delete;
    CFOwner(CFOwner&& other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}
    CFOwner& operator=(CFOwner&& other) noexcept {
        if (this != &other) {
            reset();
            ref_ = std::exchange(other.ref_, nullptr);
        }
        return *this;
    }
    ~CFOwner() { reset(); }

    T get() const noexcept { return ref_; }
    explicit operator bool() const noexcept { return ref_ != nullptr; }

    // The address for a Copy function's out-parameter. Anything held before
    // is released first, so the slot is always empty when the callee writes.
    T* out() noexcept {
        reset();
        return &ref_;
    }
    // Gives up ownership to the caller.
    T release() noexcept { return std::exchange(ref_, nullptr); }
    void reset() noexcept {
        if (ref_) CFRelease(ref_);
        ref_ = nullptr;
    }

private:
    T ref_ = nullptr;
};

// The untyped pointer a platform handle stores for a CF reference.
inline void* handleRef(CFTypeRef ref) noexcept { return const_cast<void*>(ref); }

// The one way an accessibility reference becomes an Element: takes over the
// reference and sets the messaging timeout on that element, since a timeout
// set on one element applies to that element only (set on the system-wide
// element it is also the process's default). A null reference gives an
// empty handle.
Element adoptElement(CFOwner<AXUIElementRef> element) noexcept;

// Text of a CF string through UTF-8. Every valid character survives; a lone
// UTF-16 surrogate, which has no UTF-8 form, becomes U+FFFD.
std::string toString(CFStringRef string);
// A new CF string from UTF-8 text; bytes that are not valid UTF-8 give none.
CFOwner<CFStringRef> makeString(const std::string& text);

// Copies a borrowed CF value into a platform value: string, integer or real
// (a number keeps whether it was an integer), boolean, element (retained by
// the returned handle, through adoptElement), array, dictionary with string
// keys, wrapped point, wrapped size; anything else is Other, and null is none.
Value toValue(CFTypeRef ref);
// The reverse, for values the agent hands to the platform: string, boolean,
// integer, real, element, array, dictionary, point and size. Null for none,
// Other, and anything that cannot be represented.
CFOwner<CFTypeRef> toCF(const Value& value);

}  // namespace platform::mac
