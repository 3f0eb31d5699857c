// Full-screen capture and PNG encoding on the X display of $DISPLAY, side by
// side in one run:
//   - the floor: the raw XShmGetImage of the root into a segment attached
//     beforehand (no conversion, no encoding);
//   - platform::captureScreen, platform::encodePng, and the two together;
//   - the agent's "screenshot" answer, request to parsed line (with AGENT);
//   - what a user would run instead: ImageMagick's `import -window root
//     png:-` and `scrot -` (each left out when not installed);
//   - the encoder settings behind encodePng, on the same captured image:
//     libpng's zlib level, row filter and strategy (and libspng when built
//     with it), to show why encodePng uses the ones it does.
// Prints medians in milliseconds, the ratios, and the sizes of the PNG and of
// the answer line.
//
// With --photo the root window's background is first painted with smooth
// colour waves and a little noise, which compress like a photograph rather
// than like flat window backgrounds (the worst case for the encoder).
//
// Usage: screenshot_bench [--photo] ROUNDS [AGENT]
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/screenshot_encoders.h"
#include "bench/screenshot_processes.h"
#include "platform/platform.h"
#include "platform/x11/xserver/x_display.h"

namespace {

using Clock = std::chrono::steady_clock;

double medianMs(int rounds, const std::function<void()>& run) {
    std::vector<double> ms;
    run();  // warm-up: first-use costs (connection, extension queries, page faults)
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        run();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// The floor: XShmGetImage of the whole root into a segment attached once.
double shmFloor(Display* d, int rounds) {
    Window root = DefaultRootWindow(d);
    XWindowAttributes attrs{};
    XGetWindowAttributes(d, root, &attrs);
    XShmSegmentInfo info{};
    XImage* image = XShmCreateImage(d, attrs.visual, static_cast<unsigned>(attrs.depth), ZPixmap, nullptr, &info,
                                    static_cast<unsigned>(attrs.width), static_cast<unsigned>(attrs.height));
    if (!image) return -1;
    info.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * image->height, IPC_CREAT | 0600);
    info.shmaddr = image->data = static_cast<char*>(shmat(info.shmid, nullptr, 0));
    info.readOnly = False;
    XShmAttach(d, &info);
    XSync(d, False);
    shmctl(info.shmid, IPC_RMID, nullptr);
    double ms = medianMs(rounds, [&] { XShmGetImage(d, root, image, 0, 0, AllPlanes); });
    XShmDetach(d, &info);
    XSync(d, False);
    shmdt(info.shmaddr);
    image->data = nullptr;
    XDestroyImage(image);
    return ms;
}

// Paints the root window's background with colour waves and noise (a
// TrueColor visual of 8 bits a colour in 32-bit pixels, as Xvfb's depth 24).
bool paintPhoto(Display* d) {
    Window root = DefaultRootWindow(d);
    XWindowAttributes attrs{};
    XGetWindowAttributes(d, root, &attrs);
    XImage* image = XCreateImage(d, attrs.visual, static_cast<unsigned>(attrs.depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(attrs.width), static_cast<unsigned>(attrs.height), 32, 0);
    if (!image || image->bits_per_pixel != 32) return false;
    image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) * image->height));
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-6, 6);
    auto channel = [&](double wave) { return static_cast<unsigned long>(std::clamp(128 + 110 * wave + noise(random), 0.0, 255.0)); };
    for (int y = 0; y < attrs.height; ++y)
        for (int x = 0; x < attrs.width; ++x) {
            unsigned long r = channel(std::sin(x / 41.0 + y / 97.0)), g = channel(std::sin(y / 53.0) * std::cos(x / 89.0)),
                          b = channel(std::cos((x + y) / 67.0));
            XPutPixel(image, x, y, (r << 16) | (g << 8) | b);
        }
    Pixmap pixmap = XCreatePixmap(d, root, static_cast<unsigned>(attrs.width), static_cast<unsigned>(attrs.height),
                                  static_cast<unsigned>(attrs.depth));
    GC gc = XCreateGC(d, pixmap, 0, nullptr);
    XPutImage(d, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(attrs.width), static_cast<unsigned>(attrs.height));
    XSetWindowBackgroundPixmap(d, root, pixmap);
    XClearWindow(d, root);
    XFreeGC(d, gc);
    XFreePixmap(d, pixmap);
    XDestroyImage(image);
    XSync(d, False);
    return true;
}

void row(const char* what, double ms, double floorMs, double againstMs, const char* against) {
    std::printf("  %-44s %9.2f   %7.1fx floor", what, ms, floorMs > 0 ? ms / floorMs : 0);
    if (againstMs > 0) std::printf("   %5.2fx %s", ms / againstMs, against);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    bool photo = argc > 1 && std::string(argv[1]) == "--photo";
    if (photo) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s [--photo] ROUNDS [AGENT]\n", argv[0]);
        return 2;
    }
    int rounds = std::max(1, std::atoi(argv[1]));
    const char* agent = argc > 2 ? argv[2] : nullptr;
    Display* d = platform::x11::display();
    if (!d) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    if (photo && !paintPhoto(d)) {
        std::fprintf(stderr, "cannot paint the root window on this visual\n");
        return 1;
    }
    XWindowAttributes attrs{};
    XGetWindowAttributes(d, DefaultRootWindow(d), &attrs);
    const platform::Rect screen{{0, 0}, {static_cast<double>(attrs.width), static_cast<double>(attrs.height)}};

    platform::Rect captured;
    platform::Bitmap image;
    double scale = 1;
    if (platform::captureScreen(screen, captured, image, scale) != platform::CaptureError::none || image.width == 0) {
        std::fprintf(stderr, "captureScreen failed\n");
        return 1;
    }
    std::string png = platform::encodePng(image);
    std::printf("screen %dx%d, depth %d, %s; %d rounds, medians in ms\n", attrs.width, attrs.height, attrs.depth,
                photo ? "photo-like background" : "desktop as it is", rounds);

    double floorMs = shmFloor(d, rounds);
    double captureMs = medianMs(rounds, [&] { platform::captureScreen(screen, captured, image, scale); });
    double encodeMs = medianMs(rounds, [&] { png = platform::encodePng(image); });
    double bothMs = medianMs(rounds, [&] {
        platform::captureScreen(screen, captured, image, scale);
        png = platform::encodePng(image);
    });
    bench::AgentRun agentRun;
    if (agent) agentRun = bench::timeAgent(agent, rounds);
    bench::ToolRun importRun = bench::timeTool({"import", "-window", "root", "png:-"}, rounds);
    bench::ToolRun scrotRun = bench::timeTool({"scrot", "-"}, rounds);

    std::printf("\n  %-44s %9s   %13s   %s\n", "full screen", "median", "vs floor", "vs import / scrot");
    row("XShmGetImage alone (floor)", floorMs, floorMs, 0, "");
    row("captureScreen (XShm + RGB)", captureMs, floorMs, 0, "");
    row("encodePng", encodeMs, floorMs, 0, "");
    double fastestTool = 0;
    const char* fastestName = "";
    for (const auto* t : {&importRun, &scrotRun})
        if (t->ok && (fastestTool == 0 || t->ms < fastestTool)) {
            fastestTool = t->ms;
            fastestName = t == &importRun ? "import" : "scrot";
        }
    row("captureScreen + encodePng", bothMs, floorMs, fastestTool, fastestName);
    if (agentRun.ok) row("agent \"screenshot\" answer, end to end", agentRun.ms, floorMs, fastestTool, fastestName);
    if (importRun.ok) row("import -window root png:-", importRun.ms, floorMs, 0, "");
    if (scrotRun.ok) row("scrot -", scrotRun.ms, floorMs, 0, "");

    std::printf("\n  sizes: PNG %zu bytes", png.size());
    if (agentRun.ok) std::printf(", answer line %zu bytes (base64 PNG %zu)", agentRun.lineBytes, agentRun.pngBytes);
    if (importRun.ok) std::printf(", import's PNG %zu", importRun.bytes);
    if (scrotRun.ok) std::printf(", scrot's PNG %zu", scrotRun.bytes);
    std::printf("\n\n");

    bench::compareEncoders(image, rounds, encodeMs, png.size());
    return 0;
}
