// Rectangles of the window server's vocabulary, for the backends whose
// platform has no decoder of its own (X11 and the test fake).
#include "platform/platform.h"

namespace platform {

bool cgRectMakeWithDictionaryRepresentation(const Value& dictionary, Rect& rect) {
    if (!dictionary.as<Dictionary>()) return false;
    double parts[4];
    const char* keys[4] = {"X", "Y", "Width", "Height"};
    for (int i = 0; i < 4; ++i) {
        const Value* v = dictionary.find(keys[i]);
        if (!v) return false;
        if (auto d = v->as<double>())
            parts[i] = *d;
        else if (auto n = v->as<std::int64_t>())
            parts[i] = static_cast<double>(*n);
        else
            return false;
    }
    rect = Rect{{parts[0], parts[1]}, {parts[2], parts[3]}};
    return true;
}

bool cgRectContainsPoint(const Rect& r, const Point& p) {
    return r.size.width > 0 && r.size.height > 0 && p.x >= r.origin.x && p.y >= r.origin.y &&
           p.x < r.origin.x + r.size.width && p.y < r.origin.y + r.size.height;
}

}  // namespace platform
