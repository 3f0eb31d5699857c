// The names AT-SPI uses on the accessibility bus, and the reference to one
// object on it. Internal to the Linux backend.
#pragma once

#include <cstdint>
#include <string>

namespace platform::atspi {

inline constexpr const char* kRegistryName = "org.a11y.atspi.Registry";
inline constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
inline constexpr const char* kNullPath = "/org/a11y/atspi/null";
inline constexpr const char* kCachePath = "/org/a11y/atspi/cache";

inline constexpr const char* kAccessibleIface = "org.a11y.atspi.Accessible";
inline constexpr const char* kActionIface = "org.a11y.atspi.Action";
inline constexpr const char* kApplicationIface = "org.a11y.atspi.Application";
inline constexpr const char* kCacheIface = "org.a11y.atspi.Cache";
inline constexpr const char* kCollectionIface = "org.a11y.atspi.Collection";
inline constexpr const char* kComponentIface = "org.a11y.atspi.Component";
inline constexpr const char* kEditableTextIface = "org.a11y.atspi.EditableText";
inline constexpr const char* kTextIface = "org.a11y.atspi.Text";
inline constexpr const char* kValueIface = "org.a11y.atspi.Value";
inline constexpr const char* kPropertiesIface = "org.freedesktop.DBus.Properties";

// Interfaces an element offers, as bits.
enum Iface : std::uint32_t {
    ifAction = 1u << 0,
    ifComponent = 1u << 1,
    ifEditableText = 1u << 2,
    ifText = 1u << 3,
    ifValue = 1u << 4,
    ifCollection = 1u << 5,
};
// The bit of an interface name; 0 for the ones the agent does not use.
std::uint32_t ifaceBit(const char* name);

// An object on the accessibility bus: the owner's bus name and the path.
struct Ref {
    std::string bus;
    std::string path;
    bool null() const { return bus.empty() || path.empty() || path == kNullPath; }
    std::string key() const { return bus + '\n' + path; }
    // The element standing for the whole desktop (the registry's root).
    bool systemWide() const { return bus == kRegistryName && path == kRootPath; }
    // An application's root element.
    bool appRoot() const { return path == kRootPath && !systemWide(); }
};

}  // namespace platform::atspi
