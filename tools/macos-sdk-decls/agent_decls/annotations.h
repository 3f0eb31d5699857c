// Shared annotation spellings for the project's stand-in declarations of the
// Apple interfaces the macOS backend uses. These headers exist only so the
// backend can be compiled and analysed on a machine without Apple's SDK; on
// macOS the real frameworks are used and this directory is never seen.
//
// What matters here is what the compiler and the analyzer act on: ownership
// (Create/Copy results are +1, Get results are not), toll-free bridging to
// the Objective-C classes, nullability, the implicit-bridging pragma, and
// availability. Every function's type is pinned with a static_assert so that
// a later wrong edit of a declaration fails the check instead of hiding a bug.
#ifndef AGENT_DECLS_ANNOTATIONS_H
#define AGENT_DECLS_ANNOTATIONS_H

#define AGENT_CF_RETURNS_RETAINED __attribute__((cf_returns_retained))
#define AGENT_CF_RETURNS_NOT_RETAINED __attribute__((cf_returns_not_retained))
#define AGENT_CF_CONSUMED __attribute__((cf_consumed))
#define AGENT_CF_BRIDGED(T) __attribute__((objc_bridge(T)))
#define AGENT_CF_BRIDGED_MUTABLE(T) __attribute__((objc_bridge_mutable(T)))

// Functions in these regions follow the Create/Copy naming rule for every
// CF-bridged type, including types without the CF prefix (AXUIElementRef).
#define AGENT_IMPLICIT_BRIDGING_BEGIN _Pragma("clang arc_cf_code_audited begin")
#define AGENT_IMPLICIT_BRIDGING_END _Pragma("clang arc_cf_code_audited end")
#define AGENT_NONNULL_BEGIN _Pragma("clang assume_nonnull begin")
#define AGENT_NONNULL_END _Pragma("clang assume_nonnull end")

#define AGENT_AVAILABLE_MACOS(v) __attribute__((availability(macos, introduced = v)))
#define AGENT_DEPRECATED_MACOS(from, to, msg) \
    __attribute__((availability(macos, introduced = from, deprecated = to, message = msg)))

#if defined(__cplusplus)
#define AGENT_EXTERN_C extern "C"
#define AGENT_EXTERN_C_BEGIN extern "C" {
#define AGENT_EXTERN_C_END }
#else
#define AGENT_EXTERN_C extern
#define AGENT_EXTERN_C_BEGIN
#define AGENT_EXTERN_C_END
#endif

// Typed enumerations: in C++ each is a distinct enum type with a fixed
// underlying type, so a plain integer does not convert to it silently.
#define AGENT_ENUM(U, N) \
    enum N : U;          \
    typedef enum N N;    \
    enum N : U
// Option sets: a plain integer typedef and an unnamed enumeration of flags.
#define AGENT_OPTIONS(U, N) \
    typedef U N;            \
    enum : U

#if defined(__cplusplus)
#include <type_traits>
// Pins a declared function's type: PIN(F, R(A...)).
#define AGENT_PIN(F, ...) \
    static_assert(std::is_same_v<decltype(&F), std::add_pointer_t<__VA_ARGS__>>, "declaration of " #F " changed")
// Pins the type of a constant or variable.
#define AGENT_PIN_VAR(V, ...) \
    static_assert(std::is_same_v<decltype(V), __VA_ARGS__>, "declaration of " #V " changed")
#else
#define AGENT_PIN(F, ...)
#define AGENT_PIN_VAR(V, ...)
#endif

#endif
