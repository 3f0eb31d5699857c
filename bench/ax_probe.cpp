// Prints what the accessibility seam reports for one application, in the
// order a snapshot reads it. A tool for looking at a live desktop.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

using namespace platform;

namespace {

std::string show(const Value& v) {
    if (auto s = v.as<std::string>()) return "\"" + *s + "\"";
    if (auto i = v.as<std::int64_t>()) return std::to_string(*i);
    if (auto d = v.as<double>()) return std::to_string(*d);
    if (auto b = v.as<bool>()) return *b ? "true" : "false";
    if (auto p = v.as<Point>()) return "(" + std::to_string(p->x) + "," + std::to_string(p->y) + ")";
    if (auto z = v.as<Size>()) return "[" + std::to_string(z->width) + "x" + std::to_string(z->height) + "]";
    if (auto a = v.as<Array>()) {
        std::string out = "{";
        for (auto& x : *a) out += show(x) + " ";
        return out + "}";
    }
    if (v.as<Element>()) return "<element>";
    return "-";
}

void visit(const Element& e, const std::string& path, int level) {
    std::printf("%s", path.c_str());
    for (const char* name : {"AXRole", "AXSubrole", "AXTitle", "AXDescription", "AXValue", "AXPosition", "AXSize"}) {
        Value v;
        if (axCopyAttributeValue(e, name, v) == kAXErrorSuccess) std::printf(" %s=%s", name + 2, show(v).c_str());
    }
    Value actions;
    if (axCopyActionNames(e, actions) == kAXErrorSuccess) std::printf(" actions=%s", show(actions).c_str());
    std::printf("\n");
    if (level >= 8) return;
    Value kids;
    if (axCopyAttributeValue(e, "AXChildren", kids) != kAXErrorSuccess) return;
    if (auto a = kids.as<Array>())
        for (std::size_t i = 0; i < a->size(); ++i)
            if (auto c = (*a)[i].as<Element>()) visit(*c, path + "." + std::to_string(i), level + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    if (argc > 2) {  // warm-up: the first contact with the bus costs its start-up
        RequestScope scope;
        Element warm = axCreateApplication(std::atoi(argv[1]));
    }
    {
        // The walk is one request, as a snapshot is.
        RequestScope scope;
        auto t0 = std::chrono::steady_clock::now();
        Element app = axCreateApplication(std::atoi(argv[1]));
        axSetMessagingTimeout(app, kAXMessagingTimeoutSeconds);
        Value windows;
        if (axCopyAttributeValue(app, "AXWindows", windows) != kAXErrorSuccess) {
            std::printf("no windows\n");
            return 1;
        }
        if (auto a = windows.as<Array>())
            for (std::size_t i = 0; i < a->size(); ++i)
                if (auto w = (*a)[i].as<Element>()) visit(*w, std::to_string(i), 1);
        std::fprintf(stderr, "walk %.1f ms\n",
                     std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    RequestScope scope;
    Element sys = axCreateSystemWide();
    Value focus;
    if (axCopyAttributeValue(sys, "AXFocusedUIElement", focus) == kAXErrorSuccess)
        if (auto f = focus.as<Element>()) {
            Value role;
            axCopyAttributeValue(*f, "AXRole", role);
            std::printf("focus: %s\n", show(role).c_str());
        }
    std::printf("trusted=%d\n", axIsProcessTrusted());
    return 0;
}
